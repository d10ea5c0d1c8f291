#pragma once

#include <exception>
#include <functional>
#include <string>

namespace hexlark {

// The status the program ends with on a failure, in every edition.
inline constexpr int kFailureStatus = 1;

// Where a failure goes. The program handles no error itself: it names the
// failure here and stops at that step. The program's own error path reports
// it in one box and ends the process; it never returns.
class ErrorPath
{
public:
    virtual ~ErrorPath() = default;
    virtual void fail(const std::string &what) = 0;
};

// The one line a failure is reported in: "hexlark: <what>".
std::string failureLine(const std::string &what);

// Writes the failure line to standard error, lets `tell` show it too (it is
// given the line), then ends the process at once with the status: no
// destructors, no handing over of the clipboard, nothing more.
[[noreturn]] void endWithFailure(const std::string &what, int status,
                                 const std::function<void(const std::string &line)> &tell = {});

// What an exception says of itself; one that says nothing, or none at all,
// is an unexpected error.
std::string describe(const std::exception_ptr &error);

// Sends an exception that nothing caught (std::terminate) to the error path,
// which ends the process with kFailureStatus.
void sendUncaughtErrorsTo(ErrorPath &errors);

} // namespace hexlark
