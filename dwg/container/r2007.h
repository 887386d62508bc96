#pragma once
// 2007 files (ODA §5): a file header at 0x80 that is Reed-Solomon coded and
// compressed, the page map and section map in system pages, and the data
// sections cut into pages, each compressed with the 2007 LZ77 variant and
// Reed-Solomon coded. Only reading: the codes' parity is not checked (the
// data bytes are taken as they are), the pages' checksums are.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dwg/container/dwg_file.h"

namespace dwg {

// One page of a data section as the section map lists it (ODA §5.2).
struct R2007Page {
    std::uint64_t id = 0;
    std::uint64_t offset = 0;  // of its bytes in the section
    // The section map's page size, (AutoCAD) the room the page's data may take.
    std::uint64_t size = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint64_t compressedSize = 0;  // the same as uncompressedSize for a page stored as it is
    std::uint64_t checksum = 0;        // ODA §5.4.1, over the uncompressed bytes
    std::uint64_t crc = 0;             // a 64-bit CRC, not checked
    std::uint64_t address = 0;         // where the reader found the page in the file
};

// One data section as the section map describes it (ODA §5.2).
struct R2007Section {
    std::string name;  // stored in UTF-16; the names are ASCII
    std::uint64_t size = 0;
    std::uint64_t maxPageSize = 0;
    // 0; 1 means encrypted with the drawing's password, which this engine
    // refuses (AutoCAD also writes 2 for AcDb:FileDepList, meaning unknown).
    std::uint64_t encrypted = 0;
    std::uint64_t hashCode = 0;
    std::uint64_t unknown = 0;  // field 0x28 (AutoCAD writes 0)
    // 4: the pages' codewords are interleaved (ODA §5.13.2); 1: a page's
    // data bytes come first, as they are.
    std::uint64_t encoding = 4;
    std::vector<R2007Page> pages;
    // The decompressed bytes, for the sections that the DwgFile does not
    // carry; empty for AcDb:Header, AcDb:Classes, AcDb:Handles and
    // AcDb:AcDbObjects (the DwgFile holds them) and for a section that could
    // not be read (a Repair says so).
    std::vector<std::uint8_t> data;
};

// What a 2007 file holds beyond the DwgFile: every section with its bytes,
// so that a save in another release can carry the summary info, the app
// info, the preview and the other informational sections.
struct R2007Layout : ContainerLayout {
    // File bytes 0x00-0x7F as read (ODA §5.2).
    std::array<std::uint8_t, 0x80> fileHeader{};
    // The decompressed file header (ODA §5.2), 0x110 bytes.
    std::array<std::uint8_t, 0x110> headerData{};
    // In section map order.
    std::vector<R2007Section> sections;
    // The RL that starts AcDb:AcDbObjects (0x0DCA in every file seen).
    std::uint32_t objectsPrefix = 0x0DCA;
    // Bytes after the end sentinels of AcDb:Header (none seen) and
    // AcDb:Classes (8 zero bytes).
    std::vector<std::uint8_t> headerTrailer;
    std::vector<std::uint8_t> classesTrailer;

    const R2007Section* find(std::string_view name) const;
};

// Reads a 2007 file. Throws FormatError naming the structure (and section
// and page) for damage in the file header, the system pages or the sections
// the drawing is made of; a redundant section that cannot be read is a
// Repair. With options.recoverObjectMap, an AcDb:Handles section that
// cannot be read or decoded is recovered from AcDb:AcDbObjects, which is
// scanned.
DwgFile readR2007(std::span<const std::uint8_t> bytes, const ReadOptions& options = {});

}  // namespace dwg
