// Runs the window with the real error path and a clipboard that fails in the
// way named on the command line, presses Copy (or Generate), and prints every
// step it sees, so a test can tell what happened before the process ended.
#include "clipboard.h"
#include "error_path.h"
#include "form1.h"
#include "message_box.h"
#include "random_source.h"
#include "test_sources.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <stdexcept>

namespace {

constexpr int kDismissIntervalMs = 20;

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

class ScriptedClipboard final : public hexlark::Clipboard
{
public:
    explicit ScriptedClipboard(QString mode) : m_mode(std::move(mode)) {}
    bool clear() override
    {
        say(QStringLiteral("clipboard clear"));
        return m_mode != QLatin1String("clear-fails");
    }
    bool setText(const QString &text) override
    {
        say(QStringLiteral("clipboard set ") + text);
        if (m_mode == QLatin1String("readback-differs")) {
            return m_system.setText(text);
        }
        return m_mode != QLatin1String("set-fails");
    }

private:
    QString m_mode;
    hexlark::SystemClipboard m_system;
};

// Gives up after the first address, as a broken runtime might.
class FailingSource final : public hexlark::RandomSource
{
public:
    void Reseed() override {}
    double NextUniform() override
    {
        if (++m_draws > kDrawsPerAddress) {
            throw std::runtime_error("random source gave out");
        }
        return 0.5;
    }

private:
    static constexpr int kDrawsPerAddress = 12;
    int m_draws = 0;
};

class NoMessages final : public hexlark::MessageBox
{
public:
    void show(const QString &, const QString &) override {}
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString mode = QApplication::arguments().value(1);

    hexlark::FatalErrorPath errors;
    hexlark::installUncaughtErrorHandler(errors);
    hexlark::testing::CountingSource counting;
    FailingSource failing;
    hexlark::RandomSource &random = mode == QLatin1String("generate-throws")
                                        ? static_cast<hexlark::RandomSource &>(failing)
                                        : counting;
    ScriptedClipboard clipboard(mode);
    NoMessages messages;

    // Another owner takes over the clipboard as soon as the address lands.
    if (mode == QLatin1String("readback-differs")) {
        QClipboard *system = QGuiApplication::clipboard();
        QObject::connect(system, &QClipboard::dataChanged, &app, [system] {
            if (system->text() != QLatin1String("taken over")) {
                system->setText(QStringLiteral("taken over"));
            }
        });
    }

    // Reports and dismisses the error box, the only box this program shows.
    QTimer dismisser;
    QObject::connect(&dismisser, &QTimer::timeout, &app, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            say(QStringLiteral("box ") + box->text());
            box->accept();
        }
    });
    dismisser.start(kDismissIntervalMs);

    hexlark::Form1 window(random, clipboard, messages, errors);
    window.show();
    const QString button = mode == QLatin1String("generate-throws") ? QStringLiteral("Command1")
                                                                    : QStringLiteral("Command3");
    QTimer::singleShot(0, &window, [&window, button] {
        window.findChild<QPushButton *>(button)->click();
        say(QStringLiteral("handler returned"));
    });
    const int status = QApplication::exec();
    say(QStringLiteral("event loop ended"));
    return status;
}
