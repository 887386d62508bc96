#include "dwg/container/r2007.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "dwg/bits/crc.h"
#include "dwg/container/compression_2007.h"
#include "dwg/container/object_map.h"
#include "dwg/container/preview_section.h"
#include "dwg/container/sections.h"
#include "dwg/container/sentinels.h"
#include "dwg/errors.h"
#include "support/hex.h"
#include "support/little_endian.h"

namespace dwg {
namespace {

using namespace sections;

// ODA §5.2: the meta data, then the file header's page; the page map's
// addresses count from the end of that page.
constexpr std::size_t kFileHeaderAt = 0x80;
constexpr std::size_t kPagesStart = 0x480;
constexpr std::size_t kHeaderDataSize = 0x110;

// ODA §5.13: Reed-Solomon codewords of 255 bytes, 239 of them data in the
// file header and the system pages, 251 in the data pages.
constexpr std::size_t kCodewordSize = 255;
constexpr std::size_t kSystemDataBytes = 239;
constexpr std::size_t kPageDataBytes = 251;
constexpr std::size_t kFileHeaderCodewords = 3;
// ODA §5.2.1.5: check sequence CRC and value, compressed data CRC,
// compressed size and a second length before the compressed file header.
constexpr std::size_t kFileHeaderPrefix = 0x20;

// Meta data fields (ODA §5.2).
constexpr std::size_t kPreviewAddressAt = 0x0D;
constexpr std::size_t kCodePageAt = 0x13;
constexpr std::size_t kSecurityFlagsAt = 0x18;
// ODA §4.1: security flag 1 encrypts the data sections, 2 the preview and
// summary info, both with the drawing's password.
constexpr std::uint32_t kPasswordFlags = 0x03;

// Fields of the decompressed file header (ODA §5.2).
constexpr std::size_t kFileSizeAt = 0x08;
constexpr std::size_t kPageMapFactorAt = 0x18;
constexpr std::size_t kPageMap2IdAt = 0x30;
constexpr std::size_t kPageMapOffsetAt = 0x38;
constexpr std::size_t kPageMapIdAt = 0x40;
constexpr std::size_t kPageMapCompressedAt = 0x50;
constexpr std::size_t kPageMapSizeAt = 0x58;
constexpr std::size_t kSectionMapCompressedAt = 0xB0;
constexpr std::size_t kSectionMap2IdAt = 0xB8;
constexpr std::size_t kSectionMapIdAt = 0xC0;
constexpr std::size_t kSectionMapSizeAt = 0xC8;
constexpr std::size_t kSectionMapFactorAt = 0xD8;

// ODA §5.2: eight 64-bit fields and the name, then per page seven.
constexpr std::size_t kDescriptionSize = 64;
constexpr std::size_t kPageRefSize = 56;


// The budget of decompressed bytes a file may claim: far more than any real
// drawing needs, far less than a corrupt size field could ask for.
std::uint64_t decompressedBudget(std::size_t fileSize) { return 64 * std::uint64_t{fileSize} + (16U << 20); }

std::string hex(std::uint64_t value) { return support::hexNumber(value); }
std::string num(std::uint64_t value) { return std::to_string(value); }

std::uint64_t alignTo8(std::uint64_t size) { return (size + 7) & ~std::uint64_t{7}; }

// ODA §5.13.2: the first `count` data bytes of `codewords` interleaved
// codewords of `dataBytes` data bytes each; codeword b's byte j sits at
// b + j * codewords. The parity bytes are not looked at.
std::vector<std::uint8_t> deinterleave(std::span<const std::uint8_t> coded, std::size_t codewords,
                                       std::size_t dataBytes, std::size_t count) {
    std::vector<std::uint8_t> out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = coded[i / dataBytes + (i % dataBytes) * codewords];
    return out;
}

// ODA §5.4.1: the data page checksum, two sums modulo 0xFFF1 that start from
// a seed mixed with the length and take each 8 bytes in the order 6 7 4 5
// 2 3 0 1, reduced every 0x15B0 bytes.
std::uint32_t dataChecksum(std::uint64_t seed, std::span<const std::uint8_t> data) {
    static constexpr std::uint8_t kGroup[8] = {6, 7, 4, 5, 2, 3, 0, 1};
    static constexpr std::uint8_t kRest[8][7] = {{},
                                                {0},
                                                {0, 1},
                                                {0, 1, 2},
                                                {2, 3, 0, 1},
                                                {2, 3, 0, 1, 4},
                                                {2, 3, 0, 1, 4, 5},
                                                {2, 3, 0, 1, 4, 5, 6}};
    seed = (seed + data.size()) * 0x343FD + 0x269EC3;
    std::uint64_t sum1 = seed & 0xFFFF;
    std::uint64_t sum2 = (seed >> 16) & 0xFFFF;
    std::size_t at = 0;
    while (at < data.size()) {
        const std::size_t chunk = std::min<std::size_t>(0x15B0, data.size() - at);
        const std::size_t end = at + chunk / 8 * 8;
        for (; at < end; at += 8) {
            for (const std::uint8_t i : kGroup) {
                sum1 += data[at + i];
                sum2 += sum1;
            }
        }
        const std::size_t rest = chunk % 8;
        for (std::size_t i = 0; i < rest; ++i) {
            sum1 += data[at + kRest[rest][i]];
            sum2 += sum1;
        }
        at += rest;
        sum1 %= 0xFFF1;
        sum2 %= 0xFFF1;
    }
    return static_cast<std::uint32_t>((sum2 << 16) | (sum1 & 0xFFFF));
}

// Bytes between the sentinels of AcDb:Header or AcDb:Classes (ODA §5.8,
// §5.9, framed as in ODA §9, §10.2): the size, the data, the CRC-16 over
// size and data.
std::vector<std::uint8_t> unframe(std::span<const std::uint8_t> section, std::string_view name, const Sentinel& start,
                                  const Sentinel& end, std::vector<std::uint8_t>& trailer) {
    const std::string where(name);
    if (section.size() < start.size() + 4)
        throw FormatError(where + ": expected at least 20 bytes, found " + num(section.size()));
    if (!std::equal(start.begin(), start.end(), section.begin()))
        throw FormatError(where + ": start sentinel expected " + hexBytes(start) + ", found " +
                          hexBytes(section.first(16)));
    const std::uint32_t size = support::loadLE32(section, 16);
    const std::size_t room = section.size() - 20;
    if (size > room || room - size < 2 + end.size())
        throw FormatError(where + ": declares " + num(size) + " bytes of data, " + num(room) +
                          " left before the CRC and end sentinel");
    const std::uint16_t stored = support::loadLE16(section, 20 + size);
    const std::uint16_t computed = crc16(kCrc16Seed, section.subspan(16, 4 + std::size_t{size}));
    if (!checksumMatches(stored, computed))
        throw FormatError(where + ": CRC expected " + hex(computed) + ", found " + hex(stored));
    const auto endAt = section.subspan(22 + std::size_t{size}, end.size());
    if (!std::equal(end.begin(), end.end(), endAt.begin()))
        throw FormatError(where + ": end sentinel expected " + hexBytes(end) + ", found " + hexBytes(endAt));
    const auto rest = section.subspan(22 + std::size_t{size} + end.size());
    trailer.assign(rest.begin(), rest.end());
    const auto data = section.subspan(20, size);
    return {data.begin(), data.end()};
}

struct PageEntry {
    std::uint64_t address = 0;
    std::uint64_t size = 0;
    bool used = false;
};

struct Description {
    R2007Section section;
    bool damaged = false;  // a redundant section that could not be read
};

class Reader2007 {
public:
    Reader2007(std::span<const std::uint8_t> file, const ReadOptions& options)
        : m_file(file), m_options(options), m_budget(decompressedBudget(file.size())) {}

