#include "form1.h"

#include "accessible_text_box.h"
#include "form1_design.h"
#include "form1_handlers.h"
#include "qt_platform.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

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

// The screen's resolution as the fonts see it. Where Qt scales the whole
// window it is 96 and a pixel has more than one device pixel; where its
// scaling is off, it is the desktop's own setting and the layout follows it.
int primaryScreenDpi()
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    return primary != nullptr ? qRound(primary->logicalDotsPerInchY()) : design::kDesignDpi;
}

// The heading at the screen's resolution: the @2x drawing wherever it is
// drawn larger than its own pixels, so it stays sharp.
QPixmap picture(qreal devicePixelsPerDesignPixel)
{
    const bool sharp = devicePixelsPerDesignPixel > 1.0;
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

void applyDesign(QWidget &widget, const design::ControlDesign &control, int dpi)
{
    widget.setObjectName(toQString(control.name));
    widget.setGeometry(toPixelRect(control.twips, dpi));
    widget.setAccessibleName(toQString(control.accessibleName));
    widget.setAccessibleDescription(toQString(control.accessibleDescription));
    // The layout is fixed: a desktop's larger font would cut the texts off.
    const std::optional<design::FontDesign> &font =
        control.font ? control.font : design::kForm1.controlFont;
    if (font) {
        QFont qfont(toQString(font->family), font->points,
                    font->bold ? QFont::Bold : QFont::Normal);
        if (font->fixedPitch) {
            qfont.setStyleHint(QFont::TypeWriter);
            qfont.setFixedPitch(true);
        }
        widget.setFont(qfont);
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

// A spoken notice with no widget of its own: what Orca reads out when it
// shows, wherever the focus is.
class AccessibleNotice : public QAccessibleObject
{
public:
    using QAccessibleObject::QAccessibleObject;

    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(object()->parent());
    }
    QAccessibleInterface *child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface * /*child*/) const override { return -1; }
    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name ? object()->objectName() : QString();
    }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override { return {}; }
};

} // namespace

Form1::Form1(RandomSource &random, Clipboard &clipboard, MessageBox &messages, ErrorPath &errors,
             QWidget *parent)
    : QWidget(parent)
{
    static const bool accessibleFactories =
        (QAccessible::installFactory(accessibleForm1),
         QAccessible::installFactory(AccessibleTextBox::create), true);
    Q_UNUSED(accessibleFactories);
    buildFromDesign();
    m_text1Box = std::make_unique<QtTextBox>(*m_text1);
    m_handlers = std::make_unique<Form1Handlers>(random, *m_text1Box, clipboard, messages, errors);
    for (const auto &[button, handler] : {std::pair{m_command1, &Form1Handlers::command1Click},
                                          std::pair{m_command2, &Form1Handlers::command2Click},
                                          std::pair{m_command3, &Form1Handlers::command3Click}}) {
        connect(button, &QPushButton::clicked, this, [this, button, handler] {
            // Clicked by its access key too, a button takes the focus, as a
            // mouse click gives it: a screen reader then says where it is.
            button->setFocus(Qt::ShortcutFocusReason);
            const QString before = m_text1->text();
            (m_handlers.get()->*handler)();
            // A click dropped while another handler ran made nothing new to tell.
            if (m_text1->text() != before) {
                tellNewAddress();
            }
        });
    }
    m_handlers->load();
}

Form1::~Form1() = default;

void Form1::buildFromDesign()
{
    setObjectName(toQString(design::kForm1.name));
    setWindowTitle(toQString(design::kForm1.title));
    setWindowIcon(programIcon());
    m_dpi = primaryScreenDpi();
    setFixedSize(clientSize());
    // Named one by one, or Qt adds the ones it offers by default, maximize
    // among them, which a window of fixed size has no use for.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

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
            // Enter and Escape belong to no button; Enter clicks the one
            // that has the focus (eventFilter).
            button->setAutoDefault(false);
            button->setDefault(false);
            button->installEventFilter(this);
            widget = button;
            break;
        }
        }
        applyDesign(*widget, control, m_dpi);
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

    centreOnScreen();
}

// The frame is unknown until a window manager has drawn it: the window is
// centred by its client area first, then as a whole once the frame is known.
// The screen is the primary one, wherever the window would open by default.
void Form1::centreOnScreen()
{
    if (const QScreen *where = QGuiApplication::primaryScreen()) {
        QRect whole = frameGeometry();
        whole.moveCenter(where->availableGeometry().center());
        move(whole.topLeft());
    }
}

void Form1::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (!m_centredWithFrame && isVisible() && frameGeometry() != geometry()) {
        m_centredWithFrame = true;
        centreOnScreen();
    }
}

QSize Form1::clientSize() const
{
    return QSize(design::toPixels(design::kForm1.clientWidth, m_dpi),
                 design::toPixels(design::kForm1.clientHeight, m_dpi));
}

void Form1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    connect(windowHandle(), &QWindow::windowStateChanged, this, &Form1::allowMaximizedSize,
            Qt::UniqueConnection);
}

// Qt 6.4's own title bar on Wayland offers to maximize even a window of fixed
// size, and the compositor then drops a program whose next frame has any size
// but the one it gave. The window takes that size until it is back to normal,
// at once, and to its own size.
void Form1::allowMaximizedSize(Qt::WindowState state)
{
    if (state == Qt::WindowMaximized) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
}

void Form1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) {
        return;
    }
    if (isMaximized()) {
        // Once a frame of the given size is shown (paintEvent).
        m_leaveMaximized = true;
        update();
    } else {
        setFixedSize(clientSize());
    }
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
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
    return QWidget::eventFilter(watched, event);
}

// After a click the focus is on the button, and a screen reader does not speak
// a change to a box it is not in; Qt 6.4 has no announcements: every new
// address reaches the reader as a notice shown to it alone.
void Form1::tellNewAddress()
{
    if (!QAccessible::isActive()) {
        return;
    }
    if (m_notice == nullptr) {
        m_notice = new QObject(this);
        QAccessible::registerAccessibleInterface(new AccessibleNotice(m_notice));
    }
    m_notice->setObjectName(tr("New address %1").arg(m_text1->text()));
    QAccessibleEvent shown(m_notice, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

void Form1::paintEvent(QPaintEvent * /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), toQColor(design::kForm1.background));
    // The picture keeps its own pixel size, whatever resolution its file records.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRect(QPoint(0, 0), pictureSize(m_dpi)),
                       picture(devicePixelRatioF() * m_dpi / design::kDesignDpi));
    if (m_leaveMaximized) {
        m_leaveMaximized = false;
        // Asked of the window system, which answers with the size to take:
        // the widget's own setWindowState() would take it at once.
        QMetaObject::invokeMethod(
            this,
            [this] {
                windowHandle()->setWindowStates(windowHandle()->windowStates() &
                                                ~Qt::WindowMaximized);
            },
            Qt::QueuedConnection);
    }
}

} // namespace hexlark
