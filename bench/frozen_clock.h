#pragma once

#include "clock.h"

#include <cstdint>

namespace hexlark::bench {

// A clock that never moves, so a reseed folds in the same reading every time:
// it takes the clock's cost out of a benchmark, and the clock's input out of a
// randomness stream, leaving the generator's own mixing to be measured.
class FrozenClock final : public Clock
{
public:
    static constexpr std::uint64_t kReading = 1'700'000'000'000'000'000;

    std::uint64_t nowNanoseconds() const override { return kReading; }
};

} // namespace hexlark::bench
