#pragma once

#include "clock.h"
#include "random_source.h"

#include <cstdint>
#include <cstring>
#include <vector>

// Deterministic stand-ins for the clock and the random source.
namespace hexlark::testing {

// A clock that reads whatever the test sets, by default a fixed instant.
class FrozenClock final : public Clock
{
public:
    explicit FrozenClock(std::uint64_t reading = 1'700'000'000'000'000'000) : m_reading(reading) {}
    std::uint64_t nowNanoseconds() const override { return m_reading; }
    void set(std::uint64_t reading) { m_reading = reading; }

private:
    std::uint64_t m_reading = 0;
};

// A fixed seed made from one number, so each test row can pick its own.
inline ChaChaKey seedFrom(std::uint64_t value)
{
    ChaChaKey key{};
    std::memcpy(key.data(), &value, sizeof value);
    return key;
}

// Plays back a script of uniforms and records what was asked of it:
// 'R' for a reseed, 'U' for a draw.
class ScriptedSource final : public RandomSource
{
public:
    explicit ScriptedSource(std::vector<double> script) : m_script(std::move(script)) {}
    void Reseed() override { m_calls.push_back('R'); }
    double NextUniform() override
    {
        m_calls.push_back('U');
        const double value = m_script[m_next % m_script.size()];
        ++m_next;
        return value;
    }
    const std::vector<char> &calls() const { return m_calls; }

private:
    std::vector<double> m_script;
    std::size_t m_next = 0;
    std::vector<char> m_calls;
};

// The real source on a frozen clock, counting the addresses drawn from it
// (the generator reseeds six times per address).
class CountingSource final : public RandomSource
{
public:
    explicit CountingSource(std::uint64_t seed = 1) : m_source(seedFrom(seed), m_clock) {}
    void Reseed() override
    {
        ++m_reseeds;
        m_source.Reseed();
    }
    double NextUniform() override { return m_source.NextUniform(); }
    int addressesDrawn() const { return m_reseeds / kReseedsPerAddress; }

private:
    static constexpr int kReseedsPerAddress = 6;
    FrozenClock m_clock;
    ChaChaRandomSource m_source;
    int m_reseeds = 0;
};

} // namespace hexlark::testing
