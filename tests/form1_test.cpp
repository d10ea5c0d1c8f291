#include "clipboard.h"
#include "error_path.h"
#include "form1.h"
#include "form1_handlers.h"
#include "message_box.h"
#include "qt_platform.h"
#include "random_source.h"

#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QObject>
#include <QRect>
#include <QTest>
#include <QWidget>

#include <string>

using namespace hexlark;

namespace {

// An access key clicks after a short animation; a second is ample offscreen.
constexpr int kKeyDeadlineMs = 1000;

struct Fakes final : RandomSource, Clipboard, MessageBox, ErrorPath
{
    int draws = 0;
    std::string log;
    void Reseed() override {}
    double NextUniform() override { return ((draws++ % 16) + 0.5) / 16; }
    bool clear() override { return log += "clear ", true; }
    bool setText(const std::string &text) override { return log += "copy:" + text + " ", true; }
    void show(const std::string &message, const std::string &) override { log += message + " "; }
    void fail(const std::string &what) override { log += "FAIL:" + what + " "; }
};

} // namespace

// The window as designed, in pixels at 96 dpi.
class Form1Test : public QObject
{
    Q_OBJECT

private:
    Fakes m_fakes;
    QtPause m_pause;
    Form1 *m_window = nullptr;
    QLineEdit *text1() { return m_window->findChild<QLineEdit *>("Text1"); }

private slots:
    void initTestCase()
    {
        m_window = new Form1(Platform{m_fakes, m_fakes, m_pause, m_fakes, m_fakes});
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }
    void cleanupTestCase() { delete m_window; }

    void window()
    {
        QCOMPARE(m_window->windowTitle(), "Hexlark");
        QCOMPARE(m_window->size(), QSize(273, 163));
        QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
        QCOMPARE(text1()->text(), "01-23-45-67-89-AB");
        QVERIFY(text1()->isReadOnly());
        QCOMPARE(QApplication::focusWidget(), text1());
        // The face drawn: this test's fonts have no Courier New, and its stand-in
        // must be fixed-pitch too.
        const QFontInfo font(text1()->font());
        QCOMPARE(font.pointSize(), 12);
        QVERIFY(font.fixedPitch());
        QVERIFY(font.bold());
        QCOMPARE(text1()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    }

    void controls_data()
    {
        // By each control's name.
        QTest::addColumn<QRect>("rect");
        QTest::newRow("Label2") << QRect(8, 40, 249, 17);
        QTest::newRow("Label1") << QRect(8, 56, 249, 17);
        QTest::newRow("Text1") << QRect(40, 82, 186, 26);
        QTest::newRow("Command1") << QRect(16, 120, 73, 23);
        QTest::newRow("Command3") << QRect(88, 120, 73, 23);
        QTest::newRow("Command2") << QRect(160, 120, 73, 23);
    }
    void controls()
    {
        QFETCH(QRect, rect);
        QWidget *control = m_window->findChild<QWidget *>(QTest::currentDataTag());
        QVERIFY(control != nullptr);
        QCOMPARE(control->geometry(), rect);
    }

    // From the address box: access keys click their buttons and give them the
    // focus, and Enter and Escape click none; Tab goes round in the design's order.
    void keys_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<std::string>("log");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("focus");
        // The fake source's second address from Alt+G on, its third from keypad Enter on.
        const QString second = "CD-EF-01-23-45-67";
        // clang-format off
        QTest::newRow("Alt+G") << "Text1" << int(Qt::Key_G) << int(Qt::AltModifier) << std::string() << second << "Command1";
        QTest::newRow("Alt+C") << "Text1" << int(Qt::Key_C) << int(Qt::AltModifier) << std::string("clear copy:CD-EF-01-23-45-67 ") << second << "Command3";
        QTest::newRow("Alt+A") << "Text1" << int(Qt::Key_A) << int(Qt::AltModifier) << std::string("Hexlark v1.0, by Quillmoth ") << second << "Command2";
        QTest::newRow("Enter") << "Text1" << int(Qt::Key_Return) << 0 << std::string() << second << "Text1";
        QTest::newRow("keypad Enter") << "Text1" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << std::string() << second << "Text1";
        QTest::newRow("Escape") << "Text1" << int(Qt::Key_Escape) << 0 << std::string() << second << "Text1";
        QTest::newRow("Tab from the box") << "Text1" << int(Qt::Key_Tab) << 0 << std::string() << second << "Command1";
        QTest::newRow("Tab from Generate") << "Command1" << int(Qt::Key_Tab) << 0 << std::string() << second << "Command3";
        QTest::newRow("Tab from Copy") << "Command3" << int(Qt::Key_Tab) << 0 << std::string() << second << "Command2";
        QTest::newRow("Tab from About") << "Command2" << int(Qt::Key_Tab) << 0 << std::string() << second << "Text1";
        QTest::newRow("keypad Enter on Generate") << "Command1" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << std::string() << "89-AB-CD-EF-01-23" << "Command1";
        // clang-format on
    }
    void keys()
    {
        QFETCH(QString, from);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(std::string, log);
        QFETCH(QString, address);
        QFETCH(QString, focus);
        m_fakes.log.clear();
        QWidget *pressed = m_window->findChild<QWidget *>(from);
        pressed->setFocus();
        QTest::keyClick(pressed, static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
        QTRY_COMPARE_WITH_TIMEOUT(m_fakes.log, log, kKeyDeadlineMs);
        QTRY_COMPARE_WITH_TIMEOUT(text1()->text(), address, kKeyDeadlineMs);
        QTest::qWait(300);
        QCOMPARE(m_fakes.log, log);
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        QVERIFY(m_window->isVisible());
    }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
