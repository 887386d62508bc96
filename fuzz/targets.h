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

namespace dwg {
struct ClassList;
}

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
// The R13-2000 and the 2004 container (2004 to 2018 files), each on its
// own: read, written and read again to the same sections and objects.
void containerR13To2000(Input bytes);
void container2004(Input bytes);
// The 2007 container, read only: with and without recovery, its objects lie
// within its bytes and a second read gives the same.
void container2007(Input bytes);
// The preview: a drawing file through the whole reader (image block, BMP,
// PNG, inflate), or a bare PNG, BMP, zlib stream or bitmap through its decoder.
void preview(Input bytes);
// An INI file: every section and key read; a written key reads back.
void ini(Input bytes);
// A font definition file: read, then written and read back to the same table.
void fontTable(Input bytes);
// One stored object (MS size through CRC) after a byte whose low two bits
// pick its release (R13, R14, 2000, 2004), decoded through its walk with the
// classes of objectClassList(): written back in its release it decodes again
// to the same printed fields, and writes again to the same bytes; written in
// each other release (where it can be), it decodes there to the fields that
// release prints of it.
void objects(Input bytes);

// The class DXF names (and whether their objects are entities) that the
// objects target numbers from 500 in this order: every class a walk
// describes or may soon describe, then two no walk describes.
struct ObjectClass {
    std::string_view dxfName;
    bool entity;
};
inline constexpr ObjectClass kObjectClasses[] = {
    {"HATCH", true},          {"LWPOLYLINE", true},        {"ARC_DIMENSION", true},
    {"HELIX", true},          {"IMAGE", true},             {"WIPEOUT", true},
    {"LIGHT", true},          {"MULTILEADER", true},       {"ACAD_TABLE", true},
    {"ACDBDICTIONARYWDFLT", false}, {"XRECORD", false},    {"ACDBPLACEHOLDER", false},
    {"LAYOUT", false},        {"PLOTSETTINGS", false},     {"DICTIONARYVAR", false},
    {"SCALE", false},         {"IMAGEDEF", false},         {"IMAGEDEF_REACTOR", false},
    {"RASTERVARIABLES", false}, {"WIPEOUTVARIABLES", false}, {"SORTENTSTABLE", false},
    {"SPATIAL_FILTER", false}, {"SPATIAL_INDEX", false},   {"LAYER_INDEX", false},
    {"FIELDLIST", false},     {"FIELD", false},            {"DIMASSOC", false},
    {"IDBUFFER", false},      {"VBA_PROJECT", false},      {"MLEADERSTYLE", false},
    {"TABLESTYLE", false},    {"CELLSTYLEMAP", false},     {"VISUALSTYLE", false},
    {"MATERIAL", false},      {"TABLEGEOMETRY", false},    {"TABLECONTENT", false},
    {"SUN", false},           {"FUZZ_ENTITY", true},       {"FUZZ_OBJECT", false},
};
// kObjectClasses as a drawing's class list.
const dwg::ClassList& objectClassList();

struct Target {
    std::string_view name;
    void (*run)(Input);
};

inline constexpr Target kTargets[] = {
    {"drawing", drawing},     {"container_r13_2000", containerR13To2000},
    {"container_2004", container2004}, {"container_2007", container2007},
    {"preview", preview},
    {"ini", ini},             {"font_table", fontTable},
    {"objects", objects},
};

// The target of that name; std::invalid_argument for another name.
const Target& targetNamed(std::string_view name);

}  // namespace fuzz