    DwgFile read() {
        if (m_file.size() < kPagesStart)
            throw FormatError("file header: expected " + num(kPagesStart) + " bytes, found " + num(m_file.size()));
        auto layout = std::make_shared<R2007Layout>();
        std::copy_n(m_file.begin(), layout->fileHeader.size(), layout->fileHeader.begin());
        const std::uint32_t security = support::loadLE32(m_file, kSecurityFlagsAt);
        if ((security & kPasswordFlags) != 0)
            throw UnsupportedRelease("the drawing is password protected (security flags " + hex(security) + ")");
        readFileHeader(*layout);

        const std::span<const std::uint8_t> header(layout->headerData);
        const std::uint64_t fileSize = support::loadLE64(header, kFileSizeAt);
        if (fileSize > m_file.size())
            throw FormatError("file header: declares a file of " + num(fileSize) + " bytes, found " +
                              num(m_file.size()));
        const std::uint64_t pageMapOffset = support::loadLE64(header, kPageMapOffsetAt);
        if (pageMapOffset > m_file.size() - kPagesStart)
            throw FormatError("file header: page map offset " + num(pageMapOffset) + " lies past the end of the file");
        readPageMap(readSystemPage("page map", kPagesStart + pageMapOffset, support::loadLE64(header, kPageMapCompressedAt),
                                   support::loadLE64(header, kPageMapSizeAt), support::loadLE64(header, kPageMapFactorAt),
                                   m_file.size() - kPagesStart - pageMapOffset));
        const std::uint64_t sectionMapId = support::loadLE64(header, kSectionMapIdAt);
        const auto sectionMapPage = m_pages.find(sectionMapId);
        if (sectionMapPage == m_pages.end())
            throw FormatError("page map: no page " + num(sectionMapId) + " for the section map");
        // So that no data section can claim a system page or its copy.
        for (const std::size_t at : {kPageMapIdAt, kPageMap2IdAt, kSectionMapIdAt, kSectionMap2IdAt}) {
            if (const auto page = m_pages.find(support::loadLE64(header, at)); page != m_pages.end())
                page->second.used = true;
        }
        std::vector<Description> descriptions = readSectionMap(readSystemPage(
            "section map", sectionMapPage->second.address, support::loadLE64(header, kSectionMapCompressedAt),
            support::loadLE64(header, kSectionMapSizeAt), support::loadLE64(header, kSectionMapFactorAt),
            sectionMapPage->second.size));

        // The password check comes first: such a file fails later checks too.
        for (const Description& d : descriptions) {
            if (d.section.encrypted == 1 && isEssential(d.section.name))
                throw UnsupportedRelease("the drawing is password protected (" + d.section.name + " is encrypted)");
        }
        // The essential sections first, so that a redundant one cannot claim
        // their pages.
        std::vector<Description*> order;
        for (Description& d : descriptions) {
            if (isEssential(d.section.name)) order.push_back(&d);
        }
        for (Description& d : descriptions) {
            if (!isEssential(d.section.name)) order.push_back(&d);
        }
        std::uint64_t total = 0;
        for (Description* d : order) {
            const std::string name = d->section.name.empty() ? std::string("unnamed section") : d->section.name;
            try {
                if (d->section.encrypted == 1)
                    throw FormatError(name + ": marked encrypted (1) in the section map, in a drawing without a password");
                if (d->section.size > m_budget - total)
                    throw FormatError(name + ": declares " + num(d->section.size) + " bytes, more than a file of " +
                                      num(m_file.size()) + " bytes can hold");
                d->section.data = readSection(d->section, name);
                total += d->section.size;
            } catch (const FormatError& error) {
                if (m_options.recoverObjectMap && d->section.name == kHandlesName) {
                    // The objects are looked for by scanning AcDb:AcDbObjects.
                    m_lostMap = error.what();
                    d->section.data.clear();
                    continue;
                }
                if (isEssential(d->section.name)) throw;
                damaged(*d, name, error.what());
            }
        }
        return finish(std::move(descriptions), std::move(layout));
    }

private:
    // A redundant section that cannot be read is left out and reported.
    void damaged(Description& d, const std::string& name, std::string_view problem) {
        if (problem.starts_with(name + ": "))
            problem.remove_prefix(name.size() + 2);
        else if (problem.starts_with(name + " "))
            problem.remove_prefix(name.size() + 1);
        m_repairs.push_back({name, std::string(problem), onSaveOf(d.section.name)});
        d.section.data.clear();
        d.damaged = true;
    }

