#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

namespace hexlark::e2e {

// A private D-Bus session bus that starts no services by itself: whatever a
// test needs on it, the test starts and so also stops. Ended by its destructor.
class SessionBus
{
public:
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus &) = delete;
    SessionBus &operator=(const SessionBus &) = delete;

    bool isReady() const { return !m_address.isEmpty(); }
    QString errorString() const { return m_error; }
    QString address() const { return m_address; }
    // The environment with this bus as the session bus, and with settings,
    // caches and data in folders of the bus's own rather than the user's.
    QProcessEnvironment environment(QProcessEnvironment base) const;
    // Whether a name has an owner on the bus, asked with dbus-send.
    bool hasOwner(const QString &name) const;

private:
    QTemporaryDir m_work;
    QProcess m_daemon;
    QString m_address;
    QString m_error;
};

} // namespace hexlark::e2e
