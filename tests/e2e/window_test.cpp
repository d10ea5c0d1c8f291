#include "window_colours.h"
#include "xsession.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QObject>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>

using hexlark::e2e::colourFault;
using hexlark::e2e::kClientSize;
using hexlark::e2e::kWindowColourChecks;
using hexlark::e2e::XSession;
using namespace std::chrono_literals;

namespace {

const QString kTitle = QStringLiteral("Hexlark");
const QString kScreenshotFile = QStringLiteral("e2e_window_test.png");
// The window is placed by the program itself; rounding may shift it by a pixel.
constexpr double kCentringTolerance = 3.0;
constexpr auto kExitDeadline = 10s;

// The address box, in pixels of the client area (left, top, width, height).
constexpr QRect kTextBox{40, 82, 186, 26}; // x 40..225, y 82..107
constexpr int kTextBoxFrame = 3;           // frame and rounded corners
constexpr int kLightBackgroundMin = 200;
constexpr double kLightShareMin = 0.6;
constexpr int kDarkTextMax = 100;
// Twelve bold characters make far more ink than this.
constexpr int kMinTextPixels = 100;
constexpr int kMarginTolerance = 3;

} // namespace

// The real window on its own display: its size, title and place, and what a
// screenshot of it shows.
class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void clientAreaSize();
    void title();
    void centredOnScreen();
    void colours_data();
    void colours();
    void addressCentredInBox();

private:
    std::unique_ptr<XSession> m_session;
    QProcess *m_program = nullptr;
    QString m_window;
    QImage m_shot;
};

void WindowTest::initTestCase()
{
    m_session = std::make_unique<XSession>();
    QVERIFY2(m_session->isReady(), qPrintable(m_session->errorString()));
    m_program = m_session->startHexlark();
    QVERIFY2(m_program != nullptr, qPrintable(m_session->errorString()));
    m_window = m_session->waitForHexlarkWindow(*m_program);
    QVERIFY2(!m_window.isEmpty(), qPrintable(m_session->errorString()));
    m_shot = m_session->settledScreenshot(m_window);
    QVERIFY2(!m_shot.isNull(), "no finished screenshot of the window");
    // Kept beside the test for a person to look at when a colour check fails.
    const QString path = QDir::current().absoluteFilePath(kScreenshotFile);
    QVERIFY(m_shot.save(path, "PNG"));
    qInfo("screenshot: %s", qPrintable(path));
}

void WindowTest::cleanupTestCase()
{
    if (m_session && m_program != nullptr && !m_window.isEmpty()) {
        QVERIFY(m_session->requestClose(m_window));
        QVERIFY(XSession::waitForExit(*m_program, kExitDeadline));
        QCOMPARE(m_program->exitCode(), 0);
    }
}

void WindowTest::clientAreaSize()
{
    const std::optional<QRect> geometry = m_session->windowGeometry(m_window);
    QVERIFY(geometry.has_value());
    QCOMPARE(geometry->size(), kClientSize);
    QCOMPARE(m_shot.size(), kClientSize);
}

void WindowTest::title()
{
    QCOMPARE(m_session->windowName(m_window), std::optional<QString>(kTitle));
}

void WindowTest::centredOnScreen()
{
    const std::optional<QRect> geometry = m_session->windowGeometry(m_window);
    const std::optional<QSize> screen = m_session->screenSize();
    QVERIFY(geometry.has_value());
    QVERIFY(screen.has_value());
    const double left = (screen->width() - geometry->width()) / 2.0;
    const double top = (screen->height() - geometry->height()) / 2.0;
    QVERIFY2(std::abs(geometry->left() - left) <= kCentringTolerance &&
                 std::abs(geometry->top() - top) <= kCentringTolerance,
             qPrintable(QStringLiteral("window at %1,%2 on a %3x%4 screen")
                            .arg(geometry->left())
                            .arg(geometry->top())
                            .arg(screen->width())
                            .arg(screen->height())));
}

void WindowTest::colours_data()
{
    QTest::addColumn<int>("check");
    for (std::size_t i = 0; i < kWindowColourChecks.size(); ++i) {
        QTest::newRow(kWindowColourChecks[i].name) << static_cast<int>(i);
    }
}

void WindowTest::colours()
{
    QFETCH(int, check);
    const QString fault = colourFault(m_shot, kWindowColourChecks[static_cast<std::size_t>(check)]);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

void WindowTest::addressCentredInBox()
{
    const QRect inside =
        kTextBox.adjusted(kTextBoxFrame, kTextBoxFrame, -kTextBoxFrame, -kTextBoxFrame);
    int light = 0;
    int dark = 0;
    int firstDark = inside.right() + 1;
    int lastDark = inside.left() - 1;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor c = m_shot.pixelColor(x, y);
            if (std::min({c.red(), c.green(), c.blue()}) >= kLightBackgroundMin) {
                ++light;
            } else if (std::max({c.red(), c.green(), c.blue()}) <= kDarkTextMax) {
                ++dark;
                firstDark = std::min(firstDark, x);
                lastDark = std::max(lastDark, x);
            }
        }
    }
    const int area = inside.width() * inside.height();
    QVERIFY2(light >= kLightShareMin * area,
             qPrintable(QStringLiteral("%1 of %2 pixels light").arg(light).arg(area)));
    QVERIFY2(dark >= kMinTextPixels, qPrintable(QStringLiteral("%1 dark pixels").arg(dark)));
    // Ink touching the inner edge would mean the address is cut off.
    QVERIFY2(firstDark > inside.left() && lastDark < inside.right(),
             qPrintable(QStringLiteral("text spans x %1..%2").arg(firstDark).arg(lastDark)));
    const int leftMargin = firstDark - kTextBox.left();
    const int rightMargin = kTextBox.right() - lastDark;
    QVERIFY2(std::abs(leftMargin - rightMargin) <= kMarginTolerance,
             qPrintable(QStringLiteral("margins %1 and %2").arg(leftMargin).arg(rightMargin)));
}

QTEST_GUILESS_MAIN(WindowTest)
#include "window_test.moc"
