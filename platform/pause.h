#pragma once

#include <chrono>

namespace hexlark {

// A short wait inside a handler. The toolkit keeps drawing the window
// meanwhile; input waits until the handler is done.
class Pause
{
public:
    virtual ~Pause() = default;
    virtual void wait(std::chrono::milliseconds span) = 0;
};

} // namespace hexlark
