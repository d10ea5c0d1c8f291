#include "form1.h"

#include "form1_design.h"
#include "form1_handlers.h"
#include "qt_platform.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <vector>

namespace hexlark {
namespace {

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QColor toQColor(design::ColourValue value)
{
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

QRect toPixelRect(const design::Rect &twips)
{
    return QRect(design::toPixels(twips.left), design::toPixels(twips.top),
                 design::toPixels(twips.width), design::toPixels(twips.height));
}

QSize pictureSize()
{
    return QSize(design::toPixels(design::kForm1.pictureWidth),
                 design::toPixels(design::kForm1.pictureHeight));
}

// The heading at the screen's resolution: the @2x drawing wherever a pixel
// has more than one device pixel, so it stays sharp.
QPixmap picture(qreal devicePixelRatio)
{
    const bool sharp = devicePixelRatio > 1.0;
    const QString path = toQString(sharp ? design::kForm1.picture2x : design::kForm1.picture);
    QPixmap pixmap;
    if (!QPixmapCache::find(path, &pixmap)) {
        pixmap.load(path);
        QPixmapCache::insert(path, pixmap);
    }
    return pixmap;
}

QIcon programIcon()
{
    QIcon icon;
    for (const int size : design::kForm1.iconSizes) {
        icon.addFile(toQString(design::kForm1.iconImages).arg(size), QSize(size, size));
    }
    return icon;
}

void applyDesign(QWidget &widget, const design::ControlDesign &control)
{
    widget.setObjectName(toQString(control.name));
    widget.setGeometry(toPixelRect(control.twips));
    widget.setAccessibleName(toQString(control.accessibleName));
    widget.setAccessibleDescription(toQString(control.accessibleDescription));
    if (control.font) {
        QFont font(toQString(control.font->family), control.font->points,
                   control.font->bold ? QFont::Bold : QFont::Normal);
        widget.setFont(font);
    }
    if (control.textColour) {
        QPalette palette = widget.palette();
        palette.setColor(QPalette::WindowText, toQColor(*control.textColour));
        widget.setPalette(palette);
    }
    if (control.transparentBackground) {
        widget.setAutoFillBackground(false);
    }
}

Qt::Alignment toQtAlignment(design::Alignment alignment)
{
    switch (alignment) {
    case design::Alignment::Centred:
        break;
    }
    return Qt::AlignHCenter | Qt::AlignVCenter;
}

// A plain QWidget reads as a "filler" to screen readers; the program's one
// window is a window.
QAccessibleInterface *accessibleForm1(const QString &className, QObject *object)
{
    if (className == QLatin1String(Form1::staticMetaObject.className()) && object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    }
    return nullptr;
}

} // namespace

Form1::Form1(RandomSource &random, Clipboard &clipboard, MessageBox &messages, ErrorPath &errors,
             QWidget *parent)
    : QWidget(parent)
{
    static const bool accessibleAsWindow = (QAccessible::installFactory(accessibleForm1), true);
    Q_UNUSED(accessibleAsWindow);
    buildFromDesign();
    m_text1Box = std::make_unique<QtTextBox>(*m_text1);
    m_handlers = std::make_unique<Form1Handlers>(random, *m_text1Box, clipboard, messages, errors);
    connect(m_command1, &QPushButton::clicked, this, [this] { m_handlers->command1Click(); });
    connect(m_command2, &QPushButton::clicked, this, [this] { m_handlers->command2Click(); });
    connect(m_command3, &QPushButton::clicked, this, [this] { m_handlers->command3Click(); });
    m_handlers->load();
}

Form1::~Form1() = default;

void Form1::buildFromDesign()
{
    setObjectName(toQString(design::kForm1.name));
    setWindowTitle(toQString(design::kForm1.title));
    setWindowIcon(programIcon());
    setFixedSize(design::toPixels(design::kForm1.clientWidth),
                 design::toPixels(design::kForm1.clientHeight));
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);

    std::vector<std::pair<int, QWidget *>> focusChain;
    for (const design::ControlDesign &control : design::kControls) {
        const QString caption = toQString(control.caption);
        const Qt::Alignment alignment = toQtAlignment(control.alignment);
        QWidget *widget = nullptr;
        switch (control.kind) {
        case design::ControlKind::Label: {
            auto *label = new QLabel(caption, this);
            label->setAlignment(alignment);
            label->setFocusPolicy(Qt::NoFocus);
            widget = label;
            break;
        }
        case design::ControlKind::TextBox: {
            auto *box = new QLineEdit(caption, this);
            box->setAlignment(alignment);
            widget = box;
            break;
        }
        case design::ControlKind::PushButton: {
            auto *button = new QPushButton(caption, this);
            // Enter and Escape belong to no button.
            button->setAutoDefault(false);
            button->setDefault(false);
            widget = button;
            break;
        }
        }
        applyDesign(*widget, control);
        if (widget->focusPolicy() != Qt::NoFocus) {
            focusChain.emplace_back(control.tabIndex, widget);
        }
    }

    std::ranges::sort(focusChain, {}, &std::pair<int, QWidget *>::first);
    for (std::size_t i = 1; i < focusChain.size(); ++i) {
        QWidget::setTabOrder(focusChain[i - 1].second, focusChain[i].second);
    }
    focusChain.front().second->setFocus();

    m_text1 = findChild<QLineEdit *>(QStringLiteral("Text1"));
    m_command1 = findChild<QPushButton *>(QStringLiteral("Command1"));
    m_command2 = findChild<QPushButton *>(QStringLiteral("Command2"));
    m_command3 = findChild<QPushButton *>(QStringLiteral("Command3"));

    if (QScreen *where = screen()) {
        move(where->availableGeometry().center() - rect().center());
    }
}

void Form1::paintEvent(QPaintEvent * /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), toQColor(design::kForm1.background));
    // The picture keeps its own pixel size, whatever resolution its file records.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRect(QPoint(0, 0), pictureSize()), picture(devicePixelRatioF()));
}

} // namespace hexlark
