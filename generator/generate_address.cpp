#include "generate_address.h"

#include "random_source.h"

#include <array>
#include <cmath>
#include <stdexcept>

namespace hexlark {
namespace {

constexpr int kOctets = 6;
constexpr int kDigitCount = 16;
constexpr char kSeparator = '-';

using DigitTable = std::array<std::string, kDigitCount>;

std::size_t checkedIndex(int index)
{
    if (index < 0 || index >= kDigitCount) {
        throw std::out_of_range("hexadecimal digit index " + std::to_string(index) +
                                " outside 0..15");
    }
    return static_cast<std::size_t>(index);
}

DigitTable fillHexDigits()
{
    DigitTable hexDigits;
    for (int i = 0; i <= 9; ++i) {
        hexDigits[checkedIndex(i)] = std::to_string(i);
    }
    for (int code = 'A'; code <= 'F'; ++code) {
        hexDigits[checkedIndex(code - 'A' + 10)] = std::string(1, static_cast<char>(code));
    }
    return hexDigits;
}

std::size_t drawDigitIndex(RandomSource &random)
{
    const double scaled = std::floor(random.NextUniform() * kDigitCount);
    if (!std::isfinite(scaled)) {
        throw std::domain_error("random draw scaled to a non-finite value");
    }
    // Checked while still a double: converting an out-of-range value is undefined.
    if (scaled < 0 || scaled >= kDigitCount) {
        throw std::out_of_range("hexadecimal digit index " + std::to_string(scaled) +
                                " outside 0..15");
    }
    return static_cast<std::size_t>(scaled);
}

} // namespace

std::string GenerateAddress(RandomSource &random)
{
    const DigitTable hexDigits = fillHexDigits();
    std::string result;
    for (int octet = 1; octet <= kOctets; ++octet) {
        random.Reseed();
        const std::size_t first = drawDigitIndex(random);
        const std::size_t second = drawDigitIndex(random);
        const std::string octetText = hexDigits[first] + hexDigits[second];
        if (octet > 1) {
            result += kSeparator;
        }
        result += octetText;
    }
    return result;
}

} // namespace hexlark
