#pragma once

class QString;

namespace hexlark {

// Where a failing platform operation goes. The program handles no error
// itself: it names the failure here and stops the handler at that step.
class ErrorPath
{
public:
    virtual ~ErrorPath() = default;
    virtual void fail(const QString &what) = 0;
};

// Writes "hexlark: <what>" to stderr, shows the same line in one message box
// when a window can be shown, and ends the process with a non-zero status at
// once: no destructors, no handing over of the clipboard, nothing more.
class FatalErrorPath final : public ErrorPath
{
public:
    [[noreturn]] void fail(const QString &what) override;
};

// Sends exceptions that nothing caught, and std::terminate, to the error path.
void installUncaughtErrorHandler(ErrorPath &errors);

// Turns the toolkit's own fatal errors (no usable display, for one) into a
// line on stderr and a failure status, where Qt would abort and dump core.
// Installed before the application object, whose start-up they come from.
void installToolkitFatalHandler();

} // namespace hexlark
