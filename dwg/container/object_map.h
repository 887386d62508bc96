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
#include <span>
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

// The map of file.objects when laid out one after another from `start`, in
// their order: the sorted entries and, for each object in file order, its
// location.
std::vector<ObjectMapEntry> layOutObjects(const DwgFile& file, std::int64_t start);

}  // namespace dwg
