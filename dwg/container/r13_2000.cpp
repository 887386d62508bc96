#include "dwg/container/r13_2000.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "dwg/bits/bit_reader.h"
#include "dwg/bits/bit_writer.h"
#include "dwg/bits/crc.h"
#include "dwg/container/object_map.h"
#include "dwg/container/sentinels.h"
#include "dwg/errors.h"
#include "support/hex.h"
#include "support/little_endian.h"

// What AutoCAD's R13, R14 and 2000 files hold (seen in the sample drawings;
// the format document and its errata agree unless noted):
//
//   file header      version, 0x06-0x0C, image seeker, 0x11-0x12, code page,
//                    3 to 6 locator records, CRC, sentinel
//   aux header       2000: locator 5, right after the file header (123 bytes)
//   preview image    found through the seeker; AutoCAD puts it here, before
//                    the header variables, in every release
//   header variables locator 0
//   (R13: junk)      AutoCAD R13 leaves stale bytes between header and classes
//   classes          locator 1
//   filler           R14/2000: an RL 0x0DCA; R13: the template (locator 4)
//                    and zeros up to the objects
//   objects          the object map's locations
//   object map       locator 2
//   ObjFreeSpace     locator 3 when present (R13; absent, 0/0, in R14/2000)
//   second header    right after locator 3, or after the object map
//   template         R14/2000: locator 4, after the second header
//
// The reader notes these stretches in file order; the writer emits them in
// the same order with the bytes between them, so that an untouched file
// comes back byte for byte.

