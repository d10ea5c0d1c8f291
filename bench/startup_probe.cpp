// Measures how a windowed program starts and stops under an X server without
// a window manager: time from fork/exec to the first map of its top-level
// window and to the first drawing in it, its resident memory once drawn, and
// the time from a window manager's close request (WM_DELETE_WINDOW) to its
// exit. Talks to the X server through Xlib, so no toolkit's start-up is part
// of what it measures. Prints one line of key=value pairs per run.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr double kDefaultTimeoutSeconds = 30.0;
constexpr int kUsageStatus = 2;
constexpr int kFailureStatus = 1;
constexpr int kExecFailedStatus = 127;

struct Options
{
    const char *display = nullptr; // nullptr: $DISPLAY
    std::string label;
    double timeoutSeconds = kDefaultTimeoutSeconds;
    char **command = nullptr;
};

void printUsage(std::FILE *to)
{
    std::fputs("usage: startup_probe [--display NAME] [--label TEXT] [--timeout SECONDS]\n"
               "                     -- PROGRAM [ARGUMENTS...]\n"
               "Starts PROGRAM on the X display, waits for its top-level window to be\n"
               "mapped and drawn, reads its resident memory, asks it to close as a window\n"
               "manager would and waits for it to exit. Prints one line:\n"
               "  label= map_ms= paint_ms= map_cpu_ms= paint_cpu_ms= rss_kib= hwm_kib=\n"
               "  close_ms= exit= result=\n"
               "Times are from fork/exec (map, paint) and from the close request (close);\n"
               "*_cpu_ms is the CPU time the program had used when the probe saw the event.\n",
               to);
}

bool parseOptions(int argc, char *argv[], Options &options)
{
    int i = 1;
    for (; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--") {
            ++i;
            break;
        }
        if (argument == "--display" && hasValue) {
            options.display = argv[++i];
        } else if (argument == "--label" && hasValue) {
            options.label = argv[++i];
        } else if (argument == "--timeout" && hasValue) {
            char *end = nullptr;
            options.timeoutSeconds = std::strtod(argv[++i], &end);
            if (end == nullptr || *end != '\0' || options.timeoutSeconds <= 0) {
                return false;
            }
        } else {
            return false;
        }
    }
    if (i >= argc) {
        return false;
    }
    options.command = argv + i;
    if (options.label.empty()) {
        const std::string_view program = options.command[0];
        const auto slash = program.rfind('/');
        options.label = program.substr(slash == std::string_view::npos ? 0 : slash + 1);
    }
    return true;
}

// Windows may vanish between an event about them and a request about them;
// such errors say nothing about the program measured, so they are not fatal.
int ignoreXError(Display * /*display*/, XErrorEvent * /*error*/)
{
    return 0;
}

double millisecondsBetween(SteadyClock::time_point from, SteadyClock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The process a window says it belongs to, when it says so (_NET_WM_PID).
std::optional<long> windowPid(Display *display, Window window, Atom netWmPid)
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long bytesAfter = 0;
    unsigned char *data = nullptr;
    const int status = XGetWindowProperty(display, window, netWmPid, 0, 1, False, XA_CARDINAL,
                                          &type, &format, &items, &bytesAfter, &data);
    std::optional<long> pid;
    if (status == Success && type == XA_CARDINAL && format == 32 && items == 1) {
        pid = *reinterpret_cast<long *>(data);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return pid;
}

struct Memory
{
    long rssKib = -1;
    long peakKib = -1;
};

Memory readMemory(pid_t pid)
{
    Memory memory;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> memory.rssKib;
        } else if (key == "VmHWM:") {
            status >> memory.peakKib;
        }
        status.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return memory;
}

// CPU time the process has used so far, all its threads together, read from
// its process CPU clock: unlike the wall-clock figures it hardly moves when
// other work competes for the processors.
std::optional<double> cpuMilliseconds(pid_t pid)
{
    clockid_t clock{};
    timespec used{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &used) != 0) {
        return std::nullopt;
    }
    return std::chrono::duration<double, std::milli>(std::chrono::seconds(used.tv_sec) +
                                                     std::chrono::nanoseconds(used.tv_nsec))
        .count();
}

enum class Wake { Event, ChildExited, TimedOut };

// Blocks until an X event is queued, the child has exited or the deadline
// has passed, whichever comes first.
Wake waitForEvent(Display *display, int childFd, SteadyClock::time_point deadline)
{
    while (XPending(display) == 0) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0) {
            return Wake::TimedOut;
        }
        pollfd fds[] = {{ConnectionNumber(display), POLLIN, 0}, {childFd, POLLIN, 0}};
        if (poll(fds, 2, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            return Wake::TimedOut;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return Wake::ChildExited;
        }
    }
    return Wake::Event;
}

