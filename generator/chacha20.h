#pragma once

#include <array>
#include <cstdint>

namespace hexlark {

using ChaChaKey = std::array<std::uint8_t, 32>;
using ChaChaNonce = std::array<std::uint8_t, 12>;
using ChaChaBlock = std::array<std::uint8_t, 64>;

// The ChaCha20 block function of RFC 8439: 64 bytes of keystream for one
// (key, block counter, nonce), serialised little-endian as the RFC does.
ChaChaBlock chacha20Block(const ChaChaKey &key, std::uint32_t counter, const ChaChaNonce &nonce);

} // namespace hexlark
