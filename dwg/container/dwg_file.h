#pragma once
// The contents of a DWG file as the container layer hands them to the object
// layer, whatever the release's layout on disk (R13-2000 files with section
// locators, the paged and compressed files of 2004, 2010, 2013 and 2018, 2007
// files whose pages are also Reed-Solomon coded; 2007 is read only). The
// container knows no object types: it finds the header variables, the
// classes and every object's bytes, and writes them back into a complete,
// self-consistent file.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "dwg/release.h"

namespace dwg {

// Where one object's bytes sit in DwgFile::objectBytes: from its MS size
// through its CRC, exactly as stored in the file.
struct ObjectLocation {
    std::uint64_t handle = 0;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

// Everything of a file that the object layer does not interpret, kept by the
// container family that read it so that its writer can reproduce it (the
// file header's other fields, preview image, second header, aux header,
// other sections and their page parameters...). Each family derives its own.
// An object map entry whose location holds no valid object of its handle
// (AutoCAD leaves such entries for handles it no longer uses). The reader
// leaves it out; the drawing layer decides whether that is harmless.
struct DroppedObject {
    std::uint64_t handle = 0;
    std::int64_t location = 0;
    std::string reason;
};

// A fault in a structure that the drawing's content does not depend on (the
// second file header, the preview, the aux header, the informational 2004
// sections, a section listed twice): the reader goes on without the
// structure as stored and the writer rebuilds it.
struct Repair {
    std::string structure;  // "second file header", "AcDb:Preview" ...
    std::string problem;    // what the reader found
    std::string onSave;     // what a save writes instead: "a fresh one", "no preview" ...
    friend bool operator==(const Repair&, const Repair&) = default;
};

struct ContainerLayout {
    virtual ~ContainerLayout() = default;
};

struct DwgFile {
    Release release = Release::R2000;
    // DWGCODEPAGE of the file header (offset 0x13): 30 = ANSI_1252, 34 = ANSI_1255...
    std::uint16_t codePage = 30;
    // The header variables' bit stream: the bytes after the section's size
    // field, up to (not including) its CRC.
    std::vector<std::uint8_t> headerVariables;
    // The classes section likewise: the bytes after the size field, up to
    // (not including) the CRC.
    std::vector<std::uint8_t> classes;
    // Backing store of the objects; a changed object's new bytes are appended
    // and its location pointed at them.
    std::vector<std::uint8_t> objectBytes;
    // Every object of the object map, in the order the writer lays them out
    // (for a file that was read: the order they had in the file).
    std::vector<ObjectLocation> objects;
    // Map entries that pointed at no valid object; not written back.
    std::vector<DroppedObject> droppedObjects;
    // Faults of redundant structures, in the order they were found.
    std::vector<Repair> repairs;
    // Null for a drawing made from scratch: the writer then makes the
    // release's other sections with default content.
    std::shared_ptr<const ContainerLayout> layout;
    // For a writer that makes those sections afresh (a drawing saved in
    // another release than it was read in): the preview to carry (ODA §14.2,
    // from its start sentinel through its end sentinel, the entries'
    // addresses relative to the start sentinel); empty for an empty preview.
    // Its entries must be ones the target release knows (previewWithBitmaps
    // in preview_section.h turns the PNG entries of 2013 and later into the
    // bitmaps of earlier releases).
    std::vector<std::uint8_t> previewImage;
    // Likewise the AcDb:SummaryInfo to carry (2004 and later; ODA §13), in
    // the form of `release` (encodeSummaryInfo in summary_info.h); empty for
    // a fresh one, every string empty. A writer that keeps the sections of
    // the file's own layout ignores both.
    std::vector<std::uint8_t> summaryInfo;

    std::span<const std::uint8_t> bytesOf(const ObjectLocation& object) const {
        return std::span<const std::uint8_t>(objectBytes).subspan(object.offset, object.size);
    }
};

// How a file is read. By default a damaged object map is an error; with
// recoverObjectMap the objects it fails to locate are looked for by scanning
// the object data (recoverObjects in object_map.h), each recovery reported
// as a Repair of the "object map".
struct ReadOptions {
    bool recoverObjectMap = false;
};

// Reads any release this engine supports; throws UnsupportedRelease for
// others and FormatError naming the section (and object handle) and the
// reason for damaged files. Every declared size and offset is checked before
// it is used.
DwgFile readDwgFile(std::span<const std::uint8_t> bytes, const ReadOptions& options = {});

// The program that wrote the file, as far as the file says: the product
// and version of AcDb:AppInfo (2004-2018) where that section was read intact, else
// the release of the file header's application version bytes 0x11-0x12
// (ODA §3.2, §4.1, with the codes of ODA §27); empty where neither says.
std::string writerOf(const DwgFile& file);

// Whether writeDwgFile writes files of a release: every one but 2007,
// whose container is read only.
bool canWriteDwgFile(Release release) noexcept;

// Writes a complete file of `file.release`.
std::vector<std::uint8_t> writeDwgFile(const DwgFile& file);

}  // namespace dwg
