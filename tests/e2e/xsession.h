#pragma once

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace hexlark::e2e {

// Whether text is one MAC address as the program writes it: six upper-case
// hex pairs joined by hyphens, nothing before or after, not even a newline.
bool isAddressText(const QByteArray &text);

// Asks a process to end, and kills it if it has not within a few seconds.
void stopProcess(QProcess &process);

// What a helper command did before its deadline.
struct CommandResult
{
    bool finished = false; // ended on its own before the deadline
    bool crashed = false;  // ended by a signal
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;

    bool succeeded() const { return finished && !crashed && exitCode == 0; }
};

// A private X display (Xvfb on a free display number) and the X tools that
// drive real programs on it: xdotool for windows and keys, xclip for the
// clipboard, xwininfo and xprop for window facts, import for screenshots.
// Everything it starts is stopped again by its destructor.
class XSession
{
public:
    static constexpr QSize kDefaultScreen{1024, 768};
    static constexpr std::chrono::milliseconds kCommandDeadline{10'000};
    static constexpr std::chrono::milliseconds kWindowDeadline{20'000};

    explicit XSession(QSize screen = kDefaultScreen);
    ~XSession();
    XSession(const XSession &) = delete;
    XSession &operator=(const XSession &) = delete;

    bool isReady() const { return m_displayNumber >= 0; }
    QString errorString() const { return m_error; }
    QString display() const { return QStringLiteral(":%1").arg(m_displayNumber); }
    int displayNumber() const { return m_displayNumber; }
    // A folder of the session's own, removed with it.
    QString workPath() const { return m_work.path(); }

    // The environment a program under test gets: this display only, never the
    // offscreen platform the test itself runs on, and a runtime folder of its own.
    QProcessEnvironment programEnvironment() const;
    // Starts a program that the session owns and stops at the latest in its
    // destructor. Returns null when it cannot be started.
    QProcess *startProgram(const QString &program, const QStringList &arguments,
                           const QProcessEnvironment &environment,
                           const QString &workingDirectory = {});

    // The program under test, started in programEnvironment().
    QProcess *startHexlark();
    // Waits for the "Hexlark" window of that program and returns its id; on
    // failure, "" and errorString() carries what the program printed.
    QString waitForHexlarkWindow(QProcess &program);

    // Runs an X tool against this display and collects its output.
    CommandResult run(const QString &program, const QStringList &arguments,
                      std::chrono::milliseconds deadline = kCommandDeadline) const;
    // Runs any command in the given environment (and folder), killing it at
    // the deadline.
    static CommandResult runIn(const QProcessEnvironment &environment, const QString &program,
                               const QStringList &arguments,
                               std::chrono::milliseconds deadline = kCommandDeadline,
                               const QString &workingDirectory = {});

    // Waits until a mapped window whose name matches the pattern exists (and,
    // given a process id, belongs to that process); returns its id or "".
    QString waitForWindow(const QString &namePattern, qint64 pid = 0) const;
    bool focus(const QString &window) const;
    // Sends key chords, e.g. "alt+c", to the window that has input focus.
    bool pressKeys(const QStringList &chords) const;
    // Focuses the window, presses the keys and returns the text the
    // clipboard then holds, once its owner has changed.
    std::optional<QByteArray> pressAndReadClipboard(const QString &window,
                                                    const QStringList &chords);
    // The clipboard's text exactly as its owner hands it over.
    std::optional<QByteArray> readClipboard() const;

    std::optional<QRect> windowGeometry(const QString &window) const;
    std::optional<QSize> screenSize() const;
    std::optional<QString> windowName(const QString &window) const;
    QImage screenshot(const QString &window) const;
    // A screenshot taken once the window shows something and stops changing.
    QImage settledScreenshot(const QString &window) const;

    // Asks the window to close the way a window manager does: a
    // WM_PROTOCOLS / WM_DELETE_WINDOW client message.
    bool requestClose(const QString &window) const;
    // Kills the X server at once, as a crash or a lost connection would.
    void killServer();

    // Waits for a process to end; false if it is still running at the deadline.
    static bool waitForExit(QProcess &process, std::chrono::milliseconds deadline);

private:
    QProcessEnvironment toolEnvironment() const;
    bool claimClipboard(const QByteArray &text);
    std::optional<QByteArray> waitForClipboardOtherThan(const QByteArray &text) const;

    QTemporaryDir m_work;
    QProcess m_server;
    int m_displayNumber = -1;
    QString m_error;
    int m_claims = 0;
    std::vector<std::unique_ptr<QProcess>> m_programs;
    std::vector<std::unique_ptr<QProcess>> m_clipboardOwners;
};

} // namespace hexlark::e2e
