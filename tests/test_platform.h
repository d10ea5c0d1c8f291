#pragma once

#include "clipboard.h"
#include "error_path.h"
#include "message_box.h"
#include "text_box.h"

#include <functional>
#include <string>
#include <vector>

// Platform stand-ins that record what the handlers ask of them and can be
// told to fail.
namespace hexlark::testing {

class FakeTextBox final : public TextBox
{
public:
    std::string text() const override { return m_text; }
    bool setText(const std::string &text) override
    {
        if (!failSet) {
            m_text = text;
        }
        return !failSet;
    }
    bool lock() override
    {
        locked = !failLock;
        return locked;
    }

    bool failSet = false;
    bool failLock = false;
    bool locked = false;

private:
    std::string m_text = "00-00-00-00-00-00";
};

class FakeClipboard final : public Clipboard
{
public:
    bool clear() override
    {
        log.push_back("clear");
        return !failClear;
    }
    bool setText(const std::string &text) override
    {
        log.push_back("set:" + text);
        return !failSet;
    }

    bool failClear = false;
    bool failSet = false;
    std::vector<std::string> log;
};

// Records each box; whileShown runs while the box is up, as a click that
// arrives then would.
class FakeMessageBox final : public MessageBox
{
public:
    void show(const std::string &message, const std::string &title) override
    {
        shown.push_back(title + ": " + message);
        if (whileShown) {
            whileShown();
        }
    }

    std::vector<std::string> shown;
    std::function<void()> whileShown;
};

// Records failures and returns, so a test can see that the handler itself
// stopped at the failing step.
class RecordingErrorPath final : public ErrorPath
{
public:
    void fail(const std::string &what) override { failures.push_back(what); }
    std::vector<std::string> failures;
};

} // namespace hexlark::testing
