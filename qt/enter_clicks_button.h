#pragma once

#include <QObject>

namespace hexlark {

// Enter and keypad Enter click the push button it watches while that button
// has the focus, as Space does; the window has no default button, so Enter
// clicks nothing anywhere else.
class EnterClicksButton final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace hexlark
