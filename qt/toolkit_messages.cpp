#include "toolkit_messages.h"

#include "error_path.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace hexlark {
namespace {

constexpr const char *kDisplayVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
// What Qt's plugin loader warns of before it gives up on a platform name it
// has no plugin for: the one start-up failure that is not the display's.
constexpr std::string_view kPluginCategory = "qt.qpa.plugin";
constexpr const char *kNoSuchPlatform = "Could not find the Qt platform plugin";
// Platform plugins that Debian ships apart from Qt's own library, which only
// recommends them: a system installed without Recommends has none of them.
struct PluginPackage
{
    const char *platform; // and every platform whose name starts so
    const char *package;
};
constexpr PluginPackage kPluginPackages[] = {{"wayland", "qt6-wayland"}};

struct Start
{
    bool starting = false;
    std::string display;
    QStringList held;
    QString reason;
    QtMessageHandler passOn = nullptr;
};

Start &start()
{
    static Start state;
    return state;
}

bool environmentSet(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Qt's line names the platform in quotes: ... plugin "wayland" in "".
QString withPackage(const QString &reason)
{
    const QString platform = reason.section(QLatin1Char('"'), 1, 1);
    for (const PluginPackage &plugin : kPluginPackages) {
        if (platform.startsWith(QLatin1String(plugin.platform))) {
            return reason + QStringLiteral(" (the Debian package %1 brings it)")
                                .arg(QLatin1String(plugin.package));
        }
    }
    return reason;
}

void onToolkitMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    Start &state = start();
    if (type != QtFatalMsg) {
        if (!state.starting) {
            state.passOn(type, context, message);
            return;
        }
        state.held.append(qFormatLogMessage(type, context, message));
        if (context.category != nullptr && context.category == kPluginCategory &&
            message.startsWith(QLatin1String(kNoSuchPlatform))) {
            state.reason = withPackage(message);
        }
        return;
    }
    if (!state.starting) {
        // No window can be trusted here: the toolkit itself has given up.
        endWithFailure(message.toLocal8Bit().toStdString(), kFailureStatus);
    }
    if (!state.reason.isEmpty()) {
        endWithFailure(state.reason.toLocal8Bit().toStdString(), kNoDisplayStatus);
    }
    endWithFailure("cannot reach the display (" + state.display + ")", kNoDisplayStatus);
}

} // namespace

std::string namedDisplay(int argc, char *argv[])
{
    // As Qt reads its own options, one dash or two: "-display NAME" for X11,
    // "-platform NAME[:OPTIONS]" for any platform.
    std::string named;
    const auto name = [&named](const std::string &part) {
        named += (named.empty() ? "" : ", ") + part;
    };
    for (int i = 1; i + 1 < argc; ++i) {
        std::string_view option = argv[i];
        if (option.starts_with("--")) {
            option.remove_prefix(1);
        }
        if (option == "-display" || option == "-platform") {
            name(std::string(argv[i]) + " " + argv[i + 1]);
            ++i;
        }
    }
    if (!named.empty()) {
        return named;
    }
    for (const char *variable : kDisplayVariables) {
        if (environmentSet(variable)) {
            name(std::string(variable) + "=" + std::getenv(variable));
        }
    }
    return named;
}

void holdToolkitMessages(const std::string &display)
{
    Start &state = start();
    state.display = display;
    state.starting = true;
    state.passOn = qInstallMessageHandler(onToolkitMessage);
}

void toolkitStarted()
{
    Start &state = start();
    state.starting = false;
    for (const QString &held : std::as_const(state.held)) {
        std::fprintf(stderr, "%s\n", held.toLocal8Bit().constData());
    }
    state.held.clear();
}

} // namespace hexlark
