#include "form1.h"

#include "test_platform.h"
#include "test_sources.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using hexlark::Form1;
using hexlark::testing::CountingSource;
using hexlark::testing::FakeClipboard;
using hexlark::testing::FakeMessageBox;
using hexlark::testing::RecordingErrorPath;

namespace {

const QString kDesignText = QStringLiteral("00-00-00-00-00-00");
const QString kAboutNote = QStringLiteral("About: Hexlark v1.0, by Quillmoth");

bool isAddress(const QString &text)
{
    static const QRegularExpression shape(QStringLiteral("\\A[0-9A-F]{2}(-[0-9A-F]{2}){5}\\z"));
    return shape.match(text).hasMatch();
}

// One window with recording stand-ins for everything it reaches for.
struct Harness
{
    CountingSource random;
    FakeClipboard clipboard;
    FakeMessageBox messages;
    RecordingErrorPath errors;
    Form1 window{random, clipboard, messages, errors};

    QLineEdit *text1() const { return window.findChild<QLineEdit *>(QStringLiteral("Text1")); }
    QPushButton *button(const QString &name) const { return window.findChild<QPushButton *>(name); }
    // Through the window system, as a real key press arrives, so that the
    // shortcut map sees it.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(window.windowHandle(), key, modifiers);
    }
    bool showAndActivate()
    {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
};

} // namespace

class Form1BehaviourTest : public QObject
{
    Q_OBJECT

private slots:
    void loadLocksTheBoxAndShowsAGeneratedAddress();
    void generateReplacesTheAddress_data();
    void generateReplacesTheAddress();
    void accessKeysWorkFromEveryControl_data();
    void accessKeysWorkFromEveryControl();
    void copyPutsExactlyTheShownText();
    void copyStopsAtTheFailingStep_data();
    void copyStopsAtTheFailingStep();
    void aboutShowsTheNote();
    void editingTheAddressChangesNothing_data();
    void editingTheAddressChangesNothing();
    void selectAndCopyFromTheBoxWorks();
    void enterAndEscapeInTheBoxRunNoHandler_data();
    void enterAndEscapeInTheBoxRunNoHandler();
};

void Form1BehaviourTest::loadLocksTheBoxAndShowsAGeneratedAddress()
{
    Harness h;
    // Before the window is ever shown, the design text is gone.
    QVERIFY(!h.window.isVisible());
    QVERIFY(h.text1()->isReadOnly());
    QVERIFY2(isAddress(h.text1()->text()), qPrintable(h.text1()->text()));
    QVERIFY(h.text1()->text() != kDesignText);
    QCOMPARE(h.random.addressesDrawn(), 1);
    QVERIFY(h.clipboard.log().isEmpty());
    QVERIFY(h.errors.failures.isEmpty());

    QVERIFY(h.showAndActivate());
    QCOMPARE(QApplication::focusWidget(), h.text1());
}

void Form1BehaviourTest::generateReplacesTheAddress_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("mouse click") << QStringLiteral("mouse");
    QTest::newRow("space on the focused button") << QStringLiteral("space");
    QTest::newRow("Alt+G from the address box") << QStringLiteral("alt");
}

void Form1BehaviourTest::generateReplacesTheAddress()
{
    QFETCH(QString, how);
    Harness h;
    QVERIFY(h.showAndActivate());
    QPushButton *generate = h.button(QStringLiteral("Command1"));

    QStringList shown{h.text1()->text()};
    for (int press = 1; press <= 5; ++press) {
        if (how == QLatin1String("mouse")) {
            QTest::mouseClick(generate, Qt::LeftButton);
        } else if (how == QLatin1String("space")) {
            generate->setFocus();
            QTest::keyClick(generate, Qt::Key_Space);
        } else {
            h.text1()->setFocus();
            h.press(Qt::Key_G, Qt::AltModifier);
        }
        // An access key "animates" the button first and clicks a moment later.
        QTRY_COMPARE(h.random.addressesDrawn(), 1 + press);
        const QString now = h.text1()->text();
        QVERIFY2(isAddress(now), qPrintable(now));
        QVERIFY2(!shown.contains(now), qPrintable(now));
        shown << now;
    }
    QVERIFY(h.clipboard.log().isEmpty());
    QVERIFY(h.messages.shown.isEmpty());
}

