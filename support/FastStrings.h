#pragma once
// Byte-string search and replacement by the Boyer-Moore-Horspool method, with
// an optional case-insensitive form over a 256-entry upper-case table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace support {

// Upper case of every byte value: only the ASCII letters a-z change, since
// Windows-1255 has no other cased letters.
const std::array<std::uint8_t, 256>& upperCaseTable();

// 1-based position of the first occurrence of `pattern` in `text` at or after
// the 1-based position `start`, or 0 when there is none (also for an empty
// pattern or a start past the text).
std::size_t fastPos(std::string_view text, std::string_view pattern, std::size_t start = 1,
                    bool caseSensitive = true);

// `text` with every non-overlapping occurrence of `pattern`, from left to
// right, replaced by `replacement`. An empty pattern replaces nothing.
std::string fastReplace(std::string_view text, std::string_view pattern, std::string_view replacement,
                        bool caseSensitive = true);

}  // namespace support
