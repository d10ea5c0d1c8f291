#pragma once

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRgb>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace hexlark::e2e {

// A private Wayland compositor (Weston) and the tools that look at it:
// weston-screenshooter for pictures of its output, wl-copy and wl-paste for
// its clipboard. Everything it starts is stopped again by its destructor.
class WestonSession
{
public:
    enum class Backend {
        // No window system below it and no input devices at all.
        Headless,
        // Shown as a window on an X display, whose pointer and keyboard it
        // passes on to its own clients: the X display's keys reach them.
        NestedInX11,
    };

    static constexpr QSize kOutputSize{640, 480};
    // A plain background with no panel, so that windows stand out on it.
    static constexpr QRgb kBackground = 0xff788cc8;
    static constexpr std::chrono::milliseconds kStartDeadline{15'000};
    static constexpr std::chrono::milliseconds kToolDeadline{10'000};

    // xDisplay names the X display a nested compositor shows on. With
    // Xwayland, X programs can connect to the compositor too, and its
    // clipboard can be read without taking the keyboard from any window.
    enum class Xwayland { Without, With };
    explicit WestonSession(Backend backend, const QString &xDisplay = {},
                           Xwayland xwayland = Xwayland::Without);
    ~WestonSession();
    WestonSession(const WestonSession &) = delete;
    WestonSession &operator=(const WestonSession &) = delete;

    bool isReady() const { return m_ready; }
    QString errorString() const { return m_error; }
    QString socketName() const { return m_socket; }
    // A folder of the session's own, removed with it.
    QString workPath() const { return m_work.path(); }

    // The environment a Wayland client gets: this compositor only, no X display.
    QProcessEnvironment clientEnvironment() const;
    // The same for Qt programs, which are told to use Wayland.
    QProcessEnvironment qtEnvironment() const;

    // Starts a client that the session owns and stops at the latest in its
    // destructor. Returns null when it cannot be started.
    // Given a file, its standard error goes there, to be read at any time.
    QProcess *startClient(const QString &program, const QStringList &arguments,
                          const QProcessEnvironment &environment,
                          const QString &standardErrorFile = {});

    // A picture of the whole output, or a null image.
    QImage screenshot() const;
    // The clipboard's text as wl-paste reads it; none while nothing is copied.
    // wl-paste shows a window for a moment to get the keyboard, without which
    // Wayland gives no client the clipboard, so it takes the keyboard away
    // from whichever window had it.
    std::optional<QByteArray> readClipboard() const;
    // The clipboard's text as an X program reads it through Xwayland (xclip),
    // which leaves the keyboard where it is; none while nothing is copied.
    std::optional<QByteArray> readClipboardThroughXwayland() const;
    // Puts text on the clipboard from another client (wl-copy), which keeps
    // serving it until someone else copies; true once it can be read back.
    bool offerClipboard(const QByteArray &text);

    // The nested compositor's output window on the X display, e.g. "2097157".
    QString outputWindow() const { return m_outputWindow; }

private:
    bool waitForSocket();
    bool waitForXwaylandDisplay();
    bool findOutputWindow(const QString &xDisplay);
    QString logText() const;

    QTemporaryDir m_work;
    QString m_runtime;
    QString m_socket;
    QProcess m_compositor;
    bool m_ready = false;
    QString m_error;
    QString m_outputWindow;
    QString m_xwaylandDisplay;
    std::vector<std::unique_ptr<QProcess>> m_clients;
};

} // namespace hexlark::e2e
