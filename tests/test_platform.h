#pragma once

#include "clipboard.h"
#include "error_path.h"
#include "message_box.h"

#include <QString>
#include <QStringList>

// Platform stand-ins that record what the window asks of them and can be told
// to fail.
namespace hexlark::testing {

class FakeClipboard final : public Clipboard
{
public:
    bool clear() override
    {
        m_log << QStringLiteral("clear");
        if (failClear) {
            return false;
        }
        m_text.clear();
        return true;
    }
    bool setText(const QString &text) override
    {
        m_log << QStringLiteral("set:") + text;
        if (failSet) {
            return false;
        }
        m_text = text;
        return true;
    }
    const QStringList &log() const { return m_log; }
    const QString &text() const { return m_text; }

    bool failClear = false;
    bool failSet = false;

private:
    QStringList m_log;
    QString m_text;
};

class FakeMessageBox final : public MessageBox
{
public:
    void show(const QString &message, const QString &title) override
    {
        shown << title + QStringLiteral(": ") + message;
    }
    QStringList shown;
};

// Records failures and returns, so a test can see that the handler itself
// stopped at the failing step.
class RecordingErrorPath final : public ErrorPath
{
public:
    void fail(const QString &what) override { failures << what; }
    QStringList failures;
};

} // namespace hexlark::testing
