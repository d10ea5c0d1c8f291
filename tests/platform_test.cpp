#include "clipboard.h"
#include "message_box.h"
#include "text_box.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using hexlark::QtMessageBox;
using hexlark::SystemClipboard;

namespace {

const QString kAddress = QStringLiteral("3A-07-C1-9E-42-B0");

// Puts rich content on the clipboard, as another program might have left it.
void fillClipboardWithOtherFormats()
{
    auto *data = new QMimeData;
    data->setHtml(QStringLiteral("<b>earlier</b>"));
    data->setText(QStringLiteral("earlier"));
    data->setData(QStringLiteral("application/x-other"), QByteArray("bytes"));
    QGuiApplication::clipboard()->setMimeData(data);
}

} // namespace

class PlatformTest : public QObject
{
    Q_OBJECT

private slots:
    void clearRemovesEveryFormat();
    void setTextLeavesPlainTextOnly_data();
    void setTextLeavesPlainTextOnly();
    void setTextNoticesAClipboardThatChangedUnderIt();
    void aboutBoxIsModalWithOneDefaultOkButton();
    void textBoxOperationsReadBack();
};

void PlatformTest::clearRemovesEveryFormat()
{
    fillClipboardWithOtherFormats();
    SystemClipboard clipboard;
    QVERIFY(clipboard.clear());
    const QMimeData *held = QGuiApplication::clipboard()->mimeData();
    QVERIFY(held == nullptr || held->formats().isEmpty());
}

void PlatformTest::setTextLeavesPlainTextOnly_data()
{
    QTest::addColumn<bool>("clearedFirst");
    QTest::newRow("after clear") << true;
    QTest::newRow("over other formats") << false;
}

void PlatformTest::setTextLeavesPlainTextOnly()
{
    QFETCH(bool, clearedFirst);
    fillClipboardWithOtherFormats();
    SystemClipboard clipboard;
    if (clearedFirst) {
        QVERIFY(clipboard.clear());
    }
    QVERIFY(clipboard.setText(kAddress));
    const QMimeData *held = QGuiApplication::clipboard()->mimeData();
    QVERIFY(held != nullptr);
    QCOMPARE(held->formats(), QStringList{QStringLiteral("text/plain")});
    QCOMPARE(held->text(), kAddress);
    QCOMPARE(held->data(QStringLiteral("text/plain")), kAddress.toUtf8());
}

void PlatformTest::setTextNoticesAClipboardThatChangedUnderIt()
{
    // Another owner takes the clipboard the moment the text lands on it.
    QClipboard *system = QGuiApplication::clipboard();
    const QMetaObject::Connection takeover =
        connect(system, &QClipboard::dataChanged, this, [system] {
            if (system->text() == kAddress) {
                system->setText(QStringLiteral("someone else's"));
            }
        });
    SystemClipboard clipboard;
    const bool reported = clipboard.setText(kAddress);
    disconnect(takeover);
    QVERIFY(!reported);
}

void PlatformTest::aboutBoxIsModalWithOneDefaultOkButton()
{
    QString seenTitle;
    QString seenText;
    QMessageBox::Icon seenIcon = QMessageBox::Critical;
    QStringList seenButtons;
    bool okIsDefault = false;
    Qt::WindowModality seenModality = Qt::NonModal;

    // Inspect the box while it is up, then dismiss it with Enter on its default button.
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        seenTitle = box->windowTitle();
        seenText = box->text();
        seenIcon = box->icon();
        seenModality = box->windowModality();
        for (QAbstractButton *button : box->buttons()) {
            seenButtons << button->text();
        }
        okIsDefault = box->defaultButton() == box->button(QMessageBox::Ok);
        QTest::keyClick(box, Qt::Key_Return);
    });
    QtMessageBox messages;
    messages.show(QStringLiteral("Hexlark v1.0, by Quillmoth"), QStringLiteral("About"));

    QCOMPARE(seenTitle, QStringLiteral("About"));
    QCOMPARE(seenText, QStringLiteral("Hexlark v1.0, by Quillmoth"));
    QCOMPARE(seenIcon, QMessageBox::NoIcon);
    QCOMPARE(seenModality, Qt::ApplicationModal);
    QCOMPARE(seenButtons.size(), 1);
    QVERIFY(okIsDefault);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void PlatformTest::textBoxOperationsReadBack()
{
    QLineEdit box;
    QVERIFY(hexlark::setTextBoxText(box, kAddress));
    QCOMPARE(box.text(), kAddress);
    QVERIFY(hexlark::lockTextBox(box));
    QVERIFY(box.isReadOnly());
    // Text set by the program still lands in a locked box...
    QVERIFY(hexlark::setTextBoxText(box, QStringLiteral("00-00-00-00-00-00")));
    // ...and a box that cannot hold the text says so.
    box.setMaxLength(4);
    QVERIFY(!hexlark::setTextBoxText(box, kAddress));
}

QTEST_MAIN(PlatformTest)
#include "platform_test.moc"
