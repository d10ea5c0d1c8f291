#include "accessibility.h"

#include "accessible_text_box.h"
#include "form1.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QObject>
#include <QtGlobal>
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
#include <QAccessibleAnnouncementEvent>
#endif

namespace hexlark {
namespace {

// A plain QWidget reads as a "filler" to screen readers; the program's one
// window is a window.
QAccessibleInterface *accessibleForm1(const QString &className, QObject *object)
{
    if (className == QLatin1String(Form1::staticMetaObject.className()) && object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    }
    return nullptr;
}

#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
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
#endif

} // namespace

void installAccessibleInterfaces()
{
    static const bool installed = (QAccessible::installFactory(accessibleForm1),
                                   QAccessible::installFactory(AccessibleTextBox::create), true);
    Q_UNUSED(installed);
}

void QtScreenReader::tellNewAddress(const std::string &address)
{
    if (!QAccessible::isActive()) {
        return;
    }
    const QString told = QObject::tr("New address %1").arg(QString::fromStdString(address));
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // What Qt 6.8 offers for this: an announcement, for the window.
    QAccessibleAnnouncementEvent announcement(&m_window, told);
    QAccessible::updateAccessibility(&announcement);
#else
    if (m_notice == nullptr) {
        m_notice = new QObject(&m_window);
        QAccessible::registerAccessibleInterface(new AccessibleNotice(m_notice));
    }
    m_notice->setObjectName(told);
    QAccessibleEvent shown(m_notice, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
#endif
}

} // namespace hexlark
