#include "form1.h"

#include "form1_design.h"
#include "test_platform.h"
#include "test_sources.h"

#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <cmath>

using namespace hexlark;

namespace {

constexpr int kDarkLimit = 40;     // a channel at or below this is black
constexpr int kBrightGreen = 200;  // lettering's green channel at least this
constexpr int kLightGreyLow = 150; // the heading's grey underside edge
constexpr int kLightGreyHigh = 230;
constexpr int kCentringSlack = 3; // px, for the address inside its box

QString name(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect designRect(const design::Rect &twips)
{
    return QRect(design::toPixels(twips.left), design::toPixels(twips.top),
                 design::toPixels(twips.width), design::toPixels(twips.height));
}

bool isBlack(QRgb pixel)
{
    return qRed(pixel) <= kDarkLimit && qGreen(pixel) <= kDarkLimit && qBlue(pixel) <= kDarkLimit;
}

bool isGreenish(QRgb pixel)
{
    return qGreen(pixel) > qRed(pixel) + 40 && qGreen(pixel) > qBlue(pixel) + 40;
}

bool isLightGrey(QRgb pixel)
{
    const int r = qRed(pixel);
    const int g = qGreen(pixel);
    const int b = qBlue(pixel);
    return r >= kLightGreyLow && r <= kLightGreyHigh && std::abs(r - g) < 30 &&
           std::abs(r - b) < 30;
}

struct Harness
{
    testing::CountingSource random;
    testing::FakeClipboard clipboard;
    testing::FakeMessageBox messages;
    testing::RecordingErrorPath errors;
    Form1 window{random, clipboard, messages, errors};

    template <typename T = QWidget> T *control(const QString &controlName) const
    {
        return window.findChild<T *>(controlName);
    }
    bool showAndActivate()
    {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    QImage grab() { return inLogicalPixels(window.grab().toImage()); }
    QImage grab(const QString &controlName)
    {
        return inLogicalPixels(control(controlName)->grab().toImage());
    }

private:
    // In logical pixels whatever the scale: each pixel is sampled at the
    // centre of its block of device pixels.
    static QImage inLogicalPixels(const QImage &device)
    {
        const qreal ratio = device.devicePixelRatio();
        QImage logical(device.deviceIndependentSize().toSize(), QImage::Format_RGB32);
        for (int y = 0; y < logical.height(); ++y) {
            for (int x = 0; x < logical.width(); ++x) {
                logical.setPixel(x, y,
                                 device.pixel(static_cast<int>((x + 0.5) * ratio),
                                              static_cast<int>((y + 0.5) * ratio)));
            }
        }
        return logical;
    }
};

} // namespace

// The window against its design table, and a grab of it as drawn. Also run at
// twice the scale: everything is measured in logical pixels.
class Form1DesignTest : public QObject
{
    Q_OBJECT

private slots:
    void windowHasItsDesignedFrame();
    void controlsSitWhereDesigned_data();
    void controlsSitWhereDesigned();
    void addressBoxUsesBoldCourierAndFitsTheAddress();
    void labelsAreGreenOneLineAndTransparent();
    void tabVisitsTheDesignedOrder_data();
    void tabVisitsTheDesignedOrder();
    void grabShowsOneBlackField();
    void grabShowsTheHeadingAndGreenLabels();
    void grabShowsTheAddressCentredInItsBox();
    void headingIsDrawnAtTheScreensResolution();
    void everyControlIsNamedForScreenReaders();
};

void Form1DesignTest::windowHasItsDesignedFrame()
{
    Harness h;
    QVERIFY(h.showAndActivate());
    QCOMPARE(h.window.windowTitle(), QStringLiteral("Hexlark"));
    QCOMPARE(h.window.size(), QSize(273, 163));
    QCOMPARE(h.window.minimumSize(), h.window.maximumSize());
    QVERIFY(!h.window.windowIcon().isNull());
    QVERIFY(h.window.windowIcon().availableSizes().contains(QSize(16, 16)));

    // Opens centred on the screen, give or take the frame's margins.
    const QPoint screenCentre = h.window.screen()->availableGeometry().center();
    const QPoint windowCentre = h.window.geometry().center();
    QVERIFY2((screenCentre - windowCentre).manhattanLength() <= 6,
             qPrintable(QStringLiteral("%1,%2").arg(windowCentre.x()).arg(windowCentre.y())));
}

void Form1DesignTest::controlsSitWhereDesigned_data()
{
    QTest::addColumn<QString>("controlName");
    QTest::addColumn<QRect>("pixels");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Label2") << "Label2" << QRect(8, 40, 249, 17) << "Vorrel";
    QTest::newRow("Label1") << "Label1" << QRect(8, 56, 249, 17)
                            << "http://www.vorrel.example.com/hexlark/";
    QTest::newRow("Text1") << "Text1" << QRect(40, 82, 186, 26) << QString();
    QTest::newRow("Command1") << "Command1" << QRect(16, 120, 73, 23) << "&Generate";
    QTest::newRow("Command3") << "Command3" << QRect(88, 120, 73, 23) << "&Copy";
    QTest::newRow("Command2") << "Command2" << QRect(160, 120, 73, 23) << "&About";
}

void Form1DesignTest::controlsSitWhereDesigned()
{
    QFETCH(QString, controlName);
    QFETCH(QRect, pixels);
    QFETCH(QString, caption);
    Harness h;
    QVERIFY(h.showAndActivate());
    QWidget *widget = h.control(controlName);
    QVERIFY(widget != nullptr);
    QCOMPARE(widget->geometry(), pixels);
    QCOMPARE(widget->geometry(), designRect(design::control(controlName.toStdString()).twips));
    QVERIFY(widget->isVisible());
    QVERIFY(widget->isEnabled());
    QVERIFY(widget->toolTip().isEmpty());
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->text().size(), controlName == "Label1" ? 38 : 6);
        QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QCOMPARE(button->text(), caption);
        // The caption fits its button.
        QVERIFY(button->fontMetrics().horizontalAdvance(button->text().remove('&')) <
                button->width() - 8);
    } else {
        QCOMPARE(qobject_cast<QLineEdit *>(widget)->alignment() & Qt::AlignHorizontal_Mask,
                 Qt::AlignHCenter);
    }
}