namespace dwg {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;
// ODA §3.2.6, §26; the other sentinels are shared with 2004 files.
constexpr Sentinel kLocatorsEnd{0x95, 0xA0, 0x4E, 0x28, 0x99, 0x82, 0x1A, 0xE5,
                                0x5E, 0x41, 0xE0, 0x5F, 0x9D, 0x3A, 0x4D, 0x00};
constexpr Sentinel kSecondHeaderStart{0xD4, 0x7B, 0x21, 0xCE, 0x28, 0x93, 0x9F, 0xBF,
                                      0x53, 0x24, 0x40, 0x09, 0x12, 0x3C, 0xAA, 0x01};
constexpr Sentinel kSecondHeaderEnd{0x2B, 0x84, 0xDE, 0x31, 0xD7, 0x6C, 0x60, 0x40,
                                    0xAC, 0xDB, 0xBF, 0xF6, 0xED, 0xC3, 0x55, 0xFE};

// File header (ODA §3.2).
constexpr std::size_t kVersionBytesAt = 0x06;
constexpr std::size_t kImageSeekerAt = 0x0D;
constexpr std::size_t kWriterBytesAt = 0x11;
constexpr std::size_t kCodePageAt = 0x13;
constexpr std::size_t kLocatorCountAt = 0x15;
constexpr std::size_t kLocatorsAt = 0x19;
constexpr std::size_t kLocatorSize = 9;
constexpr std::uint32_t kMinLocators = 3;
constexpr std::uint32_t kMaxLocators = 6;
// ODA §3.2.6: the CRC-16 from seed 0, XORed with a constant per record count
// (3 to 6). The errata's "seed 0xC0C1" gives the same values: the constants
// are what that seed contributes over the 52, 61, 70 and 79 bytes covered.
constexpr std::array<std::uint16_t, 4> kLocatorCrcXor{0xA598, 0x8101, 0x3CC4, 0x8461};

// Locator record numbers (ODA §3.2.6 with the errata).
constexpr std::size_t kHeaderRecord = 0;
constexpr std::size_t kClassesRecord = 1;
constexpr std::size_t kMapRecord = 2;
constexpr std::size_t kFreeSpaceRecord = 3;
constexpr std::size_t kTemplateRecord = 4;
constexpr std::size_t kAuxRecord = 5;

// ODA §21: the ObjFreeSpace RL holding the objects' start.
constexpr std::size_t kFreeSpaceObjectsAt = 16;
// ODA §27: the aux header's RL HANDSEED (-1 when it does not fit 31 bits).
constexpr std::size_t kAuxHandseedAt = 79;
// ODA §26: handle record 0 of the second header is HANDSEED.
constexpr std::uint8_t kHandseedIndex = 0;

// The RL that AutoCAD R14 and 2000 write between the classes and the objects
// (LibreDWG reads it as an unknown RL).
constexpr std::array<std::uint8_t, 4> kAfterClasses{0xCA, 0x0D, 0x00, 0x00};
// AutoCAD R13 follows the template with zeros up to the objects.
constexpr std::size_t kR13PaddingAfterTemplate = 496;

std::size_t fileHeaderSize(std::size_t locators) { return kLocatorsAt + kLocatorSize * locators + 2 + 16; }

std::string hex(std::uint64_t value) { return support::hexNumber(value); }

std::string num(std::uint64_t value) { return std::to_string(value); }

void appendBytes(Bytes& out, ByteSpan bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

bool sentinelAt(ByteSpan bytes, std::size_t at, const Sentinel& sentinel) {
    return at <= bytes.size() && bytes.size() - at >= sentinel.size() &&
           std::equal(sentinel.begin(), sentinel.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

const char* partName(R13Part part) {
    switch (part) {
        case R13Part::FileHeader: return "file header";
        case R13Part::AuxHeader: return "AcDb:AuxHeader";
        case R13Part::Image: return "preview image";
        case R13Part::HeaderVariables: return "AcDb:Header";
        case R13Part::Classes: return "AcDb:Classes";
        case R13Part::Objects: return "objects";
        case R13Part::ObjectMap: return "object map";
        case R13Part::ObjFreeSpace: return "AcDb:ObjFreeSpace";
        case R13Part::SecondHeader: return "second file header";
        case R13Part::Template: return "AcDb:Template";
        case R13Part::Filler: return "filler";
    }
    return "section";
}

// The stretches the drawing's content does not depend on: a fault in one is
// a repair, and the writer rebuilds or leaves out the stretch.
bool isRedundant(R13Part part) {
    return part == R13Part::AuxHeader || part == R13Part::Image || part == R13Part::ObjFreeSpace ||
           part == R13Part::SecondHeader || part == R13Part::Template;
}

const char* onSave(R13Part part) {
    switch (part) {
        case R13Part::Image: return "no preview";
        case R13Part::AuxHeader:
        case R13Part::SecondHeader: return "a fresh one";
        default: return "none";
    }
}

// The reason of an error without the structure's name that starts it.
std::string problemOf(const FormatError& error, std::string_view structure) {
    std::string_view what = error.what();
    if (what.starts_with(structure) && what.substr(structure.size()).starts_with(": "))
        what.remove_prefix(structure.size() + 2);
    return std::string(what);
}

// ---------------------------------------------------------------- reading

struct Locator {
    std::uint8_t number = 0;
    std::uint32_t seeker = 0;
    std::uint32_t size = 0;
    bool present() const { return size != 0; }
};

// A stretch of the file as found, before the stretches are put in order.
struct Stretch {
    R13Part part = R13Part::Filler;
    std::size_t begin = 0;
    std::size_t end = 0;
    Bytes bytes;
};

// The section of each optional locator record (ODA §3.2.6), and what a save
// writes when the record points outside the file.
const char* optionalRecordName(std::size_t record) {
    switch (record) {
        case kFreeSpaceRecord: return "AcDb:ObjFreeSpace";
        case kTemplateRecord: return "AcDb:Template";
        default: return "AcDb:AuxHeader";
    }
}

const char* optionalRecordOnSave(std::size_t record) {
    return record == kAuxRecord ? "a fresh one" : "none";
}

// The records of the header variables, classes and object map must be sound;
// a later record that points outside the file is left out with a repair.
std::vector<Locator> readLocators(ByteSpan file, std::vector<Repair>& repairs) {
    if (file.size() < kLocatorsAt)
        throw FormatError("file header: expected " + num(kLocatorsAt) + " bytes, found " + num(file.size()));
    const std::uint32_t count = support::loadLE32(file, kLocatorCountAt);
    if (count < kMinLocators || count > kMaxLocators)
        throw FormatError("file header: expected " + num(kMinLocators) + " to " + num(kMaxLocators) +
                          " section locators, found " + num(count));
    const std::size_t crcAt = kLocatorsAt + kLocatorSize * count;
    if (file.size() < fileHeaderSize(count))
        throw FormatError("file header: expected " + num(fileHeaderSize(count)) + " bytes for " + num(count) +
                          " section locators, found " + num(file.size()));
    const std::uint16_t stored = support::loadLE16(file, crcAt);
    const auto computed = static_cast<std::uint16_t>(crc16(0, file.first(crcAt)) ^ kLocatorCrcXor[count - kMinLocators]);
    if (!checksumMatches(stored, computed))
        throw FormatError("file header: section locator CRC expected " + hex(computed) + ", found " + hex(stored));
    if (!sentinelAt(file, crcAt + 2, kLocatorsEnd))
        throw FormatError("file header: expected the sentinel after the section locators at byte " + num(crcAt + 2));

    std::vector<Locator> locators(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kLocatorsAt + kLocatorSize * i;
        Locator& locator = locators[i];
        locator.number = file[at];
        locator.seeker = support::loadLE32(file, at + 1);
        locator.size = support::loadLE32(file, at + 5);
        const std::string name = "section locator " + num(i);
        if (!locator.present()) {
            if (i <= kMapRecord) throw FormatError(name + ": size 0, expected a section");
            continue;
        }
        std::string problem;
        if (locator.seeker >= file.size())
            problem = name + ": seeker " + num(locator.seeker) + " past the end of the file (" + num(file.size()) +
                      " bytes)";
        else if (locator.size > file.size() - locator.seeker)
            problem = name + ": " + num(locator.size) + " bytes at " + num(locator.seeker) +
                      " run past the end of the file (" + num(file.size()) + " bytes)";
        if (problem.empty()) continue;
        if (i <= kMapRecord) throw FormatError(problem);
        repairs.push_back({optionalRecordName(i), problem, optionalRecordOnSave(i)});
        locator.size = 0;
    }
    return locators;
}

// ODA §9, §10.1: start sentinel, RL size, data, CRC-16 over size and data,
// end sentinel. Returns the data.
ByteSpan readFramedSection(ByteSpan file, std::size_t at, const Sentinel& start, const Sentinel& end,
                           const char* name, std::size_t& sectionEnd) {
    auto fail = [name](const std::string& what) { throw FormatError(std::string(name) + ": " + what); };
    if (!sentinelAt(file, at, start)) fail("expected its start sentinel at byte " + num(at));
    if (file.size() - at < 16 + 4 + 2 + 16)
        fail("expected a size, CRC and end sentinel after byte " + num(at) + ", found the end of the file");
    const std::uint32_t size = support::loadLE32(file, at + 16);
    const std::size_t room = file.size() - at - (16 + 4 + 2 + 16);
    if (size > room)
        fail("declares " + num(size) + " bytes at byte " + num(at) + ", only " + num(room) + " left in the file");
    const std::uint16_t stored = support::loadLE16(file, at + 20 + size);
    const std::uint16_t computed = crc16(kCrc16Seed, file.subspan(at + 16, 4 + std::size_t{size}));
    if (!checksumMatches(stored, computed)) fail("CRC expected " + hex(computed) + ", found " + hex(stored));
    if (!sentinelAt(file, at + 22 + size, end)) fail("expected its end sentinel at byte " + num(at + 22 + size));
    sectionEnd = at + 38 + size;
    return file.subspan(at + 20, size);
}

// ODA §14.2. The entries' addresses are made relative to the start sentinel.
Stretch readImage(ByteSpan file, std::size_t at, std::vector<std::uint32_t>& addressFields) {
    auto fail = [](const std::string& what) { throw FormatError("preview image: " + what); };
    if (at >= file.size())
        fail("seeker " + num(at) + " past the end of the file (" + num(file.size()) + " bytes)");
    if (!sentinelAt(file, at, kPreviewStart)) fail("expected its start sentinel at byte " + num(at));
    if (file.size() - at < 16 + 4 + 1 + 16)
        fail("expected a size, an entry count and an end sentinel after byte " + num(at) +
             ", found the end of the file");
    const std::uint32_t overall = support::loadLE32(file, at + 16);
    const std::size_t room = file.size() - at - (16 + 4 + 16);
    if (overall < 1 || overall > room)
        fail("declares " + num(overall) + " bytes at byte " + num(at) + ", expected 1 to the " + num(room) +
             " left in the file");
    const std::size_t dataEnd = at + 20 + overall;
    if (!sentinelAt(file, dataEnd, kPreviewEnd)) fail("expected its end sentinel at byte " + num(dataEnd));
    const std::size_t count = file[at + 20];
    if (1 + kLocatorSize * count > overall)
        fail(num(count) + " entries do not fit its " + num(overall) + " bytes");

    Stretch image{R13Part::Image, at, dataEnd + 16, Bytes(file.begin() + static_cast<std::ptrdiff_t>(at),
                                                          file.begin() + static_cast<std::ptrdiff_t>(dataEnd + 16))};
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 21 + kLocatorSize * i;  // offset in the image
        const std::uint8_t code = image.bytes[entry];
        const std::uint32_t start = support::loadLE32(image.bytes, entry + 1);
        const std::uint32_t size = support::loadLE32(image.bytes, entry + 5);
        if (code < 1 || code > 3)
            fail("entry " + num(i) + " has code " + num(code) + ", expected 1 (header), 2 (BMP) or 3 (WMF)");
        if (size == 0) continue;
        if (start < at + 20 || start > dataEnd || size > dataEnd - start)
            fail("entry " + num(i) + ": " + num(size) + " bytes at " + num(start) + " lie outside the image (bytes " +
                 num(at + 20) + " to " + num(dataEnd) + ")");
        support::storeLE32(image.bytes, entry + 1, static_cast<std::uint32_t>(start - at));
        addressFields.push_back(static_cast<std::uint32_t>(entry + 1));
    }
    return image;
}

// ODA §26 with the errata: sentinel, RL size (counting itself, up to the end
// sentinel), a bit stream of BL/RC/BS/RS fields, RS CRC over the size and the
// stream, R14 and later 8 more bytes, end sentinel.
Stretch readSecondHeader(ByteSpan file, std::size_t at, R13SecondHeader& header) {
    auto fail = [](const std::string& what) { throw FormatError("second file header: " + what); };
    if (file.size() - at < 16 + 4 + 16)
        fail("expected a size and an end sentinel after byte " + num(at) + ", found the end of the file");
    const std::uint32_t size = support::loadLE32(file, at + 16);
    const std::size_t room = file.size() - at - (16 + 16);
    if (size < 4 + 2 || size > room)
        fail("declares " + num(size) + " bytes at byte " + num(at) + ", expected 6 to the " + num(room) +
             " left in the file");
    const std::size_t end = at + 16 + size;
    if (!sentinelAt(file, end, kSecondHeaderEnd)) fail("expected its end sentinel at byte " + num(end));

    const ByteSpan body = file.subspan(at + 20, size - 4);
    BitReader in(body, Release::R2000);
    try {
        in.readBL();                                   // its own location: written anew
        for (int i = 0; i < 6; ++i) in.readRC();       // "AC1015": written from the release
        for (std::uint8_t& byte : header.versionBytes) byte = in.readRC();
        header.writer = static_cast<std::uint16_t>(in.readBS());
        in.readRS();                                   // code page: written from DwgFile::codePage
        const std::int16_t sections = in.readBS();
        if (sections < 0) fail("expected a section count, found " + std::to_string(sections));
        header.sectionIds.clear();
        for (int i = 0; i < sections; ++i) {
            header.sectionIds.push_back(in.readRC());
            in.readBL();                               // address and size: written anew
            in.readBL();
        }
        const std::int16_t handles = in.readBS();
        if (handles < 0) fail("expected a handle count, found " + std::to_string(handles));
        header.handles.clear();
        for (int i = 0; i < handles; ++i) {
            R13SecondHeader::Handle handle;
            const std::uint8_t length = in.readRC();
            handle.index = in.readRC();
            if (length > 8) fail("handle record " + num(i) + " holds " + num(length) + " bytes, expected at most 8");
            for (unsigned b = 0; b < length; ++b) handle.value.push_back(in.readRC());
            header.handles.push_back(std::move(handle));
        }
    } catch (const FormatError& error) {
        // The bit reader's messages get the section's name; ours have it.
        if (std::string_view(error.what()).starts_with("second file header: ")) throw;
        throw error.withContext("second file header");
    }
    const std::uint64_t bits = in.bitPos();
    const auto streamBytes = static_cast<std::size_t>((bits + 7) / 8);
    if (body.size() - streamBytes < 2) fail("its fields run into its CRC");
    const unsigned padCount = static_cast<unsigned>((8 - bits % 8) % 8);
    header.padBits = padCount == 0 ? 0 : static_cast<std::uint8_t>(body[streamBytes - 1] & ((1U << padCount) - 1));
    const std::uint16_t stored = support::loadLE16(body, streamBytes);
    const std::uint16_t computed = crc16(kCrc16Seed, file.subspan(at + 16, 4 + streamBytes));
    if (!checksumMatches(stored, computed)) fail("CRC expected " + hex(computed) + ", found " + hex(stored));
    header.trailer.assign(body.begin() + static_cast<std::ptrdiff_t>(streamBytes + 2), body.end());
    return {R13Part::SecondHeader, at, end + 16, {}};
}

// The stretch of a second header that cannot be read: up to its end
// sentinel where one follows before the next stretch, else up to that
// stretch, so that none of its bytes are written back.
Stretch damagedSecondHeader(ByteSpan file, std::size_t at, const std::vector<Stretch>& stretches) {
    std::size_t limit = file.size();
    for (const Stretch& stretch : stretches) {
        if (stretch.begin > at) limit = std::min(limit, stretch.begin);
    }
    limit = std::max(limit, at + kSecondHeaderStart.size());
    const auto begin = file.begin() + static_cast<std::ptrdiff_t>(at + kSecondHeaderStart.size());
    const auto stop = file.begin() + static_cast<std::ptrdiff_t>(limit);
    const auto found = std::search(begin, stop, kSecondHeaderEnd.begin(), kSecondHeaderEnd.end());
    const std::size_t end = found == stop ? limit : static_cast<std::size_t>(found - file.begin()) + kSecondHeaderEnd.size();
    return {R13Part::SecondHeader, at, end, {}};
}

Stretch rawSection(ByteSpan file, R13Part part, const Locator& locator) {
    const auto begin = file.begin() + static_cast<std::ptrdiff_t>(locator.seeker);
    return {part, locator.seeker, std::size_t{locator.seeker} + locator.size, Bytes(begin, begin + locator.size)};
}

// The stretches in file order with the bytes between them as fillers. The
// objects take the place of the first of them; the gaps among the objects
// (space left by older saves) are not kept.
// A redundant stretch that overlaps another is left out with a repair; two
// essential ones that overlap are an error.
std::vector<R13Layout::Piece> orderPieces(ByteSpan file, std::vector<Stretch> stretches, std::size_t objectsBegin,
                                          std::size_t objectsEnd, R13Layout& layout, std::vector<Repair>& repairs) {
    std::sort(stretches.begin(), stretches.end(),
              [](const Stretch& a, const Stretch& b) { return a.begin < b.begin; });
    for (std::size_t i = 1; i < stretches.size();) {
        const Stretch& before = stretches[i - 1];
        const Stretch& after = stretches[i];
        if (after.begin >= before.end) {
            ++i;
            continue;
        }
        const std::string problem = std::string("at byte ") + num(after.begin) + " overlaps the " +
                                    partName(before.part) + " (bytes " + num(before.begin) + " to " +
                                    num(before.end) + ")";
        const std::size_t dropped = isRedundant(after.part) ? i : i - 1;
        const R13Part part = stretches[dropped].part;
        if (!isRedundant(part)) throw FormatError(std::string(partName(after.part)) + " " + problem);
        repairs.push_back({partName(part), dropped == i ? problem : "the " + std::string(partName(after.part)) + " " + problem,
                           onSave(part)});
        if (part == R13Part::Image) layout.imageAddressFields.clear();
        if (part == R13Part::SecondHeader) layout.hasSecondHeader = false;
        stretches.erase(stretches.begin() + static_cast<std::ptrdiff_t>(dropped));
        i = std::max<std::size_t>(1, i - 1);
    }

    std::vector<R13Layout::Piece> pieces;
    pieces.reserve(2 * stretches.size() + 2);
    auto filler = [&](std::size_t begin, std::size_t end) {
        if (begin < end)
            pieces.push_back({R13Part::Filler, Bytes(file.begin() + static_cast<std::ptrdiff_t>(begin),
                                                     file.begin() + static_cast<std::ptrdiff_t>(end))});
    };
    bool objectsPlaced = false;
    std::size_t cursor = 0;
    auto gapUpTo = [&](std::size_t end) {
        if (!objectsPlaced && end >= objectsBegin) {
            filler(cursor, std::min(end, objectsBegin));
            pieces.push_back({R13Part::Objects, {}});
            objectsPlaced = true;
            filler(std::max(cursor, objectsEnd), end);
        } else if (objectsPlaced && cursor < objectsEnd) {
            filler(std::max(cursor, objectsEnd), end);
        } else {
            filler(cursor, end);
        }
    };
    for (Stretch& stretch : stretches) {
        gapUpTo(stretch.begin);
        pieces.push_back({stretch.part, std::move(stretch.bytes)});
        cursor = stretch.end;
    }
    gapUpTo(std::max(file.size(), objectsBegin));

    // The map is written from the objects' new places, so they must come first.
    const auto objects = std::find_if(pieces.begin(), pieces.end(),
                                      [](const R13Layout::Piece& p) { return p.part == R13Part::Objects; });
    const auto map = std::find_if(pieces.begin(), pieces.end(),
                                  [](const R13Layout::Piece& p) { return p.part == R13Part::ObjectMap; });
    if (map < objects) std::rotate(map, objects, objects + 1);
    return pieces;
}

// ---------------------------------------------------------------- writing

// Where each locator record's section went (seeker, size), once written.
struct Placed {
    bool present = false;
    std::uint32_t seeker = 0;
    std::uint32_t size = 0;
};
using Records = std::array<Placed, kMaxLocators>;

void appendFramed(Bytes& out, const Sentinel& start, const std::vector<std::uint8_t>& data, const Sentinel& end,
                  const char* name) {
    if (data.size() > std::numeric_limits<std::uint32_t>::max() - 64)
        throw std::length_error(std::string(name) + ": " + num(data.size()) + " bytes do not fit an RL size");
    appendBytes(out, start);
    const std::size_t sizeAt = out.size();
    support::appendLE32(out, static_cast<std::uint32_t>(data.size()));
    appendBytes(out, data);
    const std::uint16_t crc = crc16(kCrc16Seed, std::span<const std::uint8_t>(out).subspan(sizeAt));
    out.push_back(static_cast<std::uint8_t>(crc));
    out.push_back(static_cast<std::uint8_t>(crc >> 8));
    appendBytes(out, end);
}

std::uint64_t bigEndianValue(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t value = 0;
    for (const std::uint8_t byte : bytes) value = (value << 8) | byte;
    return value;
}

std::vector<std::uint8_t> bigEndianBytes(std::uint64_t value) {
    std::vector<std::uint8_t> bytes;
    for (int shift = 56; shift >= 0; shift -= 8) {
        const auto byte = static_cast<std::uint8_t>(value >> shift);
        if (byte != 0 || !bytes.empty() || shift == 0) bytes.push_back(byte);
    }
    return bytes;
}

Bytes encodeSecondHeader(const R13SecondHeader& header, const DwgFile& file, const Records& records,
                         std::size_t at, std::uint64_t handseed) {
    BitWriter stream(Release::R2000);
    stream.writeBL(static_cast<std::int32_t>(static_cast<std::uint32_t>(at)));
    for (const char c : versionString(file.release)) stream.writeRC(static_cast<std::uint8_t>(c));
    for (const std::uint8_t byte : header.versionBytes) stream.writeRC(byte);
    stream.writeBS(static_cast<std::int16_t>(header.writer));
    stream.writeRS(file.codePage);
    stream.writeBS(static_cast<std::int16_t>(header.sectionIds.size()));
    for (const std::uint8_t id : header.sectionIds) {
        // Sections that follow the second header are not placed yet when
        // AutoCAD writes it; it lists them as 0/0, and so do we.
        const Placed placed = id < records.size() ? records[id] : Placed{};
        stream.writeRC(id);
        stream.writeBL(static_cast<std::int32_t>(placed.seeker));
        stream.writeBL(static_cast<std::int32_t>(placed.size));
    }
    stream.writeBS(static_cast<std::int16_t>(header.handles.size()));
    for (const R13SecondHeader::Handle& handle : header.handles) {
        std::vector<std::uint8_t> value = handle.value;
        if (handle.index == kHandseedIndex && bigEndianValue(value) < handseed) value = bigEndianBytes(handseed);
        stream.writeRC(static_cast<std::uint8_t>(value.size()));
        stream.writeRC(handle.index);
        for (const std::uint8_t byte : value) stream.writeRC(byte);
    }
    if (const unsigned used = static_cast<unsigned>(stream.bitPos() % 8); used != 0) {
        const unsigned padCount = 8 - used;
        stream.writeBits(header.padBits & ((1U << padCount) - 1), padCount);
    }
    const std::vector<std::uint8_t>& bits = stream.bytes();

    Bytes out;
    out.reserve(16 + 4 + bits.size() + 2 + header.trailer.size() + 16);
    appendBytes(out, kSecondHeaderStart);
    support::appendLE32(out, static_cast<std::uint32_t>(4 + bits.size() + 2 + header.trailer.size()));
    appendBytes(out, bits);
    const std::uint16_t crc = crc16(kCrc16Seed, std::span<const std::uint8_t>(out).subspan(16));
    out.push_back(static_cast<std::uint8_t>(crc));
    out.push_back(static_cast<std::uint8_t>(crc >> 8));
    appendBytes(out, header.trailer);
    appendBytes(out, kSecondHeaderEnd);
    return out;
}

// ODA §27 with the values AutoCAD 2000 writes where the document gives them;
// dates are left 0 (they are in the header variables, which this layer does
// not read).
Bytes defaultAuxHeader(std::uint32_t handseed) {
    Bytes aux{0xFF, 0x77, 0x01};
    auto rs = [&aux](std::uint16_t value) {
        aux.push_back(static_cast<std::uint8_t>(value));
        aux.push_back(static_cast<std::uint8_t>(value >> 8));
    };
    constexpr std::uint16_t kAc1015 = 23;
    rs(kAc1015);           // DWG version
    rs(0);                 // maintenance version
    support::appendLE32(aux, 1);      // number of saves
    support::appendLE32(aux, 0xFFFFFFFF);
    rs(1);                 // saves up to 0x7FFF
    rs(0);                 // saves beyond 0x7FFF
    support::appendLE32(aux, 0);
    for (const std::uint16_t value : {kAc1015, std::uint16_t{0}, kAc1015, std::uint16_t{0}, std::uint16_t{5},
                                      std::uint16_t{0x893}, std::uint16_t{5}, std::uint16_t{0x893},
                                      std::uint16_t{0}, std::uint16_t{1}})
        rs(value);
    for (int i = 0; i < 5; ++i) support::appendLE32(aux, 0);
    support::appendLE64(aux, 0);     // TDCREATE
    support::appendLE64(aux, 0);     // TDUPDATE
    support::appendLE32(aux, handseed);
    support::appendLE32(aux, 0);      // educational plot stamp
    rs(0);
    rs(1);                 // the first save count minus the second
    for (int i = 0; i < 3; ++i) support::appendLE32(aux, 0);
    support::appendLE32(aux, 1);      // number of saves
    for (int i = 0; i < 4; ++i) support::appendLE32(aux, 0);
    return aux;
}

// ODA §21 (R13's "unknown section", ODA §25): the values the document gives.
Bytes defaultObjFreeSpace(std::size_t objectCount) {
    Bytes bytes;
    support::appendLE32(bytes, 0);
    support::appendLE32(bytes, static_cast<std::uint32_t>(std::min<std::size_t>(objectCount, 0xFFFFFFFF)));
    support::appendLE64(bytes, 0);   // TDUPDATE
    support::appendLE32(bytes, 0);    // the objects' start, filled in on write
    bytes.push_back(4);
    for (const std::uint64_t value : {0x32ULL, 0x64ULL, 0x200ULL, 0xFFFFFFFFULL}) support::appendLE64(bytes, value);
    return bytes;
}

Bytes emptyImage() {
    Bytes image(kPreviewStart.begin(), kPreviewStart.end());
    support::appendLE32(image, 1);    // the entry count that follows
    image.push_back(0);    // no entries
    appendBytes(image, kPreviewEnd);
    return image;
}

// The second header AutoCAD writes for a new drawing, with the file header's
// version and writer bytes and locator records of `layout`.
R13SecondHeader freshSecondHeader(const R13Layout& layout) {
    R13SecondHeader second;
    second.versionBytes = layout.versionBytes;
    second.writer = static_cast<std::uint16_t>(layout.writerBytes[0] | (layout.writerBytes[1] << 8));
    second.sectionIds = layout.locatorNumbers;
    // The control objects at the handles AutoCAD gives them in a new
    // drawing: block records, layers, styles, linetypes, views, UCSs,
    // viewports, applications, dimension styles, viewport entity headers,
    // the named object dictionary, the STANDARD multiline style and the
    // group dictionary.
    static constexpr std::array<std::uint8_t, 13> kControlHandles{0x01, 0x02, 0x03, 0x05, 0x06, 0x07, 0x08,
                                                                  0x09, 0x0A, 0x0B, 0x0C, 0x17, 0x0D};
    // HANDSEED 0: the writer raises it to the drawing's.
    second.handles.push_back({kHandseedIndex, bigEndianBytes(0)});
    for (std::size_t i = 0; i < kControlHandles.size(); ++i)
        second.handles.push_back({static_cast<std::uint8_t>(i + 1), {kControlHandles[i]}});
    if (layout.release != Release::R13) second.trailer.assign(8, 0);
    return second;
}

// What AutoCAD writes for a drawing of `file.release`, for a drawing that
// was not read from a file.
R13Layout defaultLayout(const DwgFile& file) {
    R13Layout layout;
    layout.release = file.release;
    const bool r2000 = file.release == Release::R2000;
    const bool r13 = file.release == Release::R13;
    // ACADMAINTVER 0x0F and 0x17 0x00 (AC1015, maintenance 0) are what
    // AutoCAD's 2000 files carry; R13/R14 files carry ACADMAINTVER 0.
    layout.versionBytes = {0, 0, 0, 0, 0, static_cast<std::uint8_t>(r2000 ? 0x0F : 0), 1};
    layout.writerBytes = {static_cast<std::uint8_t>(r13 ? 0 : (r2000 ? 0x17 : 0x15)), 0};
    const std::size_t records = r2000 ? 6 : 5;
    for (std::size_t i = 0; i < records; ++i) layout.locatorNumbers.push_back(static_cast<std::uint8_t>(i));

    const Bytes measurement{0, 0, 0, 0};  // no template description, MEASUREMENT 0 (English)
    auto& pieces = layout.pieces;
    pieces.push_back({R13Part::FileHeader, {}});
    if (r2000) pieces.push_back({R13Part::AuxHeader, defaultAuxHeader(0)});
    pieces.push_back({R13Part::Image, emptyImage()});
    pieces.push_back({R13Part::HeaderVariables, {}});
    pieces.push_back({R13Part::Classes, {}});
    if (r13) {
        pieces.push_back({R13Part::Template, measurement});
        pieces.push_back({R13Part::Filler, Bytes(kR13PaddingAfterTemplate, 0)});
    } else {
        pieces.push_back({R13Part::Filler, Bytes(kAfterClasses.begin(), kAfterClasses.end())});
    }
    pieces.push_back({R13Part::Objects, {}});
    pieces.push_back({R13Part::ObjectMap, {}});
    if (r13) {
        pieces.push_back({R13Part::ObjFreeSpace, defaultObjFreeSpace(file.objects.size())});
        layout.freeSpaceHoldsObjectsStart = true;
    }
    pieces.push_back({R13Part::SecondHeader, {}});
    if (!r13) pieces.push_back({R13Part::Template, measurement});

    layout.hasSecondHeader = true;
    layout.secondHeader = freshSecondHeader(layout);
    return layout;
}

// Puts a fresh second header or aux header where the file had none or a
// damaged one, with a repair for each that was missing.
void completeLayout(R13Layout& layout, std::size_t secondAt, bool auxLocated, std::vector<Repair>& repairs) {
    auto& pieces = layout.pieces;
    auto has = [&](R13Part part) {
        return std::any_of(pieces.begin(), pieces.end(), [part](const R13Layout::Piece& p) { return p.part == part; });
    };
    auto after = [&](R13Part part) {
        auto at = std::find_if(pieces.begin(), pieces.end(), [part](const R13Layout::Piece& p) { return p.part == part; });
        return at == pieces.end() ? at : at + 1;
    };
    // AutoCAD writes a second header from R13C3 on; R13 files may lack one.
    if (!layout.hasSecondHeader && layout.release != Release::R13) {
        // One that overlapped another stretch was reported when it was left out.
        if (std::none_of(repairs.begin(), repairs.end(),
                         [](const Repair& r) { return r.structure == "second file header"; }))
            repairs.push_back(
                {"second file header", "missing: no start sentinel at byte " + num(secondAt), "a fresh one"});
        const R13Part before = has(R13Part::ObjFreeSpace) ? R13Part::ObjFreeSpace : R13Part::ObjectMap;
        pieces.insert(after(before), {R13Part::SecondHeader, {}});
        layout.hasSecondHeader = true;
        layout.secondHeader = freshSecondHeader(layout);
    }
    if (layout.release == Release::R2000 && layout.locatorNumbers.size() > kAuxRecord && !has(R13Part::AuxHeader)) {
        if (!auxLocated) repairs.push_back({"AcDb:AuxHeader", "missing: section locator 5 is empty", "a fresh one"});
        pieces.insert(after(R13Part::FileHeader), {R13Part::AuxHeader, defaultAuxHeader(0)});
    }
}

void checkLayout(const R13Layout& layout) {
    auto fail = [](const std::string& what) { throw std::invalid_argument("R13-2000 layout: " + what); };
    const std::size_t records = layout.locatorNumbers.size();
    if (records < kMinLocators || records > kMaxLocators)
        fail(num(records) + " locator records, expected " + num(kMinLocators) + " to " + num(kMaxLocators));
    std::array<int, static_cast<std::size_t>(R13Part::Filler) + 1> counts{};
    for (const R13Layout::Piece& piece : layout.pieces) {
        ++counts[static_cast<std::size_t>(piece.part)];
        if (piece.part == R13Part::ObjectMap && counts[static_cast<std::size_t>(R13Part::Objects)] == 0)
            fail("the object map comes before the objects");
    }
    if (layout.pieces.empty() || layout.pieces.front().part != R13Part::FileHeader)
        fail("the file header does not come first");
    for (const R13Part part : {R13Part::FileHeader, R13Part::HeaderVariables, R13Part::Classes, R13Part::Objects,
                               R13Part::ObjectMap}) {
        if (counts[static_cast<std::size_t>(part)] != 1)
            fail(num(static_cast<std::size_t>(counts[static_cast<std::size_t>(part)])) + " pieces of " +
                 partName(part) + ", expected 1");
    }
    for (const R13Part part : {R13Part::AuxHeader, R13Part::Image, R13Part::ObjFreeSpace, R13Part::SecondHeader,
                               R13Part::Template}) {
        if (counts[static_cast<std::size_t>(part)] > 1) fail(std::string("more than one ") + partName(part));
    }
    auto needsRecord = [&](R13Part part, std::size_t record) {
        if (counts[static_cast<std::size_t>(part)] != 0 && records <= record)
            fail(std::string(partName(part)) + " without locator record " + num(record));
    };
    needsRecord(R13Part::ObjFreeSpace, kFreeSpaceRecord);
    needsRecord(R13Part::Template, kTemplateRecord);
    needsRecord(R13Part::AuxHeader, kAuxRecord);
    if ((counts[static_cast<std::size_t>(R13Part::SecondHeader)] != 0) != layout.hasSecondHeader)
        fail("the second header piece and hasSecondHeader disagree");
    if (layout.secondHeader.sectionIds.size() > 0x7FFF || layout.secondHeader.handles.size() > 0x7FFF)
        fail("the second header lists more than 32767 sections or handles");
    for (const R13SecondHeader::Handle& handle : layout.secondHeader.handles) {
        if (handle.value.size() > 8) fail("a second header handle of more than 8 bytes");
    }
    for (const R13Layout::Piece& piece : layout.pieces) {
        if (piece.part == R13Part::Image) {
            for (const std::uint32_t field : layout.imageAddressFields) {
                if (field > piece.bytes.size() || piece.bytes.size() - field < 4)
                    fail("an image address field at " + num(field) + " outside its " + num(piece.bytes.size()) +
                         " bytes");
            }
        }
    }
}

}  // namespace

DwgFile readR13To2000(std::span<const std::uint8_t> bytes, Release release, const ReadOptions& options) {
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max())
        throw FormatError("file: " + num(bytes.size()) + " bytes, more than the RL offsets of R13-2000 reach");
    DwgFile file;
    const std::vector<Locator> locators = readLocators(bytes, file.repairs);

    file.release = release;
    file.codePage = support::loadLE16(bytes, kCodePageAt);
    auto layout = std::make_shared<R13Layout>();
    layout->release = release;
    std::copy_n(bytes.begin() + kVersionBytesAt, layout->versionBytes.size(), layout->versionBytes.begin());
    std::copy_n(bytes.begin() + kWriterBytesAt, layout->writerBytes.size(), layout->writerBytes.begin());
    for (const Locator& locator : locators) layout->locatorNumbers.push_back(locator.number);

    std::vector<Stretch> stretches;
    stretches.push_back({R13Part::FileHeader, 0, fileHeaderSize(locators.size()), {}});

    std::size_t end = 0;
    const Locator& headerLocator = locators[kHeaderRecord];
    const ByteSpan header =
        readFramedSection(bytes, headerLocator.seeker, kHeaderStart, kHeaderEnd, "AcDb:Header", end);
    file.headerVariables.assign(header.begin(), header.end());
    stretches.push_back({R13Part::HeaderVariables, headerLocator.seeker, end, {}});

    const Locator& classesLocator = locators[kClassesRecord];
    const ByteSpan classes =
        readFramedSection(bytes, classesLocator.seeker, kClassesStart, kClassesEnd, "AcDb:Classes", end);
    file.classes.assign(classes.begin(), classes.end());
    stretches.push_back({R13Part::Classes, classesLocator.seeker, end, {}});

    const Locator& mapLocator = locators[kMapRecord];
    const ByteSpan mapBytes = bytes.subspan(mapLocator.seeker, mapLocator.size);
    stretches.push_back({R13Part::ObjectMap, mapLocator.seeker, std::size_t{mapLocator.seeker} + mapLocator.size, {}});
    std::size_t objectsBegin = mapLocator.seeker;
    std::size_t objectsEnd = mapLocator.seeker;
    if (!options.recoverObjectMap) {
        const std::vector<ObjectMapEntry> map = readObjectMap(mapBytes);
        try {
            collectObjects(bytes, 0, map, file);
        } catch (const FormatError& error) {
            throw error.withContext("objects");
        }
        // The objects are in file order and do not overlap, so the last one ends last.
        if (!map.empty()) {
            const auto [first, last] = std::minmax_element(
                map.begin(), map.end(), [](const ObjectMapEntry& a, const ObjectMapEntry& b) { return a.location < b.location; });
            objectsBegin = static_cast<std::size_t>(first->location);
            objectsEnd = static_cast<std::size_t>(last->location) + file.objects.back().size;
        }
    }

    const bool hasFreeSpace = locators.size() > kFreeSpaceRecord && locators[kFreeSpaceRecord].present();
    if (hasFreeSpace) stretches.push_back(rawSection(bytes, R13Part::ObjFreeSpace, locators[kFreeSpaceRecord]));
    if (locators.size() > kTemplateRecord && locators[kTemplateRecord].present())
        stretches.push_back(rawSection(bytes, R13Part::Template, locators[kTemplateRecord]));
    if (locators.size() > kAuxRecord && locators[kAuxRecord].present())
        stretches.push_back(rawSection(bytes, R13Part::AuxHeader, locators[kAuxRecord]));

    // Seeker 0 is a file without a preview, which the format allows.
    if (const std::uint32_t seeker = support::loadLE32(bytes, kImageSeekerAt); seeker != 0) {
        try {
            stretches.push_back(readImage(bytes, seeker, layout->imageAddressFields));
        } catch (const FormatError& error) {
            layout->imageAddressFields.clear();
            file.repairs.push_back({"preview image", problemOf(error, "preview image"), onSave(R13Part::Image)});
        }
    }

    // The errata: the second header follows the ObjFreeSpace section; files
    // without that section have it right after the object map.
    const Locator& before = hasFreeSpace ? locators[kFreeSpaceRecord] : mapLocator;
    const std::size_t secondAt = std::size_t{before.seeker} + before.size;
    if (sentinelAt(bytes, secondAt, kSecondHeaderStart)) {
        try {
            stretches.push_back(readSecondHeader(bytes, secondAt, layout->secondHeader));
        } catch (const FormatError& error) {
            file.repairs.push_back(
                {"second file header", problemOf(error, "second file header"), onSave(R13Part::SecondHeader)});
            stretches.push_back(damagedSecondHeader(bytes, secondAt, stretches));
            layout->secondHeader = freshSecondHeader(*layout);
        }
        layout->hasSecondHeader = true;
    }

    if (options.recoverObjectMap) {
        // The objects can only lie where no other stretch of the file does.
        std::vector<std::pair<std::size_t, std::size_t>> taken;
        for (const Stretch& stretch : stretches) taken.emplace_back(stretch.begin, stretch.end);
        std::sort(taken.begin(), taken.end());
        std::vector<std::pair<std::size_t, std::size_t>> free;
        std::size_t cursor = 0;
        for (const auto& [from, to] : taken) {
            if (from > cursor) free.emplace_back(cursor, from);
            cursor = std::max(cursor, to);
        }
        if (cursor < bytes.size()) free.emplace_back(cursor, bytes.size());
        try {
            const auto [first, last] = recoverObjects(bytes, 0, free, readObjectMapLeniently(mapBytes), file);
            if (!file.objects.empty()) {
                objectsBegin = static_cast<std::size_t>(first);
                objectsEnd = static_cast<std::size_t>(last);
            }
        } catch (const FormatError& error) {
            throw error.withContext("objects");
        }
    }
    if (hasFreeSpace) {
        const auto freeSpace = std::find_if(stretches.begin(), stretches.end(),
                                            [](const Stretch& s) { return s.part == R13Part::ObjFreeSpace; });
        layout->freeSpaceHoldsObjectsStart = !file.objects.empty() && freeSpace->bytes.size() >= kFreeSpaceObjectsAt + 4 &&
                                             support::loadLE32(freeSpace->bytes, kFreeSpaceObjectsAt) == objectsBegin;
    }

    layout->pieces = orderPieces(bytes, std::move(stretches), objectsBegin, objectsEnd, *layout, file.repairs);
    const bool auxLocated = locators.size() > kAuxRecord &&
                            (locators[kAuxRecord].present() ||
                             std::any_of(file.repairs.begin(), file.repairs.end(),
                                         [](const Repair& r) { return r.structure == "AcDb:AuxHeader"; }));
    completeLayout(*layout, secondAt, auxLocated, file.repairs);
    file.layout = std::move(layout);
    return file;
}

std::vector<std::uint8_t> writeR13To2000(const DwgFile& file) {
    if (file.release != Release::R13 && file.release != Release::R14 && file.release != Release::R2000)
        throw std::invalid_argument("R13-2000 writer: release " + std::string(releaseName(file.release)));

    std::uint64_t objectsSize = 0;
    std::uint64_t maxHandle = 0;
    for (const ObjectLocation& object : file.objects) {
        if (object.offset > file.objectBytes.size() || file.objectBytes.size() - object.offset < object.size)
            throw std::invalid_argument("object " + hex(object.handle) + ": " + num(object.size) + " bytes at " +
                                        num(object.offset) + " outside objectBytes (" +
                                        num(file.objectBytes.size()) + " bytes)");
        objectsSize += object.size;
        maxHandle = std::max(maxHandle, object.handle);
    }
    // HANDSEED is the next free handle.
    const std::uint64_t handseed = maxHandle + 1;

    const auto* given = dynamic_cast<const R13Layout*>(file.layout.get());
    R13Layout made;
    if (given == nullptr || given->release != file.release) made = defaultLayout(file);
    const R13Layout& layout = (given != nullptr && given->release == file.release) ? *given : made;
    checkLayout(layout);

    std::uint64_t estimate = objectsSize + file.headerVariables.size() + file.classes.size() + 1024 +
                             file.objects.size() * 6;
    for (const R13Layout::Piece& piece : layout.pieces) estimate += piece.bytes.size();
    if (estimate > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("R13-2000 writer: " + num(estimate) + " bytes, more than RL offsets reach");
    Bytes out;
    out.reserve(static_cast<std::size_t>(estimate));

    Records records{};
    auto place = [&records](std::size_t record, std::size_t begin, std::size_t end) {
        records[record] = {true, static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end - begin)};
    };
    std::size_t imageAt = 0;
    std::size_t objectsAt = 0;
    std::size_t freeSpaceAt = 0;
    bool freeSpaceWritten = false;
    std::vector<ObjectMapEntry> map;

    for (const R13Layout::Piece& piece : layout.pieces) {
        const std::size_t start = out.size();
        switch (piece.part) {
            case R13Part::FileHeader:
                out.resize(start + fileHeaderSize(layout.locatorNumbers.size()));  // filled in at the end
                break;
            case R13Part::AuxHeader:
                appendBytes(out, piece.bytes);
                if (piece.bytes.size() >= kAuxHandseedAt + 4) {
                    const std::uint32_t stored = support::loadLE32(out, start + kAuxHandseedAt);
                    const std::uint32_t wanted = handseed < 0x7FFFFFFF ? static_cast<std::uint32_t>(handseed)
                                                                        : 0xFFFFFFFF;
                    if (stored != 0xFFFFFFFF && stored < wanted) support::storeLE32(out, start + kAuxHandseedAt, wanted);
                }
                place(kAuxRecord, start, out.size());
                break;
            case R13Part::Image:
                appendBytes(out, piece.bytes);
                for (const std::uint32_t field : layout.imageAddressFields)
                    support::storeLE32(out, start + field, support::loadLE32(out, start + field) + static_cast<std::uint32_t>(start));
                imageAt = start;
                break;
            case R13Part::HeaderVariables:
                appendFramed(out, kHeaderStart, file.headerVariables, kHeaderEnd, "AcDb:Header");
                place(kHeaderRecord, start, out.size());
                break;
            case R13Part::Classes:
                appendFramed(out, kClassesStart, file.classes, kClassesEnd, "AcDb:Classes");
                place(kClassesRecord, start, out.size());
                break;
            case R13Part::Objects:
                objectsAt = start;
                for (const ObjectLocation& object : file.objects) appendBytes(out, file.bytesOf(object));
                map = layOutObjects(file, static_cast<std::int64_t>(start));
                break;
            case R13Part::ObjectMap:
                appendBytes(out, writeObjectMap(map));
                place(kMapRecord, start, out.size());
                break;
            case R13Part::ObjFreeSpace:
                appendBytes(out, piece.bytes);
                freeSpaceAt = start;
                freeSpaceWritten = true;
                place(kFreeSpaceRecord, start, out.size());
                break;
            case R13Part::SecondHeader:
                appendBytes(out, encodeSecondHeader(layout.secondHeader, file, records, start, handseed));
                break;
            case R13Part::Template:
                appendBytes(out, piece.bytes);
                place(kTemplateRecord, start, out.size());
                break;
            case R13Part::Filler:
                appendBytes(out, piece.bytes);
                break;
        }
    }
    if (out.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("R13-2000 writer: " + num(out.size()) + " bytes, more than RL offsets reach");
    if (freeSpaceWritten && layout.freeSpaceHoldsObjectsStart &&
        out.size() - freeSpaceAt >= kFreeSpaceObjectsAt + 4)
        support::storeLE32(out, freeSpaceAt + kFreeSpaceObjectsAt, static_cast<std::uint32_t>(objectsAt));

    // The file header, now that every section has its place (ODA §3.2).
    const std::string_view version = versionString(file.release);
    std::copy(version.begin(), version.end(), out.begin());
    std::copy(layout.versionBytes.begin(), layout.versionBytes.end(), out.begin() + kVersionBytesAt);
    support::storeLE32(out, kImageSeekerAt, static_cast<std::uint32_t>(imageAt));
    std::copy(layout.writerBytes.begin(), layout.writerBytes.end(), out.begin() + kWriterBytesAt);
    support::storeLE16(out, kCodePageAt, file.codePage);
    const std::size_t count = layout.locatorNumbers.size();
    support::storeLE32(out, kLocatorCountAt, static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kLocatorsAt + kLocatorSize * i;
        out[at] = layout.locatorNumbers[i];
        support::storeLE32(out, at + 1, records[i].seeker);
        support::storeLE32(out, at + 5, records[i].size);
    }
    const std::size_t crcAt = kLocatorsAt + kLocatorSize * count;
    support::storeLE16(out, crcAt,
          static_cast<std::uint16_t>(crc16(0, std::span<const std::uint8_t>(out).first(crcAt)) ^
                                     kLocatorCrcXor[count - kMinLocators]));
    std::copy(kLocatorsEnd.begin(), kLocatorsEnd.end(), out.begin() + static_cast<std::ptrdiff_t>(crcAt + 2));
    return out;
}

}  // namespace dwg