    // ODA §5.2: three interleaved codewords at 0x80, whose data bytes hold
    // the compressed (or, with a negative length, stored) file header.
    void readFileHeader(R2007Layout& layout) {
        const std::vector<std::uint8_t> data =
            deinterleave(m_file.subspan(kFileHeaderAt, kFileHeaderCodewords * kCodewordSize), kFileHeaderCodewords,
                         kSystemDataBytes, kFileHeaderCodewords * kSystemDataBytes);
        const auto length = static_cast<std::int32_t>(support::loadLE32(data, 0x18));
        const std::size_t room = data.size() - kFileHeaderPrefix;
        const auto payload = std::span<const std::uint8_t>(data).subspan(kFileHeaderPrefix);
        if (length > 0) {
            if (static_cast<std::size_t>(length) > room)
                throw FormatError("file header: declares " + num(static_cast<std::uint64_t>(length)) +
                                  " compressed bytes, its codewords hold " + num(room));
            std::size_t produced = 0;
            try {
                produced = decompress2007(payload.first(static_cast<std::size_t>(length)), layout.headerData);
            } catch (const FormatError& error) {
                throw error.withContext("file header");
            }
            if (produced != kHeaderDataSize)
                throw FormatError("file header: decompresses to " + num(produced) + " bytes, expected " +
                                  num(kHeaderDataSize));
        } else {
            const std::int64_t stored = -std::int64_t{length};
            if (stored < static_cast<std::int64_t>(kHeaderDataSize) || static_cast<std::uint64_t>(stored) > room)
                throw FormatError("file header: declares " + std::to_string(length) + " as its length, expected " +
                                  num(kHeaderDataSize) + " to " + num(room) + " bytes");
            std::copy_n(payload.begin(), kHeaderDataSize, layout.headerData.begin());
        }
    }