void Form1DesignTest::addressBoxUsesBoldCourierAndFitsTheAddress()
{
    Harness h;
    QVERIFY(h.showAndActivate());
    auto *box = h.control<QLineEdit>("Text1");
    QCOMPARE(box->font().family(), QStringLiteral("Courier New"));
    QCOMPARE(box->font().pointSize(), 12);
    QCOMPARE(box->font().weight(), QFont::Bold);
    const QFontInfo resolved(box->font());
    // fontconfig's metric alias for Courier New: same widths, so the address fits.
    QCOMPARE(resolved.family(), QStringLiteral("Liberation Mono"));
    QVERIFY(resolved.fixedPitch());
    QVERIFY(resolved.bold());
    QVERIFY(box->hasFrame());

    const int advance = box->fontMetrics().horizontalAdvance(box->text());
    QVERIFY2(advance < box->contentsRect().width() - 8,
             qPrintable(QStringLiteral("%1 px for the address").arg(advance)));
    // The labels and buttons keep the default control font.
    QCOMPARE(h.control("Command1")->font(), QApplication::font(h.control("Command1")));
}

void Form1DesignTest::labelsAreGreenOneLineAndTransparent()
{
    Harness h;
    QVERIFY(h.showAndActivate());
    for (const QString &labelName : {QStringLiteral("Label1"), QStringLiteral("Label2")}) {
        auto *label = h.control<QLabel>(labelName);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 255, 0));
        QVERIFY(!label->autoFillBackground());
        QVERIFY(!label->wordWrap());
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
        QVERIFY(label->fontMetrics().height() <= label->height());
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    }
}

