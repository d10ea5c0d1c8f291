#include "chacha20.h"

#include <bit>

namespace hexlark {
namespace {

constexpr int kDoubleRounds = 10;
// "expand 32-byte k", the constant words that open every ChaCha state.
constexpr std::array<std::uint32_t, 4> kSigma{0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};

std::uint32_t loadLittleEndian(const std::uint8_t *bytes)
{
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

void quarterRound(std::array<std::uint32_t, 16> &x, int a, int b, int c, int d)
{
    x[a] += x[b];
    x[d] = std::rotl(x[d] ^ x[a], 16);
    x[c] += x[d];
    x[b] = std::rotl(x[b] ^ x[c], 12);
    x[a] += x[b];
    x[d] = std::rotl(x[d] ^ x[a], 8);
    x[c] += x[d];
    x[b] = std::rotl(x[b] ^ x[c], 7);
}

} // namespace

ChaChaBlock chacha20Block(const ChaChaKey &key, std::uint32_t counter, const ChaChaNonce &nonce)
{
    std::array<std::uint32_t, 16> initial{};
    for (int i = 0; i < 4; ++i) {
        initial[i] = kSigma[i];
    }
    for (int i = 0; i < 8; ++i) {
        initial[4 + i] = loadLittleEndian(key.data() + 4 * i);
    }
    initial[12] = counter;
    for (int i = 0; i < 3; ++i) {
        initial[13 + i] = loadLittleEndian(nonce.data() + 4 * i);
    }

    auto x = initial;
    for (int round = 0; round < kDoubleRounds; ++round) {
        quarterRound(x, 0, 4, 8, 12);
        quarterRound(x, 1, 5, 9, 13);
        quarterRound(x, 2, 6, 10, 14);
        quarterRound(x, 3, 7, 11, 15);
        quarterRound(x, 0, 5, 10, 15);
        quarterRound(x, 1, 6, 11, 12);
        quarterRound(x, 2, 7, 8, 13);
        quarterRound(x, 3, 4, 9, 14);
    }

    ChaChaBlock out{};
    for (int i = 0; i < 16; ++i) {
        const std::uint32_t word = x[i] + initial[i];
        for (int b = 0; b < 4; ++b) {
            out[4 * i + b] = static_cast<std::uint8_t>(word >> (8 * b));
        }
    }
    // The working state is the key in another form.
    wipe(initial);
    wipe(x);
    return out;
}

} // namespace hexlark