bool waitForExit(int childFd, SteadyClock::time_point deadline)
{
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd fd{childFd, POLLIN, 0};
        const int ready = poll(&fd, 1, static_cast<int>(left.count()));
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

std::string describeExit(int status)
{
    if (WIFEXITED(status)) {
        return std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return "signal" + std::to_string(WTERMSIG(status));
    }
    return "unknown";
}

struct Result
{
    std::optional<double> mapMs;
    std::optional<double> paintMs;
    std::optional<double> mapCpuMs;
    std::optional<double> paintCpuMs;
    Memory memory;
    std::optional<double> closeMs;
    std::string exit = "none";
    std::string outcome = "ok";
};

std::string formatKib(long value)
{
    return value < 0 ? "NA" : std::to_string(value);
}

std::string formatMs(const std::optional<double> &value)
{
    if (!value) {
        return "NA";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", *value);
    return text;
}

void printResult(const std::string &label, const Result &result)
{
    std::printf("label=%s map_ms=%s paint_ms=%s map_cpu_ms=%s paint_cpu_ms=%s rss_kib=%s "
                "hwm_kib=%s close_ms=%s exit=%s result=%s\n",
                label.c_str(), formatMs(result.mapMs).c_str(), formatMs(result.paintMs).c_str(),
                formatMs(result.mapCpuMs).c_str(), formatMs(result.paintCpuMs).c_str(),
                formatKib(result.memory.rssKib).c_str(), formatKib(result.memory.peakKib).c_str(),
                formatMs(result.closeMs).c_str(), result.exit.c_str(), result.outcome.c_str());
    std::fflush(stdout);
}

// The probe's connection to the X server and what it watches there.
struct Server
{
    Display *display = nullptr;
    Window root = None;
    Atom netWmPid = None;
    Atom wmProtocols = None;
    Atom wmDeleteWindow = None;
    int damageEventBase = 0;
    Damage drawing = None;
};

// The program being measured.
struct Child
{
    pid_t pid = -1;
    int exitFd = -1; // its pidfd: readable once it has exited
    SteadyClock::time_point started;
};

// Connects to the X server and starts watching for maps and drawing. Returns
// nothing, having said why, when the server cannot be watched.
std::optional<Server> startWatching(const char *displayName)
{
    Server server;
    server.display = XOpenDisplay(displayName);
    if (server.display == nullptr) {
        std::fprintf(stderr, "startup_probe: cannot open display %s\n", XDisplayName(displayName));
        return std::nullopt;
    }
    XSetErrorHandler(ignoreXError);
    fcntl(ConnectionNumber(server.display), F_SETFD, FD_CLOEXEC);
    int damageErrorBase = 0;
    if (!XDamageQueryExtension(server.display, &server.damageEventBase, &damageErrorBase)) {
        std::fprintf(stderr, "startup_probe: the X server has no DAMAGE extension\n");
        return std::nullopt;
    }
    server.root = DefaultRootWindow(server.display);
    server.netWmPid = XInternAtom(server.display, "_NET_WM_PID", False);
    server.wmProtocols = XInternAtom(server.display, "WM_PROTOCOLS", False);
    server.wmDeleteWindow = XInternAtom(server.display, "WM_DELETE_WINDOW", False);
    // In force before the program starts, so no map is missed. Drawing in any
    // window shows as damage to the root window; the damage reported for the
    // root at creation is dropped, so what comes next is the program's.
    XSelectInput(server.display, server.root, SubstructureNotifyMask);
    server.drawing = XDamageCreate(server.display, server.root, XDamageReportNonEmpty);
    XSync(server.display, False);
    XDamageSubtract(server.display, server.drawing, None, None);
    XSync(server.display, True);
    return server;
}

// Starts the command on the display. Returns nothing, having said why, when it
// could not be started and watched.
std::optional<Child> launch(const char *displayName, char **command)
{
    setenv("DISPLAY", displayName, 1);
    Child child;
    child.started = SteadyClock::now();
    child.pid = fork();
    if (child.pid < 0) {
        std::perror("startup_probe: fork");
        return std::nullopt;
    }
    if (child.pid == 0) {
        execvp(command[0], command);
        std::fprintf(stderr, "startup_probe: cannot run %s: %s\n", command[0],
                     std::strerror(errno));
        _exit(kExecFailedStatus);
    }
    // Through syscall(): glibc 2.36's <sys/pidfd.h> does not declare it for C++.
    child.exitFd = static_cast<int>(syscall(SYS_pidfd_open, child.pid, 0));
    if (child.exitFd < 0) {
        std::perror("startup_probe: pidfd_open");
        kill(child.pid, SIGKILL);
        waitpid(child.pid, nullptr, 0);
        return std::nullopt;
    }
    return child;
}

// Notes when the program's top-level window is mapped and first drawn in.
// Returns that window once drawn, or None when the program exited or the
// deadline passed first (result.outcome says which).
Window watchUntilDrawn(const Server &server, const Child &child, SteadyClock::time_point deadline,
                       Result &result)
{
    Window window = None;
    for (;;) {
        const Wake wake = waitForEvent(server.display, child.exitFd, deadline);
        if (wake != Wake::Event) {
            result.outcome = wake == Wake::TimedOut ? "timeout" : "exited-before-shown";
            return None;
        }
        XEvent event;
        XNextEvent(server.display, &event);
        const auto now = SteadyClock::now();
        if (event.type == MapNotify && event.xmap.event == server.root &&
            !event.xmap.override_redirect && window == None) {
            // Without a window manager nothing else maps; a window that does not
            // name its process is taken as the program's own.
            const std::optional<long> owner =
                windowPid(server.display, event.xmap.window, server.netWmPid);
            if (!owner || *owner == child.pid) {
                window = event.xmap.window;
                result.mapMs = millisecondsBetween(child.started, now);
                result.mapCpuMs = cpuMilliseconds(child.pid);
            }
        } else if (event.type == server.damageEventBase + XDamageNotify) {
            if (window != None) {
                result.paintMs = millisecondsBetween(child.started, now);
                result.paintCpuMs = cpuMilliseconds(child.pid);
                return window;
            }
            // The server's own drawing before the map (the root window
            // repainted where a window closed): ask for the next damage.
            XDamageSubtract(server.display, server.drawing, None, None);
        }
    }
}

Memory memoryWhenDrawn(const Server &server, const Child &child)
{
    // One round trip, so the memory is read after everything drawn so far.
    XSync(server.display, False);
    return readMemory(child.pid);
}

// Asks the window to close as a window manager would and times the program's
// exit; one still running at the deadline has timed out.
void closeWindow(const Server &server, const Child &child, Window window,
                 SteadyClock::time_point deadline, Result &result)
{
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = window;
    request.xclient.message_type = server.wmProtocols;
    request.xclient.format = 32;
    request.xclient.data.l[0] = static_cast<long>(server.wmDeleteWindow);
    request.xclient.data.l[1] = CurrentTime;
    const auto closing = SteadyClock::now();
    XSendEvent(server.display, window, False, NoEventMask, &request);
    XFlush(server.display);
    if (waitForExit(child.exitFd, deadline)) {
        result.closeMs = millisecondsBetween(closing, SteadyClock::now());
    } else {
        result.outcome = "timeout";
    }
}

// Kills a program that overran the deadline, collects its exit status and
// lets go of its pidfd.
void reap(const Child &child, Result &result)
{
    if (result.outcome == "timeout") {
        kill(child.pid, SIGKILL);
    }
    int status = 0;
    if (waitpid(child.pid, &status, 0) == child.pid) {
        result.exit = describeExit(status);
    }
    close(child.exitFd);
}

} // namespace

int main(int argc, char *argv[])
{
    Options options;
    if (argc == 2 && std::string_view(argv[1]) == "--help") {
        printUsage(stdout);
        return 0;
    }
    if (!parseOptions(argc, argv, options)) {
        printUsage(stderr);
        return kUsageStatus;
    }
    const std::optional<Server> server = startWatching(options.display);
    if (!server) {
        return kFailureStatus;
    }
    const std::optional<Child> child = launch(DisplayString(server->display), options.command);
    if (!child) {
        return kFailureStatus;
    }
    const auto deadline =
        child->started + std::chrono::duration_cast<SteadyClock::duration>(
                             std::chrono::duration<double>(options.timeoutSeconds));

    Result result;
    const Window window = watchUntilDrawn(*server, *child, deadline, result);
    if (window != None) {
        result.memory = memoryWhenDrawn(*server, *child);
        closeWindow(*server, *child, window, deadline, result);
    }
    reap(*child, result);
    XCloseDisplay(server->display);
    printResult(options.label, result);
    return result.outcome == "ok" ? 0 : kFailureStatus;
}
