#include "form1.h"

#include "accessibility.h"
#include "enter_clicks_button.h"
#include "fixed_size.h"
#include "form1_design.h"
#include "form1_handlers.h"
#include "qt_platform.h"
#include "window_placement.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QPointF>
#include <QPushButton>
#include <QScreen>

#include <array>
#include <optional>
#include <vector>

namespace hexlark {
namespace {

// The artwork as this program's resources carry it (qt/CMakeLists.txt).
constexpr const char *kHeading = ":/hexlark/heading.png";
constexpr const char *kHeading2x = ":/hexlark/heading@2x.png";
constexpr const char *kIconImages = ":/hexlark/icons/hexlark-%1.png";
constexpr std::array kIconSizes{16, 24, 32, 48, 64};
// The labels' and buttons' font: Qt's default follows the desktop's, which
// the fixed layout would not hold.
constexpr design::FontDesign kControlFont{.family = "DejaVu Sans", .points = 8};
// Every text stands centred in its control; a label's is drawn straight
// onto what lies behind it, as QLabel draws without a background of its own.
constexpr Qt::Alignment kCentred = Qt::AlignHCenter | Qt::AlignVCenter;

QColor toQColor(design::ColourValue value)
{
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

QRect toPixelRect(const design::Rect &twips, int dpi)
{
    return QRect(design::toPixels(twips.left, dpi), design::toPixels(twips.top, dpi),
                 design::toPixels(twips.width, dpi), design::toPixels(twips.height, dpi));
}

QSize pictureSize(int dpi)
{
    return QSize(design::toPixels(design::kForm1.pictureWidth, dpi),
                 design::toPixels(design::kForm1.pictureHeight, dpi));
}

QSize clientSize(int dpi)
{
    return QSize(design::toPixels(design::kForm1.clientWidth, dpi),
                 design::toPixels(design::kForm1.clientHeight, dpi));
}

// The screen's resolution as the fonts see it. Where Qt scales the whole
// window it is 96 and a pixel has more than one device pixel; where its
// scaling is off, it is the desktop's own setting and the layout follows it.
int primaryScreenDpi()
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    return primary != nullptr ? qRound(primary->logicalDotsPerInchY()) : design::kDesignDpi;
}

// The screen's work area (less the desktop's panels), in the window's pixels.
// Where Qt scales, its size is in them, but Qt 6.11 gives its offset from the
// screen's corner in device pixels: an area reaching past its screen (more than
// rounding does) has its offset scaled too.
QRect workArea(const QScreen &screen)
{
    const QRect whole = screen.geometry();
    QRect area = screen.availableGeometry();
    if (!whole.adjusted(0, 0, 1, 1).contains(area)) {
        const QPointF offset =
            QPointF(area.topLeft() - whole.topLeft()) / screen.devicePixelRatio();
        area.moveTopLeft(whole.topLeft() + offset.toPoint());
    }
    return area;
}

// The heading at the screen's resolution: the @2x drawing wherever it is
// drawn larger than its own pixels, so it stays sharp.
QPixmap picture(qreal devicePixelsPerDesignPixel)
{
    const QString path = QLatin1String(devicePixelsPerDesignPixel > 1.0 ? kHeading2x : kHeading);
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
    for (const int size : kIconSizes) {
        icon.addFile(QString::fromLatin1(kIconImages).arg(size), QSize(size, size));
    }
    return icon;
}

void applyDesign(QWidget &widget, const design::ControlDesign &control, int dpi)
{
    widget.setObjectName(toQString(control.name));
    widget.setGeometry(toPixelRect(control.twips, dpi));
    widget.setAccessibleName(toQString(control.accessibleName));
    widget.setAccessibleDescription(toQString(control.accessibleDescription));
    // The layout is fixed: a desktop's larger font would cut the texts off.
    const design::FontDesign &font = control.font.value_or(kControlFont);
    QFont qfont(toQString(font.family), font.points, font.bold ? QFont::Bold : QFont::Normal);
    if (font.fixedPitch) {
        qfont.setStyleHint(QFont::TypeWriter);
        qfont.setFixedPitch(true);
    }
    widget.setFont(qfont);
    if (control.textColour) {
        // The text's colour, whichever role this kind of control draws it in.
        QPalette palette = widget.palette();
        for (const QPalette::ColorRole role :
             {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
            palette.setColor(role, toQColor(*control.textColour));
        }
        widget.setPalette(palette);
    }
}

QLabel *makeLabel(const QString &caption, QWidget &parent)
{
    auto *label = new QLabel(caption, &parent);
    label->setAlignment(kCentred);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

// Enter and Escape belong to no button; Enter clicks the one that has the focus.
QPushButton *makeButton(const QString &caption, QWidget &parent, EnterClicksButton &enterClicks)
{
    auto *button = new QPushButton(caption, &parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->installEventFilter(&enterClicks);
    return button;
}

// Tab goes round the controls that take the focus in the order given; the
// first has it to begin with.
void chainFocus(const std::vector<QWidget *> &focusChain)
{
    for (std::size_t i = 1; i < focusChain.size(); ++i) {
        QWidget::setTabOrder(focusChain[i - 1], focusChain[i]);
    }
    focusChain.front()->setFocus();
}

} // namespace

Form1::Form1(const Platform &platform, QWidget *parent) : QWidget(parent)
{
    installAccessibleInterfaces();
    buildFromDesign();
    // The platform's parts made of this window's own controls.
    m_text1Box = std::make_unique<QtTextBox>(*m_text1);
    m_reader = std::make_unique<QtScreenReader>(*this);
    m_handlers = std::make_unique<Form1Handlers>(platform, *m_text1Box, *m_reader);
    m_handlers->load();
}

Form1::~Form1() = default;

void Form1::buildFromDesign()
{
    designWindow();
    auto *enterClicks = new EnterClicksButton(this);
    std::vector<QWidget *> focusChain;
    for (const design::ControlDesign *control : design::controlsInTabOrder()) {
        QWidget *widget = createControl(*control, *enterClicks);
        applyDesign(*widget, *control, m_dpi);
        if (widget->focusPolicy() != Qt::NoFocus) {
            focusChain.push_back(widget);
        }
    }
    chainFocus(focusChain);
    centreOnScreen();
}

void Form1::designWindow()
{
    setObjectName(toQString(design::kForm1.name));
    setWindowTitle(toQString(design::kForm1.title));
    setWindowIcon(programIcon());
    m_dpi = primaryScreenDpi();
    new FixedSize(*this, clientSize(m_dpi));
    // Named one by one, or Qt adds the ones it offers by default, maximize
    // among them, which a window of fixed size has no use for.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
}

QWidget *Form1::createControl(const design::ControlDesign &control, EnterClicksButton &enterClicks)
{
    const QString caption = toQString(control.caption);
    switch (control.kind) {
    case design::ControlKind::Label:
        return makeLabel(caption, *this);
    case design::ControlKind::TextBox:
        m_text1 = new QLineEdit(caption, this);
        m_text1->setAlignment(kCentred);
        return m_text1;
    case design::ControlKind::PushButton: {
        QPushButton *button = makeButton(caption, *this, enterClicks);
        connect(button, &QPushButton::clicked, this, [this, button, name = control.name] {
            // Clicked by its access key too, a button takes the focus, as
            // a mouse click gives it: a screen reader then says where it is.
            button->setFocus(Qt::ShortcutFocusReason);
            m_handlers->click(name);
        });
        return button;
    }
    }
    return nullptr;
}

// The frame is unknown until a window manager has drawn it: the window is
// placed by its client area first, then as a whole once the frame is known.
// The screen is the primary one, wherever the window would open by default.
void Form1::centreOnScreen()
{
    std::vector<Monitor> monitors;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect area = workArea(*screen);
        monitors.push_back({{area.x(), area.y(), area.width(), area.height()},
                            screen == QGuiApplication::primaryScreen()});
    }
    const QRect frame = frameGeometry();
    const ScreenPoint at = framePosition(monitors, frame.width(), frame.height());
    move(at.left, at.top);
}

void Form1::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (!m_centredWithFrame && isVisible() && frameGeometry() != geometry()) {
        m_centredWithFrame = true;
        centreOnScreen();
    }
}

void Form1::paintEvent(QPaintEvent * /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), toQColor(design::kForm1.background));
    // The picture keeps its own pixel size, whatever resolution its file records.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRect(QPoint(0, 0), pictureSize(m_dpi)),
                       picture(devicePixelRatioF() * m_dpi / design::kDesignDpi));
}

} // namespace hexlark

// Compiled with the window rather than in a file of its own, which would
// parse Qt's headers once more.
#include "moc_form1.cpp"