void Form1BehaviourTest::accessKeysWorkFromEveryControl_data()
{
    QTest::addColumn<QString>("focus");
    QTest::newRow("from Text1") << QStringLiteral("Text1");
    QTest::newRow("from Generate") << QStringLiteral("Command1");
    QTest::newRow("from Copy") << QStringLiteral("Command3");
    QTest::newRow("from About") << QStringLiteral("Command2");
}

void Form1BehaviourTest::accessKeysWorkFromEveryControl()
{
    QFETCH(QString, focus);
    Harness h;
    QVERIFY(h.showAndActivate());
    QWidget *focused = h.window.findChild<QWidget *>(focus);
    focused->setFocus();
    QCOMPARE(QApplication::focusWidget(), focused);

    // An access key "animates" the button first and clicks a moment later.
    h.press(Qt::Key_G, Qt::AltModifier);
    QTRY_COMPARE(h.random.addressesDrawn(), 2);

    h.press(Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(h.clipboard.text(), h.text1()->text());

    h.press(Qt::Key_A, Qt::AltModifier);
    QTRY_COMPARE(h.messages.shown, QStringList{kAboutNote});

    // Only the pressed key's handler ran each time.
    QCOMPARE(h.random.addressesDrawn(), 2);
    QCOMPARE(h.clipboard.log().size(), 2);
    QVERIFY(h.errors.failures.isEmpty());
}

void Form1BehaviourTest::copyPutsExactlyTheShownText()
{
    Harness h;
    QVERIFY(h.showAndActivate());
    QPushButton *copy = h.button(QStringLiteral("Command3"));
    const QString shown = h.text1()->text();

    QTest::mouseClick(copy, Qt::LeftButton);
    QTest::mouseClick(copy, Qt::LeftButton);
    // Twice the same two steps, clear first, and no new address in between.
    const QStringList expected{QStringLiteral("clear"), QStringLiteral("set:") + shown,
                               QStringLiteral("clear"), QStringLiteral("set:") + shown};
    QCOMPARE(h.clipboard.log(), expected);
    QCOMPARE(h.clipboard.text().size(), 17);
    QCOMPARE(h.text1()->text(), shown);
    QCOMPARE(h.random.addressesDrawn(), 1);

    // After a new address, Copy takes the new one.
    QTest::mouseClick(h.button(QStringLiteral("Command1")), Qt::LeftButton);
    QTest::mouseClick(copy, Qt::LeftButton);
    QCOMPARE(h.clipboard.text(), h.text1()->text());
    QVERIFY(h.clipboard.text() != shown);
}

void Form1BehaviourTest::copyStopsAtTheFailingStep_data()
{
    QTest::addColumn<bool>("failClear");
    QTest::addColumn<bool>("failSet");
    QTest::addColumn<QStringList>("expectedLog");
    QTest::addColumn<QString>("expectedFailure");
    QTest::newRow("clear fails") << true << false << QStringList{QStringLiteral("clear")}
                                 << QStringLiteral("cannot clear the clipboard");
    QTest::newRow("set fails") << false << true
                               << QStringList{QStringLiteral("clear"), QStringLiteral("set:")}
                               << QStringLiteral("cannot put the address on the clipboard");
}

void Form1BehaviourTest::copyStopsAtTheFailingStep()
{
    QFETCH(bool, failClear);
    QFETCH(bool, failSet);
    QFETCH(QStringList, expectedLog);
    QFETCH(QString, expectedFailure);
    Harness h;
    h.clipboard.failClear = failClear;
    h.clipboard.failSet = failSet;
    QVERIFY(h.showAndActivate());

    QTest::mouseClick(h.button(QStringLiteral("Command3")), Qt::LeftButton);
    QStringList log = h.clipboard.log();
    if (log.size() > 1) {
        QCOMPARE(log[1], QStringLiteral("set:") + h.text1()->text());
        log[1] = QStringLiteral("set:");
    }
    QCOMPARE(log, expectedLog);
    QCOMPARE(h.errors.failures, QStringList{expectedFailure});
}

void Form1BehaviourTest::aboutShowsTheNote()
{
    Harness h;
    QVERIFY(h.showAndActivate());
    const QString before = h.text1()->text();
    QTest::mouseClick(h.button(QStringLiteral("Command2")), Qt::LeftButton);
    QCOMPARE(h.messages.shown, QStringList{kAboutNote});
    QCOMPARE(h.text1()->text(), before);
    QVERIFY(h.clipboard.log().isEmpty());
}

void Form1BehaviourTest::editingTheAddressChangesNothing_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("typed");
    QTest::newRow("typing") << QKeySequence() << QStringLiteral("abc 12");
    QTest::newRow("backspace") << QKeySequence(Qt::Key_Backspace) << QString();
    QTest::newRow("delete") << QKeySequence(Qt::Key_Delete) << QString();
    QTest::newRow("paste") << QKeySequence(QKeySequence::Paste) << QString();
    QTest::newRow("cut") << QKeySequence(QKeySequence::Cut) << QString();
    QTest::newRow("undo") << QKeySequence(QKeySequence::Undo) << QString();
}

