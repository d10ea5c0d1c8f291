#include "qt_platform.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QIcon>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QString>
#include <QTimer>

namespace hexlark {
namespace {

QClipboard *systemClipboard()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr
               ? QGuiApplication::clipboard()
               : nullptr;
}

bool canShowWindows()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

} // namespace

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

std::string QtTextBox::text() const
{
    return m_box.text().toStdString();
}

bool QtTextBox::setText(const std::string &text)
{
    const QString wanted = toQString(text);
    m_box.setText(wanted);
    return m_box.text() == wanted;
}

bool QtTextBox::lock()
{
    m_box.setReadOnly(true);
    return m_box.isReadOnly();
}

bool QtClipboard::clear()
{
    QClipboard *clipboard = systemClipboard();
    if (clipboard == nullptr) {
        return false;
    }
    if (onWayland()) {
        // A Wayland compositor may keep the last text and offer it again the
        // moment it is let go of, and takes an offer of nothing badly: the
        // clipboard is cleared once it holds nothing of this program's.
        clipboard->clear(QClipboard::Clipboard);
        return !clipboard->ownsClipboard();
    }
    // Emptied by taking it over with nothing on it rather than by letting it
    // go: an ownerless clipboard is what a clipboard manager refills with its
    // own saved copy.
    clipboard->setMimeData(new QMimeData, QClipboard::Clipboard);
    const QMimeData *held = clipboard->mimeData(QClipboard::Clipboard);
    return held != nullptr && held->formats().isEmpty();
}

bool QtClipboard::setText(const std::string &text)
{
    QClipboard *clipboard = systemClipboard();
    if (clipboard == nullptr) {
        return false;
    }
    // A bare text/plain entry: setText() would add nothing else either, but
    // saying it here keeps rich or URL formats off the clipboard for sure.
    const QString wanted = toQString(text);
    auto *data = new QMimeData;
    data->setText(wanted);
    clipboard->setMimeData(data, QClipboard::Clipboard);
    const QMimeData *held = clipboard->mimeData(QClipboard::Clipboard);
    return held != nullptr && held->hasText() && held->text() == wanted;
}

void QtPause::wait(std::chrono::milliseconds span)
{
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void QtMessageBox::show(const std::string &message, const std::string &title)
{
    QMessageBox box(QMessageBox::NoIcon, toQString(title), toQString(message), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    // Desktops whose dialog buttons carry icons would put a stock one on OK.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.exec();
}

void QtErrorPath::fail(const std::string &what)
{
    endWithFailure(what, kFailureStatus, [](const std::string &line) {
        if (canShowWindows()) {
            QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(),
                            toQString(line), QMessageBox::Ok);
            box.setWindowModality(Qt::ApplicationModal);
            box.exec();
        }
    });
}

} // namespace hexlark
