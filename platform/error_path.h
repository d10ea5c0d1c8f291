#pragma once

#include <string>

namespace hexlark {

// Where a failure goes. The program handles no error itself: it names the
// failure here and stops at that step. The program's own error path reports
// it in one box and ends the process; it never returns.
class ErrorPath
{
public:
    virtual ~ErrorPath() = default;
    virtual void fail(const std::string &what) = 0;
};

} // namespace hexlark
