#pragma once

#include "chacha20.h"

#include <cstddef>
#include <string>

namespace hexlark {

class Clock;

// The program's one pseudo-random generator, as the address generator sees it.
class RandomSource
{
public:
    virtual ~RandomSource() = default;
    // Folds the time of day into the state; never restarts the sequence.
    virtual void Reseed() = 0;
    // The next value of the sequence, uniform in [0, 1).
    virtual double NextUniform() = 0;
};

// ChaCha20 with fast key erasure: every block drawn replaces the key that made
// it, and a reseed rekeys from the old key and the clock reading, so neither
// the shown addresses nor a later look at the state give away what came
// before or what comes next.
class ChaChaRandomSource final : public RandomSource
{
public:
    // Takes the seed over and wipes the caller's copy.
    ChaChaRandomSource(ChaChaKey &&seed, const Clock &clock);
    ~ChaChaRandomSource() override;
    ChaChaRandomSource(const ChaChaRandomSource &) = delete;
    ChaChaRandomSource &operator=(const ChaChaRandomSource &) = delete;

    void Reseed() override;
    double NextUniform() override;

private:
    static constexpr std::size_t kWordsPerRefill = 4;

    void refill();

    const Clock &m_clock;
    ChaChaKey m_key{};
    std::array<std::uint64_t, kWordsPerRefill> m_words{};
    std::size_t m_wordsLeft = 0;
};

// A fresh seed from the operating system's entropy source; throws
// std::runtime_error when that source cannot be read. The token names the
// source as std::random_device knows it.
ChaChaKey readEntropySeed(const std::string &token = {});

} // namespace hexlark
