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

    Display *display = XOpenDisplay(options.display);
    if (display == nullptr) {
        std::fprintf(stderr, "startup_probe: cannot open display %s\n",
                     XDisplayName(options.display));
        return kFailureStatus;
    }
    XSetErrorHandler(ignoreXError);
    fcntl(ConnectionNumber(display), F_SETFD, FD_CLOEXEC);
    int damageEventBase = 0;
    int damageErrorBase = 0;
    if (!XDamageQueryExtension(display, &damageEventBase, &damageErrorBase)) {
        std::fprintf(stderr, "startup_probe: the X server has no DAMAGE extension\n");
        return kFailureStatus;
    }
    const Window root = DefaultRootWindow(display);
    const Atom netWmPid = XInternAtom(display, "_NET_WM_PID", False);
    const Atom wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    // In force before the program starts, so no map is missed. Drawing in any
    // window shows as damage to the root window; the damage reported for the
    // root at creation is dropped, so what comes next is the program's.
    XSelectInput(display, root, SubstructureNotifyMask);
    const Damage drawing = XDamageCreate(display, root, XDamageReportNonEmpty);
    XSync(display, False);
    XDamageSubtract(display, drawing, None, None);
    XSync(display, True);
    setenv("DISPLAY", DisplayString(display), 1);

    const auto started = SteadyClock::now();
    const auto deadline = started + std::chrono::duration_cast<SteadyClock::duration>(
                                        std::chrono::duration<double>(options.timeoutSeconds));
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("startup_probe: fork");
        return kFailureStatus;
    }
    if (pid == 0) {
        execvp(options.command[0], options.command);
        std::fprintf(stderr, "startup_probe: cannot run %s: %s\n", options.command[0],
                     std::strerror(errno));
        _exit(kExecFailedStatus);
    }
    // Through syscall(): glibc 2.36's <sys/pidfd.h> does not declare it for C++.
    const int childFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (childFd < 0) {
        std::perror("startup_probe: pidfd_open");
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return kFailureStatus;
    }

    Result result;
    Window window = None;
    bool stopped = false;
    while (!result.paintMs && !stopped) {
        const Wake wake = waitForEvent(display, childFd, deadline);
        if (wake != Wake::Event) {
            result.outcome = wake == Wake::TimedOut ? "timeout" : "exited-before-shown";
            stopped = true;
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        const auto now = SteadyClock::now();
        if (event.type == MapNotify && event.xmap.event == root && !event.xmap.override_redirect &&
            window == None) {
            // Without a window manager nothing else maps; a window that does not
            // name its process is taken as the program's own.
            const std::optional<long> owner = windowPid(display, event.xmap.window, netWmPid);
            if (!owner || *owner == pid) {
                window = event.xmap.window;
                result.mapMs = millisecondsBetween(started, now);
                result.mapCpuMs = cpuMilliseconds(pid);
            }
        } else if (event.type == damageEventBase + XDamageNotify) {
            if (window != None) {
                result.paintMs = millisecondsBetween(started, now);
                result.paintCpuMs = cpuMilliseconds(pid);
            } else {
                // The server's own drawing before the map (the root window
                // repainted where a window closed): ask for the next damage.
                XDamageSubtract(display, drawing, None, None);
            }
        }
    }

    if (!stopped) {
        // One round trip, so the memory is read after everything drawn so far.
        XSync(display, False);
        result.memory = readMemory(pid);

        XEvent close{};
        close.xclient.type = ClientMessage;
        close.xclient.window = window;
        close.xclient.message_type = wmProtocols;
        close.xclient.format = 32;
        close.xclient.data.l[0] = static_cast<long>(wmDeleteWindow);
        close.xclient.data.l[1] = CurrentTime;
        const auto closing = SteadyClock::now();
        XSendEvent(display, window, False, NoEventMask, &close);
        XFlush(display);
        if (waitForExit(childFd, deadline)) {
            result.closeMs = millisecondsBetween(closing, SteadyClock::now());
        } else {
            result.outcome = "timeout";
        }
    }

    if (result.outcome == "timeout") {
        kill(pid, SIGKILL);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) == pid) {
        result.exit = describeExit(status);
    }
    close(childFd);
    XCloseDisplay(display);
    printResult(options.label, result);
    return result.outcome == "ok" ? 0 : kFailureStatus;
}
