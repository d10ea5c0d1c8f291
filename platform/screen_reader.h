#pragma once

#include <string>

namespace hexlark {

// What a screen reader is told beyond what has the focus. A platform that
// offers no way to tell it tells nothing; telling never fails the handler.
class ScreenReader
{
public:
    virtual ~ScreenReader() = default;
    // A new address stands in the address box, wherever the focus is.
    virtual void tellNewAddress(const std::string &address) = 0;
};

} // namespace hexlark
