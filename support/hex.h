#pragma once
// Hexadecimal digits and numbers, as handles, byte dumps and escapes use them.

#include <cstdint>
#include <string>
#include <string_view>

namespace support {

// The value of a hexadecimal digit (either case), or -1.
int hexDigitValue(char c);

// Upper-case hexadecimal without leading zeros ("0" for 0), as AutoCAD shows handles.
std::string hexNumber(std::uint64_t value);

// Two lower-case digits per byte.
std::string hexBytes(std::string_view bytes);

}  // namespace support
