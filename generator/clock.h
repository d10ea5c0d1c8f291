#pragma once

#include <cstdint>

namespace hexlark {

// The time of day, as the random source folds it into its state on a reseed.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual std::uint64_t nowNanoseconds() const = 0;
};

class SystemClock final : public Clock
{
public:
    std::uint64_t nowNanoseconds() const override;
};

} // namespace hexlark
