#include "message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace hexlark {

void QtMessageBox::show(const QString &message, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

} // namespace hexlark