void Form1DesignTest::tabVisitsTheDesignedOrder_data()
{
    QTest::addColumn<bool>("backwards");
    QTest::newRow("Tab") << false;
    QTest::newRow("Shift+Tab") << true;
}

void Form1DesignTest::tabVisitsTheDesignedOrder()
{
    QFETCH(bool, backwards);
    Harness h;
    QVERIFY(h.showAndActivate());
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text1"));

    QStringList visited;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(h.window.windowHandle(), Qt::Key_Tab,
                        backwards ? Qt::ShiftModifier : Qt::NoModifier);
        visited << QApplication::focusWidget()->objectName();
    }
    const QStringList forwards{"Command1", "Command3", "Command2", "Text1"};
    const QStringList reverse{"Command2", "Command3", "Command1", "Text1"};
    QCOMPARE(visited, backwards ? reverse : forwards);
    // Moving the focus ran nothing.
    QCOMPARE(h.random.addressesDrawn(), 1);
}

void Form1DesignTest::grabShowsOneBlackField()
{
    Harness h;
    QVERIFY(h.showAndActivate());
    const QImage shot = h.grab();
    // The column right of the picture and the strip below the buttons.
    for (int y = 0; y < shot.height(); ++y) {
        QVERIFY2(isBlack(shot.pixel(272, y)), qPrintable(QStringLiteral("x 272, y %1").arg(y)));
    }
    for (int y = 144; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            QVERIFY2(isBlack(shot.pixel(x, y)), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
    }
    // Across the picture's lower edge at y 135, away from the buttons: no seam.
    for (int y = 130; y < 140; ++y) {
        QVERIFY(isBlack(shot.pixel(4, y)));
        QVERIFY(isBlack(shot.pixel(250, y)));
    }
    // The buttons look the same on the picture and below it: drawn in the
    // window, each is exactly the button drawn on its own.
    for (const QString &buttonName : QStringList{"Command1", "Command3", "Command2"}) {
        const QRect where = h.control(buttonName)->geometry();
        const QImage alone = h.grab(buttonName);
        // Inside the rounded corners and the column shared with a neighbour.
        for (int y = 2; y < where.height() - 2; ++y) {
            for (int x = 2; x < where.width() - 2; ++x) {
                QVERIFY2(shot.pixel(where.left() + x, where.top() + y) == alone.pixel(x, y),
                         qPrintable(QStringLiteral("%1 at %2,%3").arg(buttonName).arg(x).arg(y)));
            }
        }
    }
}

void Form1DesignTest::grabShowsTheHeadingAndGreenLabels()
{
    Harness h;
    QVERIFY(h.showAndActivate());
    const QImage shot = h.grab();

    int green = 0;
    int grey = 0;
    for (int x = 7; x <= 269; ++x) {
        for (int y = 7; y <= 32; ++y) {
            green +=
                qGreen(shot.pixel(x, y)) >= kBrightGreen && qRed(shot.pixel(x, y)) < 80 ? 1 : 0;
        }
        for (int y = 33; y <= 34; ++y) {
            grey += isLightGrey(shot.pixel(x, y)) ? 1 : 0;
        }
    }
    QVERIFY2(green > 1000, qPrintable(QString::number(green)));
    QVERIFY2(grey > 50, qPrintable(QString::number(grey)));

    // The labels' text straight on black: green or black, no grey box behind.
    int labelGreen = 0;
    for (int y = 40; y <= 72; ++y) {
        for (int x = 8; x < 257; ++x) {
            const QRgb pixel = shot.pixel(x, y);
            QVERIFY2(isBlack(pixel) || isGreenish(pixel),
                     qPrintable(QStringLiteral("%1,%2 is #%3").arg(x).arg(y).arg(pixel, 0, 16)));
            labelGreen += isGreenish(pixel) ? 1 : 0;
        }
    }
    QVERIFY(labelGreen > 100);
}

void Form1DesignTest::grabShowsTheAddressCentredInItsBox()
{
    Harness h;
    QVERIFY(h.showAndActivate());
    const QImage shot = h.grab();
    const QRect box = h.control("Text1")->geometry();

    // Dark text pixels inside the box's light inner area.
    const QRect inner = box.adjusted(3, 3, -3, -3);
    int left = inner.right();
    int right = inner.left();
    for (int y = inner.top(); y <= inner.bottom(); ++y) {
        for (int x = inner.left(); x <= inner.right(); ++x) {
            if (qGray(shot.pixel(x, y)) < 100) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    QVERIFY2(left < right, "no text drawn in the address box");
    QVERIFY(qGray(shot.pixel(inner.left() + 1, inner.center().y())) > 200);
    const int leftMargin = left - box.left();
    const int rightMargin = box.right() - right;
    QVERIFY2(std::abs(leftMargin - rightMargin) <= kCentringSlack,
             qPrintable(QStringLiteral("margins %1 and %2").arg(leftMargin).arg(rightMargin)));
    QVERIFY(leftMargin > 4);
}

void Form1DesignTest::headingIsDrawnAtTheScreensResolution()
{
    Harness h;
    QVERIFY(h.showAndActivate());
    const QImage device = h.window.grab().toImage();
    const qreal ratio = device.devicePixelRatio();
    // The file drawn is the one made for this many device pixels per pixel,
    // copied as it is: never the small one stretched.
    const QString file =
        ratio > 1.0 ? QStringLiteral("heading@2x.jpg") : QStringLiteral("heading.jpg");
    const QImage expected(QStringLiteral(HEXLARK_RESOURCES_DIR "/") + file);
    QVERIFY(!expected.isNull());
    if (ratio != 1.0 && ratio != 2.0) {
        QSKIP("Only whole scales have a picture of their own");
    }
    // The heading band, above the labels.
    const int bandHeight = static_cast<int>(38 * ratio);
    int differing = 0;
    for (int y = 0; y < bandHeight; y += 2) {
        for (int x = 0; x < expected.width(); x += 2) {
            const QRgb want = expected.pixel(x, y);
            const QRgb got = device.pixel(x, y);
            differing += std::abs(qGreen(want) - qGreen(got)) > 8 ? 1 : 0;
        }
    }
    QCOMPARE(differing, 0);
}

void Form1DesignTest::everyControlIsNamedForScreenReaders()
{
    Harness h;
    QVERIFY(h.showAndActivate());
    QAccessibleInterface *windowAccess = QAccessible::queryAccessibleInterface(&h.window);
    QVERIFY(windowAccess != nullptr);
    QCOMPARE(windowAccess->text(QAccessible::Name), QStringLiteral("Hexlark"));
    QCOMPARE(windowAccess->role(), QAccessible::Window);

    for (const design::ControlDesign &control : design::kControls) {
        QWidget *widget = h.control(name(control.name));
        QAccessibleInterface *access = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(access != nullptr);
        QCOMPARE(access->text(QAccessible::Name), name(control.accessibleName));
        QVERIFY(!access->text(QAccessible::Description).isEmpty());
        QCOMPARE(windowAccess->indexOfChild(access) >= 0, true);
    }

    QAccessibleInterface *box = QAccessible::queryAccessibleInterface(h.control("Text1"));
    QCOMPARE(box->role(), QAccessible::EditableText);
    QVERIFY(box->state().readOnly);
    QCOMPARE(box->text(QAccessible::Value), h.control<QLineEdit>("Text1")->text());

    // Pressing Generate through its accessible action makes a new address.
    QAccessibleInterface *generate = QAccessible::queryAccessibleInterface(h.control("Command1"));
    QCOMPARE(generate->role(), QAccessible::Button);
    const QString before = box->text(QAccessible::Value);
    generate->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(box->text(QAccessible::Value) != before);
    QCOMPARE(h.random.addressesDrawn(), 2);
}

QTEST_MAIN(Form1DesignTest)
#include "form1_design_test.moc"
