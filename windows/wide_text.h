#pragma once

#include <string>
#include <string_view>

namespace hexlark {

// The program's texts are UTF-8; Windows' are UTF-16. Both throw
// std::runtime_error on text that is not valid in its encoding.
std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);

} // namespace hexlark