void Form1BehaviourTest::editingTheAddressChangesNothing()
{
    QFETCH(QKeySequence, keys);
    QFETCH(QString, typed);
    Harness h;
    QVERIFY(h.showAndActivate());
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted text"));
    const QString before = h.text1()->text();
    QLineEdit *box = h.text1();
    box->setFocus();

    for (const bool selectAll : {false, true}) {
        box->setCursorPosition(8);
        if (selectAll) {
            box->selectAll();
        }
        if (!typed.isEmpty()) {
            QTest::keyClicks(box, typed);
        } else {
            QTest::keySequence(box, keys);
        }
        QCOMPARE(box->text(), before);
    }
    QCOMPARE(h.random.addressesDrawn(), 1);
}

void Form1BehaviourTest::selectAndCopyFromTheBoxWorks()
{
    Harness h;
    QVERIFY(h.showAndActivate());
    QGuiApplication::clipboard()->clear();
    QLineEdit *box = h.text1();
    box->setFocus();
    box->selectAll();
    QTest::keySequence(box, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), box->text());

    // Keyboard selection of part of the text works in the locked box too.
    box->setCursorPosition(0);
    QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(box->selectedText(), box->text().left(2));
}

void Form1BehaviourTest::enterAndEscapeInTheBoxRunNoHandler_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void Form1BehaviourTest::enterAndEscapeInTheBoxRunNoHandler()
{
    QFETCH(int, key);
    Harness h;
    QVERIFY(h.showAndActivate());
    h.text1()->setFocus();
    QList<QSignalSpy *> spies;
    for (QPushButton *button : h.window.findChildren<QPushButton *>()) {
        QVERIFY(!button->isDefault());
        QVERIFY(!button->autoDefault());
        spies << new QSignalSpy(button, &QPushButton::clicked);
    }

    h.press(static_cast<Qt::Key>(key));
    QCOMPARE(QApplication::focusWidget(), h.text1());
    // Long enough for an access key's delayed click to have landed.
    QTest::qWait(300);

    for (QSignalSpy *spy : spies) {
        QCOMPARE(spy->count(), 0);
    }
    qDeleteAll(spies);
    QVERIFY(h.window.isVisible());
    QCOMPARE(h.random.addressesDrawn(), 1);
    QVERIFY(h.clipboard.log().isEmpty());
    QVERIFY(h.messages.shown.isEmpty());
}

QTEST_MAIN(Form1BehaviourTest)
#include "form1_behaviour_test.moc"
