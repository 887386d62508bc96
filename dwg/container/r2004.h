#pragma once
// 2004 files (ODA §4): an encrypted file header, the page map and section map
// in system pages, and the data sections cut into compressed, checksummed
// pages. 2010, 2013 and 2018 files keep this container (ODA §6-§8); what
// differs lies inside the sections: the bit coding of the header variables,
// classes and objects (which the object layer reads), strings in UTF-16
// from 2007 on (AcDb:SummaryInfo, AcDb:AppInfo, AcDb:Template), the 2010
// form of AcDb:ObjFreeSpace, the section AcDb:AcDsPrototype_1b from 2013 on,
// a longer AcDb:AuxHeader in 2018, and the second size field below.
//
// From 2010 on, the RL size of AcDb:Header and AcDb:Classes is followed by a
// second RL when the file's maintenance version (file header byte 0x0B) is
// above 3, and always in 2018 files (ODA §8, §9, §10.2). The format document
// calls it unknown, "possibly the high 32 bits of a 64-bit size"; it is 0 in
// every file seen, and the CRC-16 after the data covers it with the size.
// The reader takes the two as one 64-bit size, so that anything but 0 there
// is a size the section cannot hold; the header variables and classes start
// after it. The writer writes it where the release and maintenance version
// of the layout call for it, as the high half of the data's size: 0.

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
    // The release of the file header's version string: 2004, 2010, 2013 or
    // 2018. A DwgFile of another release is not written with this layout.
    Release release = Release::R2004;
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
    // The RL that starts AcDb:AcDbObjects (0x0DCA in every file seen, 2004
    // to 2018).
    std::uint32_t objectsPrefix = 0x0DCA;
    // Bytes after the end sentinels of AcDb:Header (none from AutoCAD; a
    // 2018 file of the ODA's has 743 bytes of noise there) and AcDb:Classes
    // (8 zero bytes).
    std::vector<std::uint8_t> headerTrailer;
    std::vector<std::uint8_t> classesTrailer;

    const R2004Section* find(std::string_view name) const;
};

// Reads a 2004, 2010, 2013 or 2018 file (UnsupportedRelease for another
// version). With options.recoverObjectMap, an AcDb:Handles section that
// cannot be read or decoded is recovered from AcDb:AcDbObjects, which is
// scanned.
DwgFile readR2004(std::span<const std::uint8_t> bytes, const ReadOptions& options = {});

// Writes `file` with its R2004Layout when the layout is of file.release. A
// 2004 file without one (made from scratch, or saved from another release)
// gets AutoCAD's sections with minimal content, apart from the preview and
// the summary info that the DwgFile carries (previewImage, summaryInfo:
// those of the drawing saved, in the 2004 form). A 2010, 2013 or 2018 file
// without one is refused with UnsupportedRelease: their header variables,
// classes and objects come only from a file read in that release, whose
// layout the save keeps.
std::vector<std::uint8_t> writeR2004(const DwgFile& file);

}  // namespace dwg
