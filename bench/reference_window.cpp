// The yardstick for hexlark's start-up time and memory: a bare Qt window of
// the same fixed size with the same six controls, captions and geometry from
// the design table, and nothing else (no picture, icon, fonts, colours,
// accessibility, handlers or random source).

#include "form1_design.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QWidget>

namespace {

using hexlark::design::toPixels;

QString text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Reference"));
    window.setFixedSize(toPixels(hexlark::design::kForm1.clientWidth),
                        toPixels(hexlark::design::kForm1.clientHeight));
    for (const hexlark::design::ControlDesign &control : hexlark::design::kControls) {
        QWidget *widget = nullptr;
        switch (control.kind) {
        case hexlark::design::ControlKind::Label:
            widget = new QLabel(text(control.caption), &window);
            break;
        case hexlark::design::ControlKind::TextBox:
            widget = new QLineEdit(text(control.caption), &window);
            break;
        case hexlark::design::ControlKind::PushButton:
            widget = new QPushButton(text(control.caption), &window);
            break;
        }
        const hexlark::design::Rect &box = control.twips;
        widget->setGeometry(toPixels(box.left), toPixels(box.top), toPixels(box.width),
                            toPixels(box.height));
    }

    window.show();
    return QApplication::exec();
}
