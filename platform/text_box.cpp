#include "text_box.h"

#include <QLineEdit>

namespace hexlark {

bool setTextBoxText(QLineEdit &box, const QString &text)
{
    box.setText(text);
    return box.text() == text;
}

bool lockTextBox(QLineEdit &box)
{
    box.setReadOnly(true);
    return box.isReadOnly();
}

} // namespace hexlark
