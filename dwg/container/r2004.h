#pragma once
// 2004 files (ODA §4): an encrypted file header, the page map and section map
// in system pages, and the data sections cut into compressed, checksummed
// pages.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dwg/container/dwg_file.h"

namespace dwg {

// One data section as the section map describes it (ODA §4.5).
struct R2004Section {
    std::string name;
    // "Section Id": 0 for the unnamed empty section, the others numbered
    // downwards from the number of sections - 1 in map order.
    std::uint32_t number = 0;
    // Bytes of section data per page ("Max Decompressed Size"): 0x7400 for
    // compressed sections; AutoCAD sizes stored ones to their data.
    std::uint32_t maxPageSize = 0x7400;
    // Description field 0x10 (meaning unknown; AutoCAD writes 1).
    std::uint32_t unknown = 1;
    bool compressed = true;  // stored as 2; 1 means the pages hold the bytes as they are
    // 0, or 2 (meaning unknown, AutoCAD marks AcDb:FileDepList so). 1 means
    // encrypted with the drawing's password, which this engine refuses.
    std::uint32_t encrypted = 0;
    // The section's bytes, for the sections that the DwgFile does not carry;
    // empty for AcDb:Header, AcDb:Classes, AcDb:Handles and AcDb:AcDbObjects,
    // which the writer makes from the DwgFile.
    std::vector<std::uint8_t> data;
};

// What a 2004 file holds beyond the DwgFile, so that writing it back gives
// the same file apart from what is recomputed: page layout, addresses,
// checksums, CRCs and the compressed bytes.
struct R2004Layout : ContainerLayout {
    // File bytes 0x00-0x7F as read. The writer sets the code page (0x13)
    // from the DwgFile and the addresses of the preview (0x0D), summary info
    // (0x20), VBA project (0x24), app info (0x2C) and app info history
    // (0x30) pages; AutoCAD leaves the last two at 0 in some files, and then
    // so does the writer.
    std::array<std::uint8_t, 0x80> fileHeader{};
    // The decrypted 2004 file header data (ODA §4.1). The writer recomputes
    // the gap fields, page ids and counts, addresses and the CRC, and keeps
    // the rest (the ID string, 0x6C, 0x04, the unknown 1, 0x20, 0x80, 0x40).
    std::array<std::uint8_t, 0x6C> headerData{};
    // Section map fields 0x04, 0x08 and 0x0C (AutoCAD: 2, 0x7400, 0).
    std::array<std::uint32_t, 3> sectionMapFields{2, 0x7400, 0};
    // In section map order.
    std::vector<R2004Section> sections;
    // Section names in the order of their pages in the file. A section
    // written without pages (AutoCAD leaves out pages of zeros) is not
    // listed; the writer places it before the next section with a lower id.
    std::vector<std::string> fileOrder;
    // The RL that starts AcDb:AcDbObjects (0x0DCA in every file seen).
    std::uint32_t objectsPrefix = 0x0DCA;
    // Bytes after the end sentinels of AcDb:Header (none seen) and
    // AcDb:Classes (8 zero bytes).
    std::vector<std::uint8_t> headerTrailer;
    std::vector<std::uint8_t> classesTrailer;

    const R2004Section* find(std::string_view name) const;
};

// With options.recoverObjectMap, an AcDb:Handles section that cannot be
// read or decoded is recovered from AcDb:AcDbObjects, which is scanned.
DwgFile readR2004(std::span<const std::uint8_t> bytes, const ReadOptions& options = {});
std::vector<std::uint8_t> writeR2004(const DwgFile& file);

}  // namespace dwg