    // ODA §5.3: the data (compressed, padded to a multiple of 8) repeated
    // `factor` times and coded in interleaved codewords; the first copy is
    // read. `room` is what the page may take of the file.
    std::vector<std::uint8_t> readSystemPage(const std::string& name, std::uint64_t address, std::uint64_t compressed,
                                             std::uint64_t size, std::uint64_t factor, std::uint64_t room) {
        if (size == 0 || compressed == 0)
            throw FormatError(name + ": sizes " + num(compressed) + " compressed, " + num(size) +
                              " uncompressed, expected both above 0");
        if (size > m_budget)
            throw FormatError(name + ": declares " + num(size) + " bytes, more than a file of " +
                              num(m_file.size()) + " bytes can hold");
        if (compressed > size)
            throw FormatError(name + ": " + num(compressed) + " compressed bytes, more than its " + num(size) +
                              " bytes");
        const std::uint64_t aligned = alignTo8(compressed);
        if (factor == 0 || factor > m_file.size() / aligned)
            throw FormatError(name + ": repeat count " + num(factor) + " for " + num(aligned) +
                              " bytes, which a file of " + num(m_file.size()) + " bytes cannot hold");
        const std::uint64_t codewords = (aligned * factor + kSystemDataBytes - 1) / kSystemDataBytes;
        const std::uint64_t coded = codewords * kCodewordSize;
        if (address > m_file.size() || coded > m_file.size() - address || coded > room)
            throw FormatError(name + ": " + num(coded) + " bytes of codewords at " + num(address) +
                              " run past its page or the end of the file (" + num(m_file.size()) + " bytes)");
        const std::vector<std::uint8_t> data =
            deinterleave(m_file.subspan(static_cast<std::size_t>(address), static_cast<std::size_t>(coded)),
                         static_cast<std::size_t>(codewords), kSystemDataBytes, static_cast<std::size_t>(compressed));
        if (compressed == size) return data;
        std::vector<std::uint8_t> out(static_cast<std::size_t>(size));
        std::size_t produced = 0;
        try {
            produced = decompress2007(data, out);
        } catch (const FormatError& error) {
            throw error.withContext(name);
        }
        if (produced != size)
            throw FormatError(name + ": decompresses to " + num(produced) + " bytes, expected " + num(size));
        return out;
    }

