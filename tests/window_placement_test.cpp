#include "window_placement.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QTest>

#include <vector>

using namespace hexlark;

// Where the window's frame opens, from the monitors' work areas and the frame's size.
class WindowPlacementTest : public QObject
{
    Q_OBJECT

private slots:
    void placement_data()
    {
        QTest::addColumn<QList<QRect>>("areas");
        QTest::addColumn<int>("primary");
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QPoint>("at");
        const QRect left(0, 0, 1920, 1080);
        const QRect right(1920, 0, 1920, 1080);
        // clang-format off
        QTest::newRow("fits: centred") << QList{QRect(0, 0, 1024, 768)} << 0 << QSize(279, 190) << QPoint(372, 289);
        QTest::newRow("centred under a top panel") << QList{QRect(0, 30, 1024, 738)} << 0 << QSize(279, 190) << QPoint(372, 304);
        QTest::newRow("on the primary, on the right") << QList{left, right} << 1 << QSize(279, 190) << QPoint(2740, 445);
        QTest::newRow("primary right of one at negative x") << QList{QRect(-1280, -200, 1280, 1024), left} << 1 << QSize(279, 190) << QPoint(820, 445);
        QTest::newRow("none primary: the first") << QList{right, left} << -1 << QSize(279, 190) << QPoint(2740, 445);
        QTest::newRow("larger: top-left on the area") << QList{QRect(0, 0, 1024, 768)} << 0 << QSize(1371, 845) << QPoint(0, 0);
        QTest::newRow("larger, under a panel, on the right") << QList{left, QRect(1920, 30, 1280, 994)} << 1 << QSize(1371, 845) << QPoint(1920, 104);
        // clang-format on
    }
    void placement()
    {
        QFETCH(QList<QRect>, areas);
        QFETCH(int, primary);
        QFETCH(QSize, frame);
        QFETCH(QPoint, at);
        std::vector<Monitor> monitors;
        for (const QRect &area : areas) {
            monitors.push_back({{area.x(), area.y(), area.width(), area.height()},
                                static_cast<int>(monitors.size()) == primary});
        }
        const ScreenPoint placed = framePosition(monitors, frame.width(), frame.height());
        QCOMPARE(QPoint(placed.left, placed.top), at);
    }
};

QTEST_APPLESS_MAIN(WindowPlacementTest)
#include "window_placement_test.moc"
