#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

namespace hexlark {
namespace {

QClipboard *systemClipboard()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr
               ? QGuiApplication::clipboard()
               : nullptr;
}

} // namespace

bool SystemClipboard::clear()
{
    QClipboard *clipboard = systemClipboard();
    if (clipboard == nullptr) {
        return false;
    }
    clipboard->clear(QClipboard::Clipboard);
    const QMimeData *held = clipboard->mimeData(QClipboard::Clipboard);
    return held == nullptr || held->formats().isEmpty();
}

bool SystemClipboard::setText(const QString &text)
{
    QClipboard *clipboard = systemClipboard();
    if (clipboard == nullptr) {
        return false;
    }
    // A bare text/plain entry: setText() would add nothing else either, but
    // saying it here keeps rich or URL formats off the clipboard for sure.
    auto *data = new QMimeData;
    data->setText(text);
    clipboard->setMimeData(data, QClipboard::Clipboard);
    const QMimeData *held = clipboard->mimeData(QClipboard::Clipboard);
    return held != nullptr && held->hasText() && held->text() == text;
}

} // namespace hexlark
