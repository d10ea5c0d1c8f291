#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace hexlark {

using ChaChaKey = std::array<std::uint8_t, 32>;
using ChaChaNonce = std::array<std::uint8_t, 12>;
using ChaChaBlock = std::array<std::uint8_t, 64>;

// The ChaCha20 block function of RFC 8439: 64 bytes of keystream for one
// (key, block counter, nonce), serialised little-endian as the RFC does.
ChaChaBlock chacha20Block(const ChaChaKey &key, std::uint32_t counter, const ChaChaNonce &nonce);

// Zeroes key material through a volatile pointer, so that the compiler cannot
// drop the stores as dead: the portable stand-in for explicit_bzero, which
// not every C library has.
template <typename Array> void wipe(Array &array)
{
    volatile auto *bytes = reinterpret_cast<volatile unsigned char *>(array.data());
    for (std::size_t i = 0; i < sizeof(array); ++i) {
        bytes[i] = 0;
    }
}

} // namespace hexlark
