// The yardstick for hexlark's start-up time and memory: a bare Qt window of
// the same fixed size with the same six controls, captions and geometry, and
// nothing else (no picture, icon, fonts, colours or random source). The
// figures are literal on purpose: it must not depend on the program's code.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QWidget>

namespace {

constexpr int kClientWidth = 273;
constexpr int kClientHeight = 163;

const QRect kMakerLabel(8, 40, 249, 17);
const QRect kWebLabel(8, 56, 249, 17);
const QRect kAddressBox(40, 82, 186, 26);
const QRect kGenerateButton(16, 120, 73, 23);
const QRect kCopyButton(88, 120, 73, 23);
const QRect kAboutButton(160, 120, 73, 23);

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Reference"));
    window.setFixedSize(kClientWidth, kClientHeight);

    auto *maker = new QLabel(QStringLiteral("Vorrel"), &window);
    maker->setGeometry(kMakerLabel);
    auto *web = new QLabel(QStringLiteral("http://www.vorrel.example.com/hexlark/"), &window);
    web->setGeometry(kWebLabel);
    auto *address = new QLineEdit(QStringLiteral("00-00-00-00-00-00"), &window);
    address->setGeometry(kAddressBox);
    auto *generate = new QPushButton(QStringLiteral("&Generate"), &window);
    generate->setGeometry(kGenerateButton);
    auto *copy = new QPushButton(QStringLiteral("&Copy"), &window);
    copy->setGeometry(kCopyButton);
    auto *about = new QPushButton(QStringLiteral("&About"), &window);
    about->setGeometry(kAboutButton);

    window.show();
    return QApplication::exec();
}
