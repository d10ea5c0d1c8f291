// The cost of one generated address, and of the two things it is made of: the
// clock read on every reseed and the ChaCha20 block behind every reseed and
// every refill of the random source.

#include "chacha20.h"
#include "clock.h"
#include "frozen_clock.h"
#include "generate_address.h"
#include "random_source.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

// GenerateAddress as the program calls it: seeded from the system, real clock.
void BM_GenerateAddress(benchmark::State &state)
{
    const hexlark::SystemClock clock;
    hexlark::ChaChaRandomSource random(hexlark::readEntropySeed(), clock);
    for (auto _ : state) {
        benchmark::DoNotOptimize(hexlark::GenerateAddress(random));
    }
}
BENCHMARK(BM_GenerateAddress);

// The same with a clock that costs nothing: the difference is the clock's share.
void BM_GenerateAddressFrozenClock(benchmark::State &state)
{
    const hexlark::bench::FrozenClock clock;
    hexlark::ChaChaRandomSource random(hexlark::readEntropySeed(), clock);
    for (auto _ : state) {
        benchmark::DoNotOptimize(hexlark::GenerateAddress(random));
    }
}
BENCHMARK(BM_GenerateAddressFrozenClock);

// One clock reading; an address takes one per octet.
void BM_SystemClockReading(benchmark::State &state)
{
    const hexlark::SystemClock clock;
    const hexlark::Clock &viaInterface = clock;
    for (auto _ : state) {
        benchmark::DoNotOptimize(viaInterface.nowNanoseconds());
    }
}
BENCHMARK(BM_SystemClockReading);

// The raw block function; an address takes two blocks per octet (reseed, refill).
void BM_ChaCha20Block(benchmark::State &state)
{
    const hexlark::ChaChaKey key = hexlark::readEntropySeed();
    const hexlark::ChaChaNonce nonce{};
    std::uint32_t counter = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(hexlark::chacha20Block(key, counter++, nonce));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(sizeof(hexlark::ChaChaBlock)));
}
BENCHMARK(BM_ChaCha20Block);

} // namespace

BENCHMARK_MAIN();