    // ODA §5.2: size and id pairs; pages follow each other from 0x480. A
    // page of negative id is free.
    void readPageMap(std::span<const std::uint8_t> map) {
        if (map.size() % 16 != 0)
            throw FormatError("page map: " + num(map.size()) + " bytes, expected pairs of 16");
        std::uint64_t address = kPagesStart;
        for (std::size_t pos = 0; pos < map.size(); pos += 16) {
            const std::uint64_t size = support::loadLE64(map, pos);
            const auto id = static_cast<std::int64_t>(support::loadLE64(map, pos + 8));
            if (size > m_file.size() - address)
                throw FormatError("page map: page " + std::to_string(id) + " of " + num(size) + " bytes at " +
                                  num(address) + " runs past the end of the file (" + num(m_file.size()) + " bytes)");
            if (id > 0 && !m_pages.emplace(static_cast<std::uint64_t>(id), PageEntry{address, size}).second)
                throw FormatError("page map: page " + std::to_string(id) + " is listed twice");
            address += size;
        }
    }

    // ODA §5.2: per section eight fields, its UTF-16 name and its pages.
    std::vector<Description> readSectionMap(std::span<const std::uint8_t> map) {
        std::vector<Description> descriptions;
        std::size_t pos = 0;
        for (std::size_t index = 1; pos < map.size(); ++index) {
            if (map.size() - pos < kDescriptionSize)
                throw FormatError("section map: description " + num(index) + " runs past the end of the map");
            Description d;
            R2007Section& s = d.section;
            s.size = support::loadLE64(map, pos);
            s.maxPageSize = support::loadLE64(map, pos + 0x08);
            s.encrypted = support::loadLE64(map, pos + 0x10);
            s.hashCode = support::loadLE64(map, pos + 0x18);
            const std::uint64_t nameSize = support::loadLE64(map, pos + 0x20);
            s.unknown = support::loadLE64(map, pos + 0x28);
            s.encoding = support::loadLE64(map, pos + 0x30);
            const std::uint64_t pageCount = support::loadLE64(map, pos + 0x38);
            pos += kDescriptionSize;
            if (nameSize > map.size() - pos || nameSize % 2 != 0)
                throw FormatError("section map: description " + num(index) + " has a name of " + num(nameSize) +
                                  " bytes, " + num(map.size() - pos) + " left in the map");
            for (std::size_t i = 0; i < nameSize; i += 2) {
                const std::uint16_t unit = support::loadLE16(map, pos + i);
                if (unit == 0) break;
                s.name += unit < 0x80 ? static_cast<char>(unit) : '?';
            }
            pos += static_cast<std::size_t>(nameSize);
            const std::string label = s.name.empty() ? "description " + num(index) : s.name;
            if (pageCount > (map.size() - pos) / kPageRefSize)
                throw FormatError("section map: " + label + " declares " + num(pageCount) +
                                  " pages, the map holds only " + num((map.size() - pos) / kPageRefSize) + " more");
            s.pages.reserve(static_cast<std::size_t>(pageCount));
            for (std::uint64_t p = 0; p < pageCount; ++p, pos += kPageRefSize) {
                R2007Page page;
                page.offset = support::loadLE64(map, pos);
                page.size = support::loadLE64(map, pos + 0x08);
                page.id = support::loadLE64(map, pos + 0x10);
                page.uncompressedSize = support::loadLE64(map, pos + 0x18);
                page.compressedSize = support::loadLE64(map, pos + 0x20);
                page.checksum = support::loadLE64(map, pos + 0x28);
                page.crc = support::loadLE64(map, pos + 0x30);
                s.pages.push_back(page);
            }
            const auto first = std::find_if(descriptions.begin(), descriptions.end(),
                                            [&](const Description& e) { return e.section.name == s.name; });
            if (first != descriptions.end()) {
                // The first listing is read; a second one of a section the
                // drawing is made of leaves unclear which holds the data.
                if (isEssential(s.name)) throw FormatError("section map: section " + s.name + " is listed twice");
                m_repairs.push_back({"section map",
                                     (s.name.empty() ? std::string("an unnamed section") : s.name) +
                                         " is listed twice (description " + num(index) + ")",
                                     "the section once"});
                continue;
            }
            descriptions.push_back(std::move(d));
        }
        return descriptions;
    }

