#include "random_source.h"

#include "clock.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <stdexcept>

namespace hexlark {
namespace {

// Nonces keep the two uses of a key apart: output blocks use the zero nonce,
// reseed blocks carry the clock reading and this tag.
constexpr std::uint32_t kReseedTag = 0x52534544; // "RSED"
constexpr int kBitsPerUniform = 53;              // a double's whole mantissa
constexpr double kUniformScale = 1.0 / static_cast<double>(std::uint64_t{1} << kBitsPerUniform);

#if defined(_WIN32)
// The system's cryptographic generator, through the C runtime. libstdc++'s
// "default" would prefer the processor's RDSEED/RDRAND where it has them.
constexpr const char *kDefaultEntropyToken = "rand_s";
#else
constexpr const char *kDefaultEntropyToken = "getentropy";
#endif

std::uint64_t loadLittleEndian64(const std::uint8_t *bytes)
{
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

} // namespace

ChaChaRandomSource::ChaChaRandomSource(ChaChaKey &&seed, const Clock &clock)
    : m_clock(clock), m_key(seed)
{
    wipe(seed);
}

ChaChaRandomSource::~ChaChaRandomSource()
{
    wipe(m_key);
    wipe(m_words);
}

void ChaChaRandomSource::Reseed()
{
    const std::uint64_t reading = m_clock.nowNanoseconds();
    ChaChaNonce nonce{};
    for (int i = 0; i < 8; ++i) {
        nonce[i] = static_cast<std::uint8_t>(reading >> (8 * i));
    }
    for (int i = 0; i < 4; ++i) {
        nonce[8 + i] = static_cast<std::uint8_t>(kReseedTag >> (8 * i));
    }
    auto block = chacha20Block(m_key, 0, nonce);
    std::copy_n(block.begin(), m_key.size(), m_key.begin());
    wipe(block);
    // Output buffered under the old key must not outlive the reseed.
    wipe(m_words);
    m_wordsLeft = 0;
}

double ChaChaRandomSource::NextUniform()
{
    if (m_wordsLeft == 0) {
        refill();
    }
    const std::uint64_t word = m_words[kWordsPerRefill - m_wordsLeft];
    m_words[kWordsPerRefill - m_wordsLeft] = 0;
    --m_wordsLeft;
    return static_cast<double>(word >> (64 - kBitsPerUniform)) * kUniformScale;
}

void ChaChaRandomSource::refill()
{
    auto block = chacha20Block(m_key, 0, ChaChaNonce{});
    std::copy_n(block.begin(), m_key.size(), m_key.begin());
    for (std::size_t i = 0; i < kWordsPerRefill; ++i) {
        m_words[i] = loadLittleEndian64(block.data() + m_key.size() + 8 * i);
    }
    wipe(block);
    m_wordsLeft = kWordsPerRefill;
}

static_assert(sizeof(ChaChaKey) % sizeof(unsigned int) == 0);

ChaChaKey readEntropySeed(const std::string &token)
{
    const std::string source = token.empty() ? kDefaultEntropyToken : token;
    ChaChaKey seed{};
    try {
        std::random_device device(source);
        std::array<unsigned int, 1> word{};
        for (std::size_t i = 0; i < seed.size(); i += sizeof(unsigned int)) {
            word[0] = device();
            std::memcpy(seed.data() + i, word.data(), sizeof word);
        }
        wipe(word);
    } catch (const std::exception &error) {
        throw std::runtime_error("cannot read the system's entropy source (" + source +
                                 "): " + error.what());
    }
    return seed;
}

} // namespace hexlark
