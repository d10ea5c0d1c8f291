#pragma once

class QLineEdit;
class QString;

namespace hexlark {

// Text box operations that report whether they took effect, read back from
// the box itself.
bool setTextBoxText(QLineEdit &box, const QString &text);
bool lockTextBox(QLineEdit &box);

} // namespace hexlark
