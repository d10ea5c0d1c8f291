#include "enter_clicks_button.h"

#include <QKeyEvent>
#include <QPushButton>

namespace hexlark {

bool EnterClicksButton::eventFilter(QObject *watched, QEvent *event)
{
    auto *button = qobject_cast<QPushButton *>(watched);
    if (button != nullptr && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (enter && plain) {
            if (!key->isAutoRepeat()) {
                button->click();
            }
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace hexlark
