#pragma once
// The object map (ODA §23, section AcDb:Handles): handle and location of
// every object, cut into sections of about 2032 bytes, each with a size
// (most significant byte first, counting itself) and a CRC-16 over size and
// data. Within a section each entry is the handle's offset from the previous
// entry (unsigned modular char) and the location's (signed modular char);
// every section starts again from handle 0 and location 0, as AutoCAD writes
// it and LibreDWG, libdxfrw and libopencad read it. R13-2000 locations are
// file offsets; 2004 locations are offsets into the AcDb:AcDbObjects section.

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace dwg {

struct ObjectMapEntry {
    std::uint64_t handle = 0;
    std::int64_t location = 0;
    friend bool operator==(const ObjectMapEntry&, const ObjectMapEntry&) = default;
};

// The entries in map order (ascending handles). Reads up to the closing
// empty section; throws FormatError for a damaged map (bad section size or
// CRC, a repeated or descending handle, a map without its closing section).
std::vector<ObjectMapEntry> readObjectMap(std::span<const std::uint8_t> bytes);

// The map of `entries`, which must be sorted by ascending handle without
// repeats (std::invalid_argument otherwise), with its closing empty section.
// Like AutoCAD, a section takes another entry while it is at most 2032 bytes
// long, so that it ends up to one entry longer (never above 2040, the most
// LibreDWG reads).
std::vector<std::uint8_t> writeObjectMap(std::span<const ObjectMapEntry> entries);

}  // namespace dwg

namespace dwg {

struct DwgFile;

// Copies every object of `map` out of `region` into file.objects and
// file.objectBytes, in the order of their locations. A location minus
// `regionStart` is the object's offset in `region`. An object is its MS size,
// its data (starting with its type and its own handle) and its CRC-16. An
// entry whose location holds no such object of its handle (outside the
// region, size past its end, bad CRC, another handle) goes to
// file.droppedObjects with the reason. Throws FormatError when two valid
// objects overlap.
void collectObjects(std::span<const std::uint8_t> region, std::int64_t regionStart,
                    std::span<const ObjectMapEntry> map, DwgFile& file);

// ------------------------------------------------ recovery (--recover)
//
// A drawing whose objects are intact but whose map is not (sections that
// fail their CRC, a map cut short, entries that point at the wrong place)
// is read by scanning the object data for the objects, as AutoCAD's RECOVER
// does. Only asked for (ReadOptions::recoverObjectMap), never silently:
// every recovery is a Repair of the "object map".

// The map as far as it can be read: the entries of the sections that are
// intact, and the handle ranges whose sections were lost.
struct ObjectMapReading {
    // A run of lost sections: its entries had handles above `after` and
    // below `before` (the handles of the intact sections around it).
    struct LostRange {
        std::uint64_t after = 0;
        std::uint64_t before = std::numeric_limits<std::uint64_t>::max();
        std::string problem;
    };
    std::vector<ObjectMapEntry> entries;  // ascending handles
    std::vector<LostRange> lost;
};

// Reads every section that passes its checks and notes the others: a
// section that fails its CRC or holds an unreadable entry is lost alone; a
// section size that cannot be right, or a map that ends before its closing
// section, loses the rest of the map.
ObjectMapReading readObjectMapLeniently(std::span<const std::uint8_t> bytes);

// A map of which nothing could be read (say, a 2004 AcDb:Handles section
// whose page fails its checksum): every handle is in one lost range.
ObjectMapReading lostObjectMap(std::string problem);

// Like collectObjects, for a map that may be damaged. An entry whose
// location holds a valid object (size, CRC) of its own handle is trusted.
// When any entry is not, or any range of the map was lost, the byte ranges
// of `region` in `scanAreas` (offsets into `region`; trusted objects are
// skipped) are scanned for objects: at each byte, an MS size whose data
// starts with a type, a nonzero handle of code 0 and a size in bits that
// fits the data (from 2000 on before the handle; in R13 and R14 after the
// extended data, or the graphics) and ends in a matching CRC-16 is an
// object, and the scan goes on after it. A found object is taken for a handle whose entry
// is not trusted or that lies in a lost range; copies of other handles (left
// by older saves, or erased objects) are ignored. A handle found more than
// once keeps its last copy in file order: AutoCAD appends a rewritten object
// after its older copy. Each recovery adds a Repair ("object map", what was
// wrong, "recovered N objects by scanning"); an entry whose object is found
// nowhere goes to file.droppedObjects. Gives the locations where the first
// object starts and the last one ends (both regionStart without objects).
// Throws FormatError when the scan exceeds a work budget proportional to the
// data (a hostile file).
std::pair<std::int64_t, std::int64_t> recoverObjects(std::span<const std::uint8_t> region, std::int64_t regionStart,
                                                     std::span<const std::pair<std::size_t, std::size_t>> scanAreas,
                                                     const ObjectMapReading& map, DwgFile& file);

// The map of file.objects when laid out one after another from `start`, in
// their order: the sorted entries and, for each object in file order, its
// location.
std::vector<ObjectMapEntry> layOutObjects(const DwgFile& file, std::int64_t start);

}  // namespace dwg
