#pragma once
// One fuzz target per reader: a function over arbitrary bytes that reads
// them as that reader's users do and checks what must hold for whatever
// input opens (a saved drawing re-opens equal, a table written reads back
// the same). An expected refusal (a FormatError, an ImageError, ...) is no
// finding; any other exception, a failed check or a sanitizer report is.
// libFuzzer drives them in fuzz/, and the test suite replays every input
// kept under tests/data/fuzz/<target>/ through the same functions.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>

namespace fuzz {

using Input = std::span<const std::uint8_t>;

// A property that must hold did not; the message says which.
class Finding : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// The drawing as a conversion sees it: opened, every style, block,
// reference, attribute and text walked and changed, saved, and the saved
// bytes re-opened to the same walk.
void drawing(Input bytes);
// The R13-2000 and the 2004 container, each on its own: read, written and
// read again to the same sections and objects.
void containerR13To2000(Input bytes);
void container2004(Input bytes);
// The preview: a drawing file through the whole reader (image block, BMP,
// PNG, inflate), or a bare PNG, BMP, zlib stream or bitmap through its decoder.
void preview(Input bytes);
// An INI file: every section and key read; a written key reads back.
void ini(Input bytes);
// A font definition file: read, then written and read back to the same table.
void fontTable(Input bytes);

struct Target {
    std::string_view name;
    void (*run)(Input);
};

inline constexpr Target kTargets[] = {
    {"drawing", drawing},     {"container_r13_2000", containerR13To2000},
    {"container_2004", container2004}, {"preview", preview},
    {"ini", ini},             {"font_table", fontTable},
};

// The target of that name; std::invalid_argument for another name.
const Target& targetNamed(std::string_view name);

}  // namespace fuzz
