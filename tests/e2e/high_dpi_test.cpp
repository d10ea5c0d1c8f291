#include "window_colours.h"
#include "xsession.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTest>

#include <array>
#include <chrono>
#include <memory>
#include <optional>

using hexlark::e2e::CommandResult;
using hexlark::e2e::XSession;
using namespace std::chrono_literals;

namespace {

const QString kWindowName = QStringLiteral("^Hexlark$");
// Both ways to a high-resolution screen give two device pixels per pixel.
constexpr int kRatio = 2;
constexpr QSize kDeviceClientSize = hexlark::e2e::kClientSize * kRatio;
// Settings that would change the scale on their own; each case sets only its own.
const QStringList kScalingVariables{QStringLiteral("QT_SCALE_FACTOR"),
                                    QStringLiteral("QT_SCREEN_SCALE_FACTORS"),
                                    QStringLiteral("QT_ENABLE_HIGHDPI_SCALING"),
                                    QStringLiteral("QT_AUTO_SCREEN_SCALE_FACTOR"),
                                    QStringLiteral("QT_FONT_DPI"),
                                    QStringLiteral("QT_USE_PHYSICAL_DPI"),
                                    QStringLiteral("QT_SCALE_FACTOR_ROUNDING_POLICY")};
// What desktops put in the X resource database for a 192 dpi screen.
const QByteArray kDpiResource = QByteArrayLiteral("Xft.dpi:\t192\n");
constexpr auto kExitDeadline = 10s;

enum Case { ScaleFactor, XftDpi, CaseCount };
constexpr std::array<const char *, CaseCount> kCaseNames{"QT_SCALE_FACTOR=2", "Xft.dpi 192"};

} // namespace

// The real program on X screens with two device pixels per pixel, asked for
// by Qt's own scale factor or by the X resource a desktop sets for a 192 dpi
// screen: the window doubles in size and, brought back to 1x, looks as it
// does at 96 dpi.
class HighDpiTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void clientAreaSize_data();
    void clientAreaSize();
    void colours_data();
    void colours();
    void closingEndsWithStatusZero_data();
    void closingEndsWithStatusZero();

private:
    struct Run
    {
        std::unique_ptr<XSession> session;
        QProcess *program = nullptr;
        QString window;
        QImage shot;
    };

    void start(Case which);
    void addCaseRows();

    std::array<Run, CaseCount> m_runs;
};

void HighDpiTest::start(Case which)
{
    Run &run = m_runs[which];
    run.session = std::make_unique<XSession>();
    QVERIFY2(run.session->isReady(), qPrintable(run.session->errorString()));
    QProcessEnvironment environment = run.session->programEnvironment();
    for (const QString &variable : kScalingVariables) {
        environment.remove(variable);
    }
    if (which == ScaleFactor) {
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(kRatio));
    } else {
        const QString resources =
            QDir(run.session->workPath()).filePath(QStringLiteral("Xresources"));
        QFile file(resources);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(kDpiResource) == kDpiResource.size());
        file.close();
        // -nocpp: the line needs no preprocessing, and cpp may not be installed.
        const CommandResult merged =
            run.session->run(QStringLiteral("xrdb"),
                             {QStringLiteral("-nocpp"), QStringLiteral("-merge"), resources});
        QVERIFY2(merged.succeeded(), merged.standardError.constData());
        const CommandResult query =
            run.session->run(QStringLiteral("xrdb"), {QStringLiteral("-query")});
        QVERIFY2(query.standardOutput.contains(kDpiResource), query.standardOutput.constData());
    }
    run.program = run.session->startProgram(QStringLiteral(HEXLARK_BINARY), {}, environment);
    QVERIFY2(run.program != nullptr, qPrintable(run.session->errorString()));
    run.window = run.session->waitForWindow(kWindowName, run.program->processId());
    QVERIFY2(!run.window.isEmpty(), run.program->readAllStandardError().constData());
    run.shot = run.session->settledScreenshot(run.window);
    QVERIFY2(!run.shot.isNull(), "no finished screenshot of the window");
    // Kept beside the test for a person to look at when a check fails.
    const QString path = QDir::current().absoluteFilePath(
        QStringLiteral("e2e_high_dpi_test_%1.png").arg(which == ScaleFactor ? "scale" : "xft"));
    QVERIFY(run.shot.save(path, "PNG"));
}

void HighDpiTest::initTestCase()
{
    // Both programs stay up, each on its own display, until the last check.
    for (int which = 0; which < CaseCount; ++which) {
        start(static_cast<Case>(which));
        if (QTest::currentTestFailed()) {
            return;
        }
    }
}

void HighDpiTest::addCaseRows()
{
    QTest::addColumn<int>("which");
    for (int which = 0; which < CaseCount; ++which) {
        QTest::newRow(kCaseNames[static_cast<std::size_t>(which)]) << which;
    }
}

void HighDpiTest::clientAreaSize_data()
{
    addCaseRows();
}

void HighDpiTest::clientAreaSize()
{
    QFETCH(int, which);
    const Run &run = m_runs[static_cast<std::size_t>(which)];
    const std::optional<QRect> geometry = run.session->windowGeometry(run.window);
    QVERIFY(geometry.has_value());
    QCOMPARE(geometry->size(), kDeviceClientSize);
    QCOMPARE(run.shot.size(), kDeviceClientSize);
}

void HighDpiTest::colours_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<int>("check");
    for (int which = 0; which < CaseCount; ++which) {
        for (int check = 0; check < static_cast<int>(hexlark::e2e::kWindowColourChecks.size());
             ++check) {
            QTest::addRow("%s: %s", kCaseNames[static_cast<std::size_t>(which)],
                          hexlark::e2e::kWindowColourChecks[static_cast<std::size_t>(check)].name)
                << which << check;
        }
    }
}

void HighDpiTest::colours()
{
    QFETCH(int, which);
    QFETCH(int, check);
    const QImage logical =
        hexlark::e2e::toLogicalPixels(m_runs[static_cast<std::size_t>(which)].shot, kRatio);
    QCOMPARE(logical.size(), hexlark::e2e::kClientSize);
    const QString fault = hexlark::e2e::colourFault(
        logical, hexlark::e2e::kWindowColourChecks[static_cast<std::size_t>(check)]);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

void HighDpiTest::closingEndsWithStatusZero_data()
{
    addCaseRows();
}

void HighDpiTest::closingEndsWithStatusZero()
{
    QFETCH(int, which);
    Run &run = m_runs[static_cast<std::size_t>(which)];
    QVERIFY(run.session->requestClose(run.window));
    QVERIFY2(XSession::waitForExit(*run.program, kExitDeadline), "still running after the close");
    QCOMPARE(run.program->exitStatus(), QProcess::NormalExit);
    QVERIFY2(run.program->exitCode() == 0, run.program->readAllStandardError().constData());
}

QTEST_GUILESS_MAIN(HighDpiTest)
#include "high_dpi_test.moc"
