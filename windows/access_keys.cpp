#include "access_keys.h"

namespace hexlark {
namespace {

constexpr char kMarker = '&';

} // namespace

std::optional<WORD> accessKey(std::string_view caption)
{
    const std::size_t marker = caption.find(kMarker);
    if (marker == std::string_view::npos || marker + 1 == caption.size()) {
        return std::nullopt;
    }
    // A letter key's virtual-key code is its capital, as every caption marks it.
    return static_cast<WORD>(caption[marker + 1]);
}

} // namespace hexlark
