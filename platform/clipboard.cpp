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
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
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