    // The pages of one section into place. Offsets that skip ahead leave
    // zeros, which AutoCAD does not write (ODA §5.2).
    std::vector<std::uint8_t> readSection(R2007Section& section, const std::string& name) {
        if (section.encoding != 1 && section.encoding != 4)
            throw FormatError(name + ": encoding expected 1 or 4, found " + num(section.encoding));
        std::vector<std::uint8_t> data(static_cast<std::size_t>(section.size));
        std::uint64_t nextFree = 0;
        for (R2007Page& ref : section.pages) {
            const std::string context = name + " page " + num(ref.id);
            if (ref.offset < nextFree)
                throw FormatError(context + ": offset " + num(ref.offset) + " overlaps the page before it");
            if (ref.offset > section.size || ref.uncompressedSize > section.size - ref.offset)
                throw FormatError(context + ": " + num(ref.uncompressedSize) + " bytes at offset " + num(ref.offset) +
                                  " run past the " + num(section.size) + " bytes of the section");
            nextFree = ref.offset + ref.uncompressedSize;
            const auto page = m_pages.find(ref.id);
            if (page == m_pages.end()) throw FormatError(context + ": not in the page map");
            if (page->second.used) throw FormatError(context + ": used twice or a system page");
            page->second.used = true;
            ref.address = page->second.address;
            readPage(context, section.encoding, ref, page->second,
                     std::span<std::uint8_t>(data).subspan(static_cast<std::size_t>(ref.offset),
                                                           static_cast<std::size_t>(ref.uncompressedSize)));
        }
        return data;
    }

    // ODA §5.4: the page's data, compressed unless that saved nothing, padded
    // to a multiple of 8 and coded in codewords of 251 data bytes:
    // interleaved with encoding 4, the data bytes first with encoding 1.
    void readPage(const std::string& context, std::uint64_t encoding, const R2007Page& ref, const PageEntry& page,
                  std::span<std::uint8_t> out) {
        const std::uint64_t compressed = ref.compressedSize;
        if (compressed > out.size())
            throw FormatError(context + ": " + num(compressed) + " compressed bytes, more than its " +
                              num(out.size()) + " bytes");
        if (compressed == 0 && !out.empty()) throw FormatError(context + ": no bytes for its " + num(out.size()));
        const std::uint64_t codewords = (alignTo8(compressed) + kPageDataBytes - 1) / kPageDataBytes;
        const std::uint64_t needed = encoding == 4 ? codewords * kCodewordSize : compressed;
        if (needed > page.size)
            throw FormatError(context + ": " + num(compressed) + " bytes need " + num(needed) +
                              " in the file, the page map gives the page " + num(page.size));
        const auto stored = m_file.subspan(static_cast<std::size_t>(page.address), static_cast<std::size_t>(needed));
        std::vector<std::uint8_t> data;
        std::span<const std::uint8_t> bytes = stored;
        if (encoding == 4) {
            data = deinterleave(stored, static_cast<std::size_t>(codewords), kPageDataBytes,
                                static_cast<std::size_t>(compressed));
            bytes = data;
        }
        if (compressed < out.size()) {
            std::size_t produced = 0;
            try {
                produced = decompress2007(bytes, out);
            } catch (const FormatError& error) {
                throw error.withContext(context);
            }
            if (produced != out.size())
                throw FormatError(context + ": decompresses to " + num(produced) + " bytes, expected " +
                                  num(out.size()));
        } else {
            std::copy(bytes.begin(), bytes.end(), out.begin());
        }
        const std::uint64_t computed = dataChecksum(0, out);
        if (!checksumMatches(ref.checksum, computed))
            throw FormatError(context + ": page checksum expected " + hex(computed) + ", found " + hex(ref.checksum));
    }

