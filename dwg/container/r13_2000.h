#pragma once
// R13, R14 and 2000 files (ODA §3): a file header with section locators, the
// header variables, classes, objects and object map at absolute offsets, the
// second header and the preview image.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "dwg/container/dwg_file.h"

namespace dwg {

// The stretches an R13-2000 file is made of, in the order they appear.
enum class R13Part : std::uint8_t {
    FileHeader,       // version, image seeker, code page, section locators (ODA §3.2)
    AuxHeader,        // locator 5, 2000 only (ODA §27)
    Image,            // the preview (ODA §14.2), found through the seeker at 0x0D
    HeaderVariables,  // locator 0 (ODA §9)
    Classes,          // locator 1 (ODA §10.1)
    Objects,          // every object of the map, one after another
    ObjectMap,        // locator 2 (ODA §23)
    ObjFreeSpace,     // locator 3 (ODA §21; "unknown section" in ODA §25)
    SecondHeader,     // ODA §26, right after locator 3 or the object map
    Template,         // locator 4: the MEASUREMENT variable (ODA §22)
    Filler,           // bytes between sections (padding, the RL after the classes)
};

// ODA §26 with the errata's field list. Only what cannot be recomputed from
// the file being written is kept.
struct R13SecondHeader {
    // The bytes that repeat the file header's 0x06-0x0C.
    std::array<std::uint8_t, 7> versionBytes{};
    // The BS after them: the release and maintenance release of the program
    // that wrote the file (usually the file header's 0x11-0x12).
    std::uint16_t writer = 0;
    // The locator records it repeats, by record number.
    std::vector<std::uint8_t> sectionIds;
    struct Handle {
        std::uint8_t index = 0;             // 0 = HANDSEED, 1 = block control object ...
        std::vector<std::uint8_t> value;    // most significant byte first
        friend bool operator==(const Handle&, const Handle&) = default;
    };
    std::vector<Handle> handles;
    // The bits that fill the last byte of its bit stream, lowest bits last.
    std::uint8_t padBits = 0;
    // What follows its CRC inside the counted size (R14 and later: 8 bytes).
    std::vector<std::uint8_t> trailer;
};

// Everything of an R13-2000 file that DwgFile does not carry. A stretch whose
// bytes are generated on write (file header, header variables, classes,
// objects, object map, second header) keeps no bytes here; the others keep
// their bytes with their file offsets made relative, so that the writer can
// put them anywhere.
struct R13Layout final : ContainerLayout {
    struct Piece {
        R13Part part = R13Part::Filler;
        std::vector<std::uint8_t> bytes;
    };

    // The release of the file this was read from; a layout of another release
    // than the one being written is not used.
    Release release = Release::R2000;
    // File header 0x06-0x0C (zeros, ACADMAINTVER, a byte of 1) and 0x11-0x12
    // (release and maintenance release of the writing program).
    std::array<std::uint8_t, 7> versionBytes{};
    std::array<std::uint8_t, 2> writerBytes{};
    // The record number byte of each locator record, in file order; their
    // count is the number of records written (3 to 6).
    std::vector<std::uint8_t> locatorNumbers;
    // The file in order. Exactly one each of FileHeader (first),
    // HeaderVariables, Classes, Objects and ObjectMap (Objects before
    // ObjectMap); at most one of the other sections; any number of fillers.
    std::vector<Piece> pieces;
    // Offsets in the Image piece of the RL addresses of its entries; the
    // piece holds them relative to the image's start sentinel.
    std::vector<std::uint32_t> imageAddressFields;
    // Whether the ObjFreeSpace RL at 16 holds the objects' start (R13 files
    // and some others do; AutoCAD 2000 writes 0 there).
    bool freeSpaceHoldsObjectsStart = false;
    // Present when the file has a second header (R13C3 and later).
    bool hasSecondHeader = false;
    R13SecondHeader secondHeader;
};

// With options.recoverObjectMap, the objects are looked for in every
// stretch of the file that no other section occupies.
DwgFile readR13To2000(std::span<const std::uint8_t> bytes, Release release, const ReadOptions& options = {});

// With file.layout null (or of another release) the writer makes AutoCAD's
// sections with default content: an empty preview, the second header with
// the usual control object handles, the 2000 aux header, the MEASUREMENT
// template. The HANDSEED it repeats in the second header and the aux header
// is raised above the largest handle of file.objects where it is not already.
// Throws std::invalid_argument for a DwgFile it cannot write (objects outside
// objectBytes, a handle listed twice, a layout missing a required piece).
std::vector<std::uint8_t> writeR13To2000(const DwgFile& file);

}  // namespace dwg
