#pragma once
// Conversions between the portable code's UTF-8 text and the system's UTF-16.

#include <string>
#include <string_view>

namespace moirelle::win {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

} // namespace moirelle::win
