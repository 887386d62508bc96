#include "support/hex.h"

namespace support {

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string hexNumber(std::uint64_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char buffer[16];
    int length = 0;
    do {
        buffer[15 - length++] = kDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    return std::string(buffer + 16 - length, static_cast<std::size_t>(length));
}

std::string hexBytes(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0xF];
    }
    return hex;
}

}  // namespace support