    DwgFile finish(std::vector<Description> descriptions, std::shared_ptr<R2007Layout> layout) {
        auto take = [&](std::string_view name) -> std::vector<std::uint8_t> {
            for (Description& d : descriptions) {
                if (d.section.name == name) return std::move(d.section.data);
            }
            throw FormatError("section map: no " + std::string(name) + " section");
        };
        DwgFile file;
        file.release = Release::R2007;
        file.codePage = support::loadLE16(m_file, kCodePageAt);
        const std::vector<std::uint8_t> header = take(kHeaderName);
        file.headerVariables = unframe(header, kHeaderName, kHeaderStart, kHeaderEnd, layout->headerTrailer);
        const std::vector<std::uint8_t> classes = take(kClassesName);
        file.classes = unframe(classes, kClassesName, kClassesStart, kClassesEnd, layout->classesTrailer);

        // ODA §5.7: the object map as in 2004, its locations offsets into
        // AcDb:AcDbObjects, which starts with an RL before the first object.
        std::vector<ObjectMapEntry> map;
        ObjectMapReading reading;
        if (!m_options.recoverObjectMap) {
            try {
                map = readObjectMap(take(kHandlesName));
            } catch (const FormatError& error) {
                throw error.withContext(std::string(kHandlesName));
            }
        } else if (!m_lostMap.empty()) {
            take(kHandlesName);
            reading = lostObjectMap(m_lostMap);
        } else {
            reading = readObjectMapLeniently(take(kHandlesName));
            for (auto& range : reading.lost) range.problem = std::string(kHandlesName) + ": " + range.problem;
        }
        const std::vector<std::uint8_t> objects = take(kObjectsName);
        if (objects.size() < 4)
            throw FormatError(std::string(kObjectsName) + ": expected at least 4 bytes, found " + num(objects.size()));
        layout->objectsPrefix = support::loadLE32(objects, 0);
        try {
            if (!m_options.recoverObjectMap) {
                collectObjects(objects, 0, map, file);
            } else {
                const std::pair<std::size_t, std::size_t> area{4, objects.size()};
                recoverObjects(objects, 0, std::span(&area, 1), reading, file);
            }
        } catch (const FormatError& error) {
            throw error.withContext(std::string(kObjectsName));
        }

        for (Description& d : descriptions) {
            if (d.section.name != kPreviewName || d.damaged) continue;
            try {
                file.previewImage = relativePreview(d.section.data, support::loadLE32(m_file, kPreviewAddressAt));
            } catch (const FormatError& error) {
                damaged(d, d.section.name, error.what());
            }
        }
        for (Description& d : descriptions) {
            d.section.data.shrink_to_fit();
            layout->sections.push_back(std::move(d.section));
        }
        // The sections' repairs come first, then those of the object map.
        file.repairs.insert(file.repairs.begin(), m_repairs.begin(), m_repairs.end());
        file.layout = std::move(layout);
        return file;
    }

    std::span<const std::uint8_t> m_file;
    ReadOptions m_options;
    std::uint64_t m_budget;
    std::unordered_map<std::uint64_t, PageEntry> m_pages;
    std::vector<Repair> m_repairs;
    // Why AcDb:Handles could not be read, when recovering the object map.
    std::string m_lostMap;
};

}  // namespace

const R2007Section* R2007Layout::find(std::string_view name) const {
    for (const R2007Section& section : sections) {
        if (section.name == name) return &section;
    }
    return nullptr;
}

DwgFile readR2007(std::span<const std::uint8_t> bytes, const ReadOptions& options) {
    return Reader2007(bytes, options).read();
}

}  // namespace dwg
