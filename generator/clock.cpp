#include "clock.h"

#include <chrono>

namespace hexlark {

std::uint64_t SystemClock::nowNanoseconds() const
{
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count());
}

} // namespace hexlark
