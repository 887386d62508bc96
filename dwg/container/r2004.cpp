#include "dwg/container/r2004.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "dwg/bits/crc.h"
#include "dwg/container/compression_2004.h"
#include "dwg/container/object_map.h"
#include "dwg/container/preview_section.h"
#include "dwg/container/sections.h"
#include "dwg/container/sentinels.h"
#include "dwg/container/summary_info.h"
#include "dwg/errors.h"
#include "support/hex.h"
#include "support/little_endian.h"

namespace dwg {
namespace {

using namespace sections;

// ODA §4.3, §4.6: the page types, the last one XORed into data page headers.
constexpr std::uint32_t kPageMapType = 0x41630E3B;
constexpr std::uint32_t kSectionMapType = 0x4163003B;
constexpr std::uint32_t kDataPageType = 0x4163043B;
constexpr std::uint32_t kDataPageMask = 0x4164536B;

constexpr std::size_t kFileHeaderSize = 0x100;
constexpr std::size_t kHeaderDataAt = 0x80;
constexpr std::size_t kHeaderDataSize = 0x6C;
constexpr std::size_t kSystemPageHeaderSize = 0x14;
constexpr std::size_t kDataPageHeaderSize = 0x20;
constexpr std::size_t kPageAlignment = 0x20;
constexpr std::size_t kSectionMapHeaderSize = 0x14;
constexpr std::size_t kDescriptionSize = 0x60;  // 32 bytes of fields, then the name
constexpr std::size_t kNameSize = 64;
constexpr std::size_t kPageRefSize = 0x10;

// Plain file header fields (ODA §4.1): the writer sets the addresses and the
// code page; the maintenance version decides the second size field of
// AcDb:Header and AcDb:Classes, the application version the form of
// AcDb:AppInfo.
constexpr std::size_t kMaintenanceAt = 0x0B;
constexpr std::size_t kPreviewAddressAt = 0x0D;
constexpr std::size_t kApplicationAt = 0x11;
constexpr std::size_t kCodePageAt = 0x13;
constexpr std::size_t kSecurityFlagsAt = 0x18;
constexpr std::size_t kSummaryInfoAddressAt = 0x20;
constexpr std::size_t kVbaProjectAddressAt = 0x24;
// Not in the format document: AutoCAD stores the AppInfo and AppInfoHistory
// page addresses (+ 0x20) here, as it does the summary info's at 0x20.
constexpr std::size_t kAppInfoAddressAt = 0x2C;
constexpr std::size_t kAppInfoHistoryAddressAt = 0x30;

// ODA §4.1: security flag 1 encrypts the data sections, 2 the preview and
// summary info, both with the drawing's password.
constexpr std::uint32_t kPasswordFlags = 0x03;


// The releases of this container (ODA §6-§8 for 2010-2018).
bool isPaged(Release release) {
    return release == Release::R2004 || release == Release::R2010 || release == Release::R2013 ||
           release == Release::R2018;
}

// The second RL after the size of AcDb:Header and AcDb:Classes (see
// r2004.h).
bool hasSizeHighWord(Release release, std::uint8_t maintenance) {
    return release >= Release::R2018 || (release >= Release::R2010 && maintenance > 3);
}

// ODA §27: the application version codes; an AppInfo takes the form of the
// application that wrote it, UTF-16 from 2007's (ODA §16 with its errata).
constexpr std::uint8_t kApplication2007 = 27;

// ODA §4.1: the generator whose first 0x6C bytes mask the header data, whose
// bytes 0xEC-0xFF follow it in the file, and which fills the gaps after pages.
constexpr std::array<std::uint8_t, 0x100> makeMagic() {
    std::array<std::uint8_t, 0x100> magic{};
    std::uint32_t seed = 1;
    for (auto& byte : magic) {
        seed = seed * 0x343FD + 0x269EC3;
        byte = static_cast<std::uint8_t>(seed >> 16);
    }
    return magic;
}
constexpr std::array<std::uint8_t, 0x100> kMagic = makeMagic();
// The document prints the first 0x5C of the 0x6C bytes, ending ... 30 B7.
static_assert(kMagic[0] == 0x29 && kMagic[1] == 0x23 && kMagic[0x5B] == 0xB7);

// The budget of decompressed bytes a file may claim: far more than any real
// drawing needs (AutoCAD compresses objects about 2 to 4 times), far less
// than a corrupt size field could ask for.
std::uint64_t decompressedBudget(std::size_t fileSize) { return 64 * std::uint64_t{fileSize} + (16U << 20); }

std::string hex(std::uint64_t value) { return support::hexNumber(value); }

void appendRC(std::vector<std::uint8_t>& out, std::uint8_t value) { out.push_back(value); }
void appendBytes(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

std::size_t alignPage(std::size_t size) { return (size + kPageAlignment - 1) & ~(kPageAlignment - 1); }

// ---------------------------------------------------------------- reading

struct PageEntry {
    std::uint64_t address = 0;
    std::uint32_t size = 0;
    bool used = false;
};

struct PageRef {
    std::uint32_t number = 0;
    std::uint32_t dataSize = 0;
    std::uint64_t offset = 0;
};

struct Description {
    R2004Section section;
    std::uint64_t size = 0;
    std::vector<PageRef> pages;
    bool damaged = false;  // a redundant section that could not be read
};

// The content a save writes for a redundant section that could not be read,
// or nothing where the section is left out.
std::optional<std::vector<std::uint8_t>> freshSection(std::string_view name, const DwgFile& file,
                                                      const R2004Layout& layout);

class Reader2004 {
public:
    Reader2004(std::span<const std::uint8_t> file, const ReadOptions& options) : m_file(file), m_options(options) {}

    DwgFile read() {
        if (m_file.size() < kFileHeaderSize)
            throw FormatError("file header: expected 256 bytes, found " + std::to_string(m_file.size()));
        const std::string_view version(reinterpret_cast<const char*>(m_file.data()), 6);
        m_release = releaseFromVersionString(version);
        if (!isPaged(m_release))
            throw UnsupportedRelease("file header: expected release 2004, 2010, 2013 or 2018, found " +
                                     std::string(releaseName(m_release)) + " (" + std::string(version) + ")");
        auto layout = std::make_shared<R2004Layout>();
        layout->release = m_release;
        std::copy_n(m_file.begin(), layout->fileHeader.size(), layout->fileHeader.begin());
        const std::uint32_t security = support::loadLE32(m_file, kSecurityFlagsAt);
        if ((security & kPasswordFlags) != 0)
            throw UnsupportedRelease("the drawing is password protected (security flags " + hex(security) + ")");
        readHeaderData(*layout);

        const std::span<const std::uint8_t> header(layout->headerData);
        const std::uint64_t pageMapAddress = support::loadLE64(header, 0x54) + 0x100;
        const std::uint32_t pageMapId = support::loadLE32(header, 0x50);
        const std::uint32_t sectionMapId = support::loadLE32(header, 0x5C);
        readPageMap(readSystemPage(pageMapAddress, kPageMapType, "page map"));
        markSystemPage(pageMapId);
        const auto sectionMapPage = m_pages.find(sectionMapId);
        if (sectionMapPage == m_pages.end())
            throw FormatError("page map: no page " + std::to_string(sectionMapId) + " for the section map");
        std::vector<Description> descriptions =
            readSectionMap(readSystemPage(sectionMapPage->second.address, kSectionMapType, "section map"), *layout);
        markSystemPage(sectionMapId);

        // The password check comes first: such a file fails later checks too.
        for (const Description& d : descriptions) {
            if (d.section.encrypted == 1 && isEssential(d.section.name))
                throw UnsupportedRelease("the drawing is password protected (" + d.section.name + " is encrypted)");
        }
        const std::uint64_t budget = decompressedBudget(m_file.size());
        std::uint64_t total = 0;
        // The essential sections first, so that a redundant one cannot claim
        // their pages.
        std::vector<Description*> order;
        for (Description& d : descriptions) {
            if (isEssential(d.section.name)) order.push_back(&d);
        }
        for (Description& d : descriptions) {
            if (!isEssential(d.section.name)) order.push_back(&d);
        }
        for (Description* d : order) {
            const std::string name = d->section.name.empty() ? std::string("unnamed section") : d->section.name;
            try {
                // Without the file header's password flags nothing is
                // encrypted; the flag on a redundant section is not trusted,
                // and neither is its content.
                if (d->section.encrypted == 1)
                    throw FormatError(name + ": marked encrypted (1) in the section map, in a drawing without a password");
                if (d->size > budget - total)
                    throw FormatError(name + ": declares " + std::to_string(d->size) +
                                      " bytes, more than a file of " + std::to_string(m_file.size()) +
                                      " bytes can hold");
                d->section.data = readSection(*d);
                total += d->size;
            } catch (const FormatError& error) {
                if (m_options.recoverObjectMap && d->section.name == kHandlesName) {
                    // The objects are looked for by scanning AcDb:AcDbObjects.
                    m_lostMap = error.what();
                    d->section.data.clear();
                    continue;
                }
                if (isEssential(d->section.name)) throw;
                // Only the sections the drawing's content needs must be sound.
                std::string_view problem = error.what();
                if (problem.starts_with(name + ": "))
                    problem.remove_prefix(name.size() + 2);
                else if (problem.starts_with(name + " "))
                    problem.remove_prefix(name.size() + 1);
                m_repairs.push_back({name, std::string(problem), onSaveOf(d->section.name)});
                d->section.data.clear();
                d->damaged = true;
            }
        }
        return finish(std::move(descriptions), std::move(layout));
    }

private:
    // Compressed pages of up to 1 MB (AutoCAD's hold 0x7400 bytes), stored
    // ones no larger than the file.
    bool pageSizeInRange(const R2004Section& section) const {
        const std::uint64_t limit = section.compressed ? 0x100000 : std::max<std::uint64_t>(m_file.size(), 0x100);
        return section.maxPageSize >= (section.compressed ? 4U : 1U) && section.maxPageSize <= limit;
    }

    void readHeaderData(R2004Layout& layout) {
        for (std::size_t i = 0; i < kHeaderDataSize; ++i)
            layout.headerData[i] = static_cast<std::uint8_t>(m_file[kHeaderDataAt + i] ^ kMagic[i]);
        static constexpr char kId[] = "AcFssFcAJMB";
        const std::span<const std::uint8_t> data(layout.headerData);
        if (!std::equal(kId, kId + sizeof kId, data.begin()))
            throw FormatError("file header data: expected the ID AcFssFcAJMB, found " + hexBytes(data.first(12)));
        std::array<std::uint8_t, kHeaderDataSize> zeroed = layout.headerData;
        std::fill_n(zeroed.begin() + 0x68, 4, std::uint8_t{0});
        const std::uint32_t computed = crc32(0, zeroed);
        const std::uint32_t stored = support::loadLE32(data, 0x68);
        if (!checksumMatches(stored, computed))
            throw FormatError("file header data: CRC-32 expected " + hex(computed) + ", found " + hex(stored));
    }

    // ODA §4.3: a 0x14-byte header, then the compressed data; the checksum
    // covers the header (its checksum field zero) and then the data.
    std::vector<std::uint8_t> readSystemPage(std::uint64_t address, std::uint32_t type, const std::string& name) {
        if (address > m_file.size() || m_file.size() - address < kSystemPageHeaderSize)
            throw FormatError(name + ": page at " + std::to_string(address) + " lies past the end of the file (" +
                              std::to_string(m_file.size()) + " bytes)");
        const auto at = static_cast<std::size_t>(address);
        const auto header = m_file.subspan(at, kSystemPageHeaderSize);
        if (support::loadLE32(header, 0) != type)
            throw FormatError(name + ": page type expected " + hex(type) + ", found " + hex(support::loadLE32(header, 0)));
        const std::uint32_t decompressedSize = support::loadLE32(header, 4);
        const std::uint32_t compressedSize = support::loadLE32(header, 8);
        const std::uint32_t compression = support::loadLE32(header, 12);
        const std::uint32_t stored = support::loadLE32(header, 16);
        if (compressedSize > m_file.size() - at - kSystemPageHeaderSize)
            throw FormatError(name + ": " + std::to_string(compressedSize) +
                              " bytes of data run past the end of the file");
        if (decompressedSize > m_file.size() + 0x10000)
            throw FormatError(name + ": declares " + std::to_string(decompressedSize) +
                              " decompressed bytes, more than a file of " + std::to_string(m_file.size()) +
                              " bytes can hold");
        const auto data = m_file.subspan(at + kSystemPageHeaderSize, compressedSize);
        std::array<std::uint8_t, kSystemPageHeaderSize> zeroed{};
        std::copy(header.begin(), header.end(), zeroed.begin());
        std::fill_n(zeroed.begin() + 16, 4, std::uint8_t{0});
        const std::uint32_t computed = pageChecksum(pageChecksum(0, zeroed), data);
        if (!checksumMatches(stored, computed))
            throw FormatError(name + ": page checksum expected " + hex(computed) + ", found " + hex(stored));

        std::vector<std::uint8_t> out(decompressedSize);
        if (compression == 2) {
            std::size_t produced = 0;
            try {
                produced = decompress2004(data, out);
            } catch (const FormatError& error) {
                throw error.withContext(name);
            }
            if (produced != decompressedSize)
                throw FormatError(name + ": decompresses to " + std::to_string(produced) + " bytes, expected " +
                                  std::to_string(decompressedSize));
        } else if (compression == 1 && compressedSize >= decompressedSize) {
            std::copy_n(data.begin(), decompressedSize, out.begin());
        } else {
            throw FormatError(name + ": compression type expected 2, found " + std::to_string(compression));
        }
        return out;
    }

    // ODA §4.4: page number and size pairs; pages follow each other from
    // 0x100. A negative number is a gap with 16 bytes of tree links.
    void readPageMap(std::span<const std::uint8_t> map) {
        std::uint64_t address = kFileHeaderSize;
        std::size_t pos = 0;
        while (pos < map.size()) {
            if (map.size() - pos < 8)
                throw FormatError("page map: " + std::to_string(map.size() - pos) + " bytes left over at byte " +
                                  std::to_string(pos));
            const auto number = static_cast<std::int32_t>(support::loadLE32(map, pos));
            const std::uint32_t size = support::loadLE32(map, pos + 4);
            pos += 8;
            if (number < 0) {
                if (map.size() - pos < 16)
                    throw FormatError("page map: gap " + std::to_string(number) + " at byte " +
                                      std::to_string(pos - 8) + " lacks its 16 bytes of links");
                pos += 16;
            } else if (!m_pages.emplace(static_cast<std::uint32_t>(number), PageEntry{address, size}).second) {
                throw FormatError("page map: page " + std::to_string(number) + " is listed twice");
            }
            address += size;
        }
    }

    // So that no data section can claim a system page.
    void markSystemPage(std::uint32_t number) {
        const auto page = m_pages.find(number);
        if (page != m_pages.end()) page->second.used = true;
    }

    // ODA §4.5.
    std::vector<Description> readSectionMap(std::span<const std::uint8_t> map, R2004Layout& layout) {
        if (map.size() < kSectionMapHeaderSize)
            throw FormatError("section map: expected " + std::to_string(kSectionMapHeaderSize) +
                              " bytes of header, found " + std::to_string(map.size()));
        const std::uint32_t count = support::loadLE32(map, 0);
        for (std::size_t i = 0; i < 3; ++i) layout.sectionMapFields[i] = support::loadLE32(map, 4 + 4 * i);
        std::vector<Description> descriptions;
        std::unordered_set<std::string> names;
        std::size_t pos = kSectionMapHeaderSize;
        for (std::uint32_t i = 0; i < count; ++i) {
            if (map.size() - pos < kDescriptionSize)
                throw FormatError("section map: description " + std::to_string(i + 1) + " of " +
                                  std::to_string(count) + " runs past the end of the map");
            Description d;
            d.size = support::loadLE64(map, pos);
            const std::uint32_t pageCount = support::loadLE32(map, pos + 8);
            d.section.maxPageSize = support::loadLE32(map, pos + 12);
            d.section.unknown = support::loadLE32(map, pos + 16);
            const std::uint32_t compression = support::loadLE32(map, pos + 20);
            d.section.number = support::loadLE32(map, pos + 24);
            d.section.encrypted = support::loadLE32(map, pos + 28);
            const auto name = map.subspan(pos + 32, kNameSize);
            d.section.name.assign(name.begin(), std::find(name.begin(), name.end(), std::uint8_t{0}));
            pos += kDescriptionSize;
            const std::string& sectionName = d.section.name;
            if (compression != 1 && compression != 2)
                throw FormatError("section map: " + sectionName + ": compression expected 1 or 2, found " +
                                  std::to_string(compression));
            d.section.compressed = compression == 2;
            if (pageCount > (map.size() - pos) / kPageRefSize)
                throw FormatError("section map: " + sectionName + " declares " + std::to_string(pageCount) +
                                  " pages, the map holds only " + std::to_string((map.size() - pos) / kPageRefSize) +
                                  " more");
            d.pages.reserve(pageCount);
            for (std::uint32_t p = 0; p < pageCount; ++p) {
                d.pages.push_back({support::loadLE32(map, pos), support::loadLE32(map, pos + 4), support::loadLE64(map, pos + 8)});
                pos += kPageRefSize;
            }
            if (!names.insert(sectionName).second) {
                // The first listing is read. A second one is harmless when it
                // names no section or repeats the pages, or when the section
                // is redundant; else it is unclear which holds the data.
                const auto first = std::find_if(descriptions.begin(), descriptions.end(),
                                                [&](const Description& e) { return e.section.name == sectionName; });
                const bool samePages = std::equal(first->pages.begin(), first->pages.end(), d.pages.begin(),
                                                  d.pages.end(), [](const PageRef& a, const PageRef& b) {
                                                      return a.number == b.number && a.offset == b.offset;
                                                  });
                const std::string label = sectionName.empty() ? std::string("an unnamed section") : sectionName;
                if (!sectionName.empty() && !samePages && isEssential(sectionName))
                    throw FormatError("section map: section " + sectionName + " is listed twice");
                m_repairs.push_back({"section map",
                                     label + " is listed twice (description " + std::to_string(i + 1) + ")" +
                                         (samePages ? " with the same pages" : ""),
                                     "the section once"});
                if (sectionName.empty()) first->damaged = true;
                continue;
            }
            descriptions.push_back(std::move(d));
        }
        return descriptions;
    }

    // Reads the pages of one section into place (ODA §4.6). Offsets that
    // skip ahead leave zero pages, which AutoCAD does not write.
    std::vector<std::uint8_t> readSection(Description& d) {
        const R2004Section& section = d.section;
        const std::string name = section.name.empty() ? std::string("unnamed section") : section.name;
        if (!pageSizeInRange(section))
            throw FormatError(name + ": page size " + std::to_string(section.maxPageSize) + " out of range");
        if (d.pages.empty()) return std::vector<std::uint8_t>(static_cast<std::size_t>(d.size));

        const std::size_t pageSize = section.maxPageSize;
        // Room for a last page that decompresses to a whole page, as AutoCAD
        // writes it, past the section's end.
        std::vector<std::uint8_t> data(static_cast<std::size_t>(d.size) + pageSize);
        std::uint64_t nextFree = 0;
        for (const PageRef& ref : d.pages) {
            const std::string context = name + " page " + std::to_string(ref.number);
            if (ref.offset < nextFree)
                throw FormatError(context + ": start offset " + std::to_string(ref.offset) +
                                  " overlaps the page before it");
            if (ref.offset >= d.size)
                throw FormatError(context + ": start offset " + std::to_string(ref.offset) + " lies past the " +
                                  std::to_string(d.size) + " bytes of the section");
            nextFree = ref.offset + pageSize;
            const auto page = m_pages.find(ref.number);
            if (page == m_pages.end()) throw FormatError(context + ": not in the page map");
            if (page->second.used) throw FormatError(context + ": used twice or a system page");
            page->second.used = true;
            readPage(context, section, ref, page->second.address,
                     std::span<std::uint8_t>(data).subspan(static_cast<std::size_t>(ref.offset), pageSize));
        }
        data.resize(static_cast<std::size_t>(d.size));
        return data;
    }

    void readPage(const std::string& context, const R2004Section& section, const PageRef& ref, std::uint64_t address,
                  std::span<std::uint8_t> out) {
        if (address > m_file.size() || m_file.size() - address < kDataPageHeaderSize)
            throw FormatError(context + ": page header at " + std::to_string(address) +
                              " lies past the end of the file (" + std::to_string(m_file.size()) + " bytes)");
        const auto at = static_cast<std::size_t>(address);
        std::array<std::uint8_t, kDataPageHeaderSize> header{};
        const std::uint32_t mask = kDataPageMask ^ static_cast<std::uint32_t>(address);
        for (std::size_t i = 0; i < kDataPageHeaderSize; i += 4) support::storeLE32(header, i, support::loadLE32(m_file, at + i) ^ mask);
        const std::uint32_t type = support::loadLE32(header, 0);
        const std::uint32_t number = support::loadLE32(header, 4);
        const std::uint32_t dataSize = support::loadLE32(header, 8);
        const std::uint32_t startOffset = support::loadLE32(header, 16);
        const std::uint32_t headerChecksum = support::loadLE32(header, 24);
        const std::uint32_t dataChecksum = support::loadLE32(header, 28);
        if (type != kDataPageType)
            throw FormatError(context + ": page type expected " + hex(kDataPageType) + ", found " + hex(type));
        if (number != section.number)
            throw FormatError(context + ": section number expected " + std::to_string(section.number) + ", found " +
                              std::to_string(number));
        if (dataSize != ref.dataSize)
            throw FormatError(context + ": data size " + std::to_string(dataSize) + " in the page header, " +
                              std::to_string(ref.dataSize) + " in the section map");
        if (startOffset != static_cast<std::uint32_t>(ref.offset))
            throw FormatError(context + ": start offset " + std::to_string(startOffset) + " in the page header, " +
                              std::to_string(ref.offset) + " in the section map");
        if (dataSize > m_file.size() - at - kDataPageHeaderSize)
            throw FormatError(context + ": " + std::to_string(dataSize) +
                              " bytes of data run past the end of the file");
        const auto data = m_file.subspan(at + kDataPageHeaderSize, dataSize);
        const std::uint32_t computedData = pageChecksum(0, data);
        if (!checksumMatches(dataChecksum, computedData))
            throw FormatError(context + ": page checksum expected " + hex(computedData) + ", found " +
                              hex(dataChecksum));
        support::storeLE32(header, 24, 0);
        const std::uint32_t computedHeader = pageChecksum(computedData, header);
        if (!checksumMatches(headerChecksum, computedHeader))
            throw FormatError(context + ": page header checksum expected " + hex(computedHeader) + ", found " +
                              hex(headerChecksum));

        if (section.compressed) {
            try {
                decompress2004(data, out);
            } catch (const FormatError& error) {
                throw error.withContext(context);
            }
        } else {
            if (dataSize > out.size())
                throw FormatError(context + ": data size " + std::to_string(dataSize) +
                                  " exceeds the section's page size " + std::to_string(out.size()));
            std::copy(data.begin(), data.end(), out.begin());
        }
    }

    // Bytes between the sentinels of AcDb:Header or AcDb:Classes (ODA §9,
    // §10.2): the size (with `highWord`, two RLs: see r2004.h), the data, the
    // CRC-16 over size and data. For 2007 and later the data ends with its
    // string stream, which the object layer finds from the data's end: the
    // size and CRC decide where the data ends, nothing else.
    static std::vector<std::uint8_t> unframe(std::span<const std::uint8_t> section, std::string_view name,
                                             const Sentinel& start, const Sentinel& end, bool highWord,
                                             std::vector<std::uint8_t>& trailer) {
        const std::string where(name);
        const std::size_t dataAt = start.size() + (highWord ? 8 : 4);
        if (section.size() < dataAt)
            throw FormatError(where + ": expected at least " + std::to_string(dataAt) + " bytes, found " +
                              std::to_string(section.size()));
        if (!std::equal(start.begin(), start.end(), section.begin()))
            throw FormatError(where + ": start sentinel expected " + hexBytes(start) + ", found " +
                              hexBytes(section.first(16)));
        const std::uint64_t size = highWord ? support::loadLE64(section, 16) : support::loadLE32(section, 16);
        const std::size_t room = section.size() - dataAt;
        if (size > room || room - size < 2 + end.size())
            throw FormatError(where + ": declares " + std::to_string(size) + " bytes of data, " +
                              std::to_string(room) + " left before the CRC and end sentinel");
        const auto dataEnd = dataAt + static_cast<std::size_t>(size);
        const std::uint16_t stored = support::loadLE16(section, dataEnd);
        const std::uint16_t computed = crc16(kCrc16Seed, section.subspan(16, dataEnd - 16));
        if (!checksumMatches(stored, computed))
            throw FormatError(where + ": CRC expected " + hex(computed) + ", found " + hex(stored));
        const auto endAt = section.subspan(dataEnd + 2, end.size());
        if (!std::equal(end.begin(), end.end(), endAt.begin()))
            throw FormatError(where + ": end sentinel expected " + hexBytes(end) + ", found " + hexBytes(endAt));
        const auto rest = section.subspan(dataEnd + 2 + end.size());
        trailer.assign(rest.begin(), rest.end());
        const auto data = section.subspan(dataAt, dataEnd - dataAt);
        return {data.begin(), data.end()};
    }

    DwgFile finish(std::vector<Description> descriptions, std::shared_ptr<R2004Layout> layout) {
        // The order of the sections in the file, by their first page.
        std::vector<std::pair<std::uint64_t, std::string>> firstPages;
        for (const Description& d : descriptions) {
            if (d.pages.empty()) continue;
            std::uint64_t first = UINT64_MAX;
            // A damaged redundant section may name pages the page map lacks;
            // the writer places a section that has no known page itself.
            for (const PageRef& ref : d.pages) {
                if (const auto page = m_pages.find(ref.number); page != m_pages.end())
                    first = std::min(first, page->second.address);
            }
            if (first != UINT64_MAX) firstPages.emplace_back(first, d.section.name);
        }
        std::sort(firstPages.begin(), firstPages.end());
        for (auto& [address, name] : firstPages) layout->fileOrder.push_back(std::move(name));

        auto take = [&](std::string_view name) -> std::vector<std::uint8_t> {
            for (Description& d : descriptions) {
                if (d.section.name == name) return std::move(d.section.data);
            }
            throw FormatError("section map: no " + std::string(name) + " section");
        };
        DwgFile file;
        file.release = m_release;
        file.codePage = support::loadLE16(m_file, kCodePageAt);
        const bool highWord = hasSizeHighWord(m_release, m_file[kMaintenanceAt]);
        const std::vector<std::uint8_t> header = take(kHeaderName);
        file.headerVariables =
            unframe(header, kHeaderName, kHeaderStart, kHeaderEnd, highWord, layout->headerTrailer);
        const std::vector<std::uint8_t> classes = take(kClassesName);
        file.classes = unframe(classes, kClassesName, kClassesStart, kClassesEnd, highWord, layout->classesTrailer);
        std::vector<ObjectMapEntry> map;
        ObjectMapReading reading;
        if (!m_options.recoverObjectMap) {
            try {
                map = readObjectMap(take(kHandlesName));
            } catch (const FormatError& error) {
                throw error.withContext(std::string(kHandlesName));
            }
        } else if (!m_lostMap.empty()) {
            take(kHandlesName);  // still listed in the section map, so that a save writes it in its place
            reading = lostObjectMap(m_lostMap);
        } else {
            reading = readObjectMapLeniently(take(kHandlesName));
            for (auto& range : reading.lost) range.problem = std::string(kHandlesName) + ": " + range.problem;
        }
        const std::vector<std::uint8_t> objects = take(kObjectsName);
        if (objects.size() < 4)
            throw FormatError(std::string(kObjectsName) + ": expected at least 4 bytes, found " +
                              std::to_string(objects.size()));
        layout->objectsPrefix = support::loadLE32(objects, 0);
        try {
            if (!m_options.recoverObjectMap) {
                collectObjects(objects, 0, map, file);
            } else {
                // Every object follows the RL at the section's start.
                const std::pair<std::size_t, std::size_t> area{4, objects.size()};
                recoverObjects(objects, 0, std::span(&area, 1), reading, file);
            }
        } catch (const FormatError& error) {
            throw error.withContext(std::string(kObjectsName));
        }
        // An unnamed section that was listed twice or could not be read is
        // written as AutoCAD writes it: empty, number 0, first in the map
        // (LibreDWG's reader refuses an empty one numbered past the others).
        const auto unnamed = std::find_if(descriptions.begin(), descriptions.end(),
                                          [](const Description& d) { return d.section.name.empty() && d.damaged; });
        if (unnamed != descriptions.end() &&
            std::none_of(descriptions.begin(), descriptions.end(),
                         [](const Description& d) { return !d.section.name.empty() && d.section.number == 0; })) {
            unnamed->section.number = 0;
            unnamed->pages.clear();
            std::rotate(descriptions.begin(), unnamed, unnamed + 1);
        }
        for (Description& d : descriptions) {
            if (d.damaged) {
                std::optional<std::vector<std::uint8_t>> fresh = freshSection(d.section.name, file, *layout);
                if (!fresh) continue;
                d.section.data = std::move(*fresh);
                d.section.encrypted = 0;
            }
            // The page size may be what made the section unreadable (a
            // damaged redundant section, or AcDb:Handles when the map is
            // recovered): then it gets a new section's.
            if (!pageSizeInRange(d.section)) d.section.maxPageSize = d.section.compressed ? 0x7400 : 0x80;
            if (d.damaged && !d.section.compressed)
                d.section.maxPageSize =
                    std::max<std::uint32_t>(d.section.maxPageSize, static_cast<std::uint32_t>(d.section.data.size()));
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
    Release m_release = Release::R2004;
    std::unordered_map<std::uint32_t, PageEntry> m_pages;
    std::vector<Repair> m_repairs;
    // Why AcDb:Handles could not be read, when recovering the object map.
    std::string m_lostMap;
};

// ---------------------------------------------------------------- writing

// Sentinel, RL size (with `highWord` a second RL, the size's high half: see
// r2004.h), data, CRC-16 over size and data, sentinel, trailer.
std::vector<std::uint8_t> frame(std::span<const std::uint8_t> data, const Sentinel& start, const Sentinel& end,
                                bool highWord, std::span<const std::uint8_t> trailer) {
    if (data.size() > UINT32_MAX) throw std::invalid_argument("2004 writer: section data above 4 GB");
    std::vector<std::uint8_t> out;
    out.reserve(data.size() + 42 + trailer.size());
    appendBytes(out, start);
    support::appendLE32(out, static_cast<std::uint32_t>(data.size()));
    if (highWord) support::appendLE32(out, 0);
    appendBytes(out, data);
    support::appendLE16(out, crc16(kCrc16Seed, std::span<const std::uint8_t>(out).subspan(start.size())));
    appendBytes(out, end);
    appendBytes(out, trailer);
    return out;
}

// ODA §13-§27 list what AutoCAD and the ODA put in the sections that carry
// no drawing data; these are the minimal equivalents for a new drawing.

// A string of AcDb:AppInfo and AcDb:Template, as those of AcDb:SummaryInfo
// (summary_info.h): RS length counting the terminating zero, the
// characters, the zero; 8-bit before 2007, UTF-16 from 2007 on (the length
// then counts characters). The texts written here are ASCII.
void appendString16(std::vector<std::uint8_t>& out, std::string_view text, bool unicode = false) {
    support::appendLE16(out, static_cast<std::uint16_t>(text.size() + 1));
    for (const char c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        if (unicode) out.push_back(0);
    }
    out.push_back(0);
    if (unicode) out.push_back(0);
}

// The summary info a save carries, or AutoCAD's for a new drawing.
std::vector<std::uint8_t> summaryInfoFor(const DwgFile& file, Release release) {
    return file.summaryInfo.empty() ? encodeSummaryInfo(SummaryInfo{}, release) : file.summaryInfo;
}

std::vector<std::uint8_t> defaultPreview() {
    std::vector<std::uint8_t> out;
    appendBytes(out, kPreviewStart);
    support::appendLE32(out, 1);  // the overall size covers the image count alone
    appendRC(out, 0);  // no images
    appendBytes(out, kPreviewEnd);
    return out;
}

constexpr std::string_view kProductInformation =
    "<ProductInformation name =\"Corvelin\" build_version=\"1.0\" registry_version=\"1.0\" "
    "install_id_string=\"Corvelin\" registry_localeID=\"1033\"/>";

// The 2004 form (ODA §16.1 with its errata), matching the application
// version 0x19 (AC1018) that a new file's header names; or, for a file whose
// header names an application of 2007 or later, the UTF-16 form (ODA §16.2
// with its errata): RL 3, the name, RL 3 strings, each after 16 bytes of
// checksum that AutoCAD fills and the ODA leaves zero: version, comment,
// product.
std::vector<std::uint8_t> defaultAppInfo(bool unicode) {
    std::vector<std::uint8_t> out;
    if (!unicode) {
        appendString16(out, "AppInfoDataList");
        support::appendLE32(out, 3);
        appendString16(out, "This file was last saved by Corvelin.");
        appendString16(out, kProductInformation);
        appendString16(out, "1.0.0.0");
        return out;
    }
    support::appendLE32(out, 3);
    appendString16(out, "AppInfoDataList", true);
    support::appendLE32(out, 3);
    for (const std::string_view text : {std::string_view("1.0.0.0"),
                                        std::string_view("This file was last saved by Corvelin."),
                                        kProductInformation}) {
        out.insert(out.end(), 16, 0);
        appendString16(out, text, true);
    }
    return out;
}

// What AutoCAD writes (ODA §18 prints the ODA's three zeros).
std::vector<std::uint8_t> defaultRevHistory() {
    std::vector<std::uint8_t> out;
    for (const std::uint32_t value : {0U, 0U, 1U, 0U}) support::appendLE32(out, value);
    return out;
}

// ODA §21.1 with its errata; from 2010 on (§21.2 of the errata) the counts
// are 64 bits, the objects' offset is gone and each limit is 128 bits.
std::vector<std::uint8_t> defaultObjFreeSpace(const DwgFile& file) {
    std::vector<std::uint8_t> out;
    const bool wide = file.release >= Release::R2010;
    if (wide) {
        support::appendLE64(out, 0);
        support::appendLE64(out, file.objects.size());
    } else {
        support::appendLE32(out, 0);
        support::appendLE32(out, static_cast<std::uint32_t>(file.objects.size()));
    }
    support::appendLE64(out, 0);  // TDUPDATE: unknown here
    if (!wide) support::appendLE32(out, 0);  // offset of the objects: 0 since 2000
    appendRC(out, 4);
    for (const std::uint64_t value : {0x32U, 0x64U, 0x200U, 0xFFFFFFFFU}) {
        support::appendLE64(out, value);
        if (wide) support::appendLE64(out, 0);
    }
    return out;
}

// ODA §22: no template description (from 2007 on an empty UTF-16 string,
// as AutoCAD writes it), MEASUREMENT 0 (English).
std::vector<std::uint8_t> defaultTemplate(bool unicode) {
    std::vector<std::uint8_t> out;
    if (unicode) {
        appendString16(out, "", true);
    } else {
        support::appendLE16(out, 0);
    }
    support::appendLE16(out, 0);
    return out;
}

// ODA §27: the version code of each release (the odd ones; the even ones
// are betas).
std::uint16_t auxHeaderVersion(Release release) {
    switch (release) {
        case Release::R2010: return 29;  // AC1024
        case Release::R2013: return 31;  // AC1027
        case Release::R2018: return 33;  // AC1032
        default: return 25;              // AC1018
    }
}

// ODA §27; 2018 adds three RS of 0 at the end.
std::vector<std::uint8_t> defaultAuxHeader(const DwgFile& file) {
    const std::uint16_t version = auxHeaderVersion(file.release);
    std::uint64_t handseed = 1;
    for (const ObjectLocation& object : file.objects) handseed = std::max(handseed, object.handle + 1);
    std::vector<std::uint8_t> out{0xFF, 0x77, 0x01};
    support::appendLE16(out, version);
    support::appendLE16(out, 0);
    support::appendLE32(out, 1);  // number of saves
    support::appendLE32(out, 0xFFFFFFFF);
    support::appendLE16(out, 1);  // number of saves up to 0x7FFF
    support::appendLE16(out, 0);  // number of saves above 0x7FFF
    support::appendLE32(out, 0);
    for (int i = 0; i < 2; ++i) {
        support::appendLE16(out, version);
        support::appendLE16(out, 0);
    }
    for (const std::uint16_t value : {0x0005, 0x0893, 0x0005, 0x0893, 0x0000, 0x0001}) support::appendLE16(out, value);
    for (int i = 0; i < 5; ++i) support::appendLE32(out, 0);
    support::appendLE64(out, 0);  // TDCREATE: unknown here
    support::appendLE64(out, 0);  // TDUPDATE
    support::appendLE32(out, handseed < 0x7FFFFFFF ? static_cast<std::uint32_t>(handseed) : 0xFFFFFFFF);
    support::appendLE32(out, 0);  // educational plot stamp
    support::appendLE16(out, 0);
    support::appendLE16(out, 1);  // the first of the two counts minus the second
    for (int i = 0; i < 3; ++i) support::appendLE32(out, 0);
    support::appendLE32(out, 1);  // number of saves
    for (int i = 0; i < 4; ++i) support::appendLE32(out, 0);
    if (file.release >= Release::R2018) {
        for (int i = 0; i < 3; ++i) support::appendLE16(out, 0);
    }
    return out;
}

// In the form of the file's release. The sections not listed here (the
// file dependencies, the AppInfo history, the ACIS data of solids and
// regions that 2013 and later keep in AcDb:AcDsPrototype_1b, ODA §24) are
// left out of a save when they could not be read.
std::optional<std::vector<std::uint8_t>> freshSection(std::string_view name, const DwgFile& file,
                                                      const R2004Layout& layout) {
    const bool unicode = isUnicode(file.release);
    if (name.empty()) return std::vector<std::uint8_t>{};  // AutoCAD's unnamed section holds nothing
    if (name == kPreviewName) return file.previewImage.empty() ? defaultPreview() : file.previewImage;
    if (name == kSummaryInfoName) return summaryInfoFor(file, file.release);
    if (name == kAppInfoName) return defaultAppInfo(unicode || layout.fileHeader[kApplicationAt] >= kApplication2007);
    if (name == kRevHistoryName) return defaultRevHistory();
    if (name == kObjFreeSpaceName) return defaultObjFreeSpace(file);
    if (name == kTemplateName) return defaultTemplate(unicode);
    if (name == kAuxHeaderName) return defaultAuxHeader(file);
    return std::nullopt;
}

// Uncompressed sections get one page of their size rounded up as AutoCAD
// does: to 0x400 for the preview, to 0x80 for the others.
std::uint32_t storedPageSize(std::size_t size, std::size_t granule) {
    const std::size_t rounded = std::max<std::size_t>((size + granule - 1) / granule * granule, granule);
    return static_cast<std::uint32_t>(rounded);
}

// The layout of a file made from scratch, with the sections AutoCAD writes
// (ODA §4.5) apart from the optional ones and their ids and order as in
// AutoCAD's files.
std::shared_ptr<R2004Layout> defaultLayout(const DwgFile& file) {
    auto layout = std::make_shared<R2004Layout>();
    auto& h = layout->fileHeader;
    const std::string_view version = "AC1018";
    std::copy(version.begin(), version.end(), h.begin());
    h[0x0B] = 0x68;  // maintenance release, as AutoCAD writes 2004 files
    h[0x0C] = 0x03;
    h[0x11] = 25;  // written by an AC1018 application
    h[0x12] = 0x68;
    h[0x16] = h[0x11];
    h[0x17] = h[0x12];
    support::storeLE32(h, 0x28, 0x80);

    auto& d = layout->headerData;
    static constexpr char kId[] = "AcFssFcAJMB";
    std::copy(kId, kId + sizeof kId, d.begin());
    support::storeLE32(d, 0x10, 0x6C);
    support::storeLE32(d, 0x14, 0x04);
    support::storeLE32(d, 0x24, 1);
    support::storeLE32(d, 0x44, 0x20);
    support::storeLE32(d, 0x48, 0x80);
    support::storeLE32(d, 0x4C, 0x40);

    auto add = [&](std::string_view name, std::uint32_t number, std::vector<std::uint8_t> data, bool compressed,
                   std::size_t granule) {
        R2004Section section;
        section.name = name;
        section.number = number;
        section.compressed = compressed;
        section.maxPageSize = compressed ? 0x7400 : storedPageSize(data.size(), granule);
        section.data = std::move(data);
        layout->sections.push_back(std::move(section));
    };
    add("", 0, {}, true, 0);
    add(kAppInfoName, 11, defaultAppInfo(false), false, 0x80);
    add(kPreviewName, 10, file.previewImage.empty() ? defaultPreview() : file.previewImage, false, 0x400);
    add(kSummaryInfoName, 9, summaryInfoFor(file, Release::R2004), false, 0x80);
    add(kRevHistoryName, 8, defaultRevHistory(), true, 0);
    add(kObjectsName, 7, {}, true, 0);
    add(kObjFreeSpaceName, 6, defaultObjFreeSpace(file), true, 0);
    add(kTemplateName, 5, defaultTemplate(false), true, 0);
    add(kHandlesName, 4, {}, true, 0);
    add(kClassesName, 3, {}, true, 0);
    add(kAuxHeaderName, 2, defaultAuxHeader(file), true, 0);
    add(kHeaderName, 1, {}, true, 0);
    for (const std::string_view name : {kSummaryInfoName, kPreviewName, kAppInfoName, kRevHistoryName, kObjectsName,
                                        kObjFreeSpaceName, kTemplateName, kHandlesName, kClassesName, kAuxHeaderName,
                                        kHeaderName})
        layout->fileOrder.emplace_back(name);
    layout->classesTrailer.assign(8, 0);
    return layout;
}

struct Outgoing {
    const R2004Section* section = nullptr;
    std::span<const std::uint8_t> data;
    std::vector<PageRef> pages;
    std::uint64_t firstPageAddress = 0;
};

class Writer2004 {
public:
    Writer2004(const DwgFile& file, const R2004Layout& layout) : m_file(file), m_layout(layout) {}

    std::vector<std::uint8_t> write() {
        prepareSections();
        // Drawings compress to about a third to a half; one reallocation at
        // most.
        std::size_t total = 0;
        for (const Outgoing& out : m_outgoing) total += out.data.size();
        m_out.reserve(total / 8 * 5 + (1U << 20));
        m_out.resize(kFileHeaderSize);
        for (const std::size_t index : fileOrder()) writeSectionPages(m_outgoing[index]);

        const std::uint32_t lastDataPage = m_nextPage - 1;
        // AutoCAD numbers the section map 3 and the page map 4 past the last
        // data page.
        const std::uint32_t sectionMapId = lastDataPage + 3;
        const std::uint32_t pageMapId = lastDataPage + 4;
        const std::size_t sectionMapSize = writeSystemPage(kSectionMapType, sectionMap(), true);
        m_pageMap.push_back({sectionMapId, static_cast<std::uint32_t>(sectionMapSize)});

        // The page map lists its own size, so its size is settled first: it
        // must hold the page, its closing header and the copy of the header
        // data that ends the file (AutoCAD also declares more than it writes).
        const std::uint64_t pageMapAddress = m_out.size();
        std::uint32_t pageMapSize = 0x20;
        std::vector<std::uint8_t> pageMap;
        while (true) {
            pageMap = pageMapData(pageMapId, pageMapSize);
            const std::size_t compressed = compressedSize(pageMap);
            const auto needed = static_cast<std::uint32_t>(
                alignPage(kSystemPageHeaderSize + compressed + kSystemPageHeaderSize + kHeaderDataSize));
            if (needed <= pageMapSize) break;
            pageMapSize = needed;
        }
        writeSystemPage(kPageMapType, pageMap, false);
        const std::uint64_t secondHeaderAddress = m_out.size();

        std::array<std::uint8_t, kHeaderDataSize> data = m_layout.headerData;
        support::storeLE32(data, 0x18, 0);  // no gaps: the gap tree is empty
        support::storeLE32(data, 0x1C, 0);
        support::storeLE32(data, 0x20, 0);
        support::storeLE32(data, 0x28, pageMapId);
        support::storeLE64(data, 0x2C, pageMapAddress + pageMapSize - kFileHeaderSize);
        support::storeLE64(data, 0x34, secondHeaderAddress);
        support::storeLE32(data, 0x3C, 0);
        support::storeLE32(data, 0x40, static_cast<std::uint32_t>(m_pageMap.size() + 1));
        support::storeLE32(data, 0x50, pageMapId);
        support::storeLE64(data, 0x54, pageMapAddress - kFileHeaderSize);
        support::storeLE32(data, 0x5C, sectionMapId);
        support::storeLE32(data, 0x60, pageMapId);
        support::storeLE32(data, 0x64, 0);
        support::storeLE32(data, 0x68, 0);
        support::storeLE32(data, 0x68, crc32(0, data));
        std::array<std::uint8_t, kHeaderDataSize> encrypted{};
        for (std::size_t i = 0; i < kHeaderDataSize; ++i)
            encrypted[i] = static_cast<std::uint8_t>(data[i] ^ kMagic[i]);
        m_out.insert(m_out.end(), encrypted.begin(), encrypted.end());

        writeFileHeader(encrypted);
        return std::move(m_out);
    }

private:
    void prepareSections() {
        bool seen[4] = {false, false, false, false};
        const bool highWord = hasSizeHighWord(m_layout.release, m_layout.fileHeader[kMaintenanceAt]);
        for (const R2004Section& section : m_layout.sections) {
            // Spans point into the buffers below, which must not be refilled.
            for (const Outgoing& other : m_outgoing) {
                if (other.section->name == section.name)
                    throw std::invalid_argument("2004 writer: the layout lists " + section.name + " twice");
            }
            Outgoing out;
            out.section = &section;
            if (section.name == kHeaderName) {
                m_header = frame(m_file.headerVariables, kHeaderStart, kHeaderEnd, highWord, m_layout.headerTrailer);
                out.data = m_header;
                seen[0] = true;
            } else if (section.name == kClassesName) {
                m_classes = frame(m_file.classes, kClassesStart, kClassesEnd, highWord, m_layout.classesTrailer);
                out.data = m_classes;
                seen[1] = true;
            } else if (section.name == kHandlesName) {
                m_handles = writeObjectMap(layOutObjects(m_file, 4));
                out.data = m_handles;
                seen[2] = true;
            } else if (section.name == kObjectsName) {
                m_objects.reserve(4 + m_file.objectBytes.size());
                support::appendLE32(m_objects, m_layout.objectsPrefix);
                for (const ObjectLocation& object : m_file.objects) {
                    if (object.offset > m_file.objectBytes.size() ||
                        object.size > m_file.objectBytes.size() - object.offset)
                        throw std::invalid_argument("2004 writer: object " + hex(object.handle) +
                                                    " lies outside objectBytes");
                    appendBytes(m_objects, m_file.bytesOf(object));
                }
                out.data = m_objects;
                seen[3] = true;
            } else if (section.name == kPreviewName) {
                m_preview = section.data;
                out.data = m_preview;
            } else {
                out.data = section.data;
            }
            m_outgoing.push_back(std::move(out));
        }
        if (!(seen[0] && seen[1] && seen[2] && seen[3]))
            throw std::invalid_argument("2004 writer: the layout lacks one of the sections the DwgFile fills");
    }

    // Indices of the sections with data in the order their pages go into the
    // file: as listed in the layout; the others before the first listed
    // section with a lower id.
    std::vector<std::size_t> fileOrder() const {
        std::vector<std::size_t> order;
        for (const std::string& name : m_layout.fileOrder) {
            for (std::size_t i = 0; i < m_outgoing.size(); ++i) {
                if (m_outgoing[i].section->name == name &&
                    std::find(order.begin(), order.end(), i) == order.end())
                    order.push_back(i);
            }
        }
        for (std::size_t i = 0; i < m_outgoing.size(); ++i) {
            if (m_outgoing[i].data.empty() || std::find(order.begin(), order.end(), i) != order.end()) continue;
            const std::uint32_t number = m_outgoing[i].section->number;
            auto at = std::find_if(order.begin(), order.end(),
                                   [&](std::size_t j) { return m_outgoing[j].section->number < number; });
            order.insert(at, i);
        }
        return order;
    }

    void writeSectionPages(Outgoing& out) {
        const R2004Section& section = *out.section;
        const std::size_t pageSize = section.maxPageSize;
        // The compressor needs 4 bytes at least; stored pages take any size.
        const std::size_t least = section.compressed ? 4 : 1;
        if (pageSize < least)
            throw std::invalid_argument("2004 writer: page size of " + section.name + " below " +
                                        std::to_string(least));
        for (std::size_t offset = 0; offset < out.data.size(); offset += pageSize) {
            const std::size_t address = m_out.size();
            if (offset == 0) {
                out.firstPageAddress = address;
                if (section.name == kPreviewName)
                    rebasePreview(m_preview, support::loadLE32(m_layout.fileHeader, kPreviewAddressAt),
                                  static_cast<std::uint32_t>(address + kDataPageHeaderSize));
            }
            const auto chunk = out.data.subspan(offset, std::min(pageSize, out.data.size() - offset));
            out.pages.push_back(writeDataPage(section, offset, chunk));
        }
    }

    // ODA §4.6: each page holds a whole page of section data, the last one
    // filled up with zeros, as AutoCAD writes them.
    PageRef writeDataPage(const R2004Section& section, std::size_t offset, std::span<const std::uint8_t> chunk) {
        const std::size_t address = m_out.size();
        const std::size_t pageSize = section.maxPageSize;
        m_out.resize(address + kDataPageHeaderSize);
        std::span<const std::uint8_t> whole = chunk;
        if (chunk.size() < pageSize) {
            m_padded.assign(chunk.begin(), chunk.end());
            m_padded.resize(pageSize, 0);
            whole = m_padded;
        }
        if (section.compressed) {
            m_compressor.compress(whole, m_out);
        } else {
            appendBytes(m_out, whole);
        }
        const std::size_t dataSize = m_out.size() - address - kDataPageHeaderSize;
        const std::size_t pageBytes = alignPage(kDataPageHeaderSize + dataSize);
        const std::uint32_t dataChecksum =
            pageChecksum(0, std::span<const std::uint8_t>(m_out).subspan(address + kDataPageHeaderSize, dataSize));
        std::array<std::uint8_t, kDataPageHeaderSize> header{};
        support::storeLE32(header, 0, kDataPageType);
        support::storeLE32(header, 4, section.number);
        support::storeLE32(header, 8, static_cast<std::uint32_t>(dataSize));
        // AutoCAD stores the page's size in the file here.
        support::storeLE32(header, 12, static_cast<std::uint32_t>(pageBytes));
        support::storeLE32(header, 16, static_cast<std::uint32_t>(offset));
        support::storeLE32(header, 28, dataChecksum);
        support::storeLE32(header, 24, pageChecksum(dataChecksum, header));
        const std::uint32_t mask = kDataPageMask ^ static_cast<std::uint32_t>(address);
        for (std::size_t i = 0; i < kDataPageHeaderSize; i += 4)
            support::storeLE32(m_out, address + i, support::loadLE32(header, i) ^ mask);
        pad(address + pageBytes);

        const std::uint32_t number = m_nextPage++;
        m_pageMap.push_back({number, static_cast<std::uint32_t>(pageBytes)});
        return {number, static_cast<std::uint32_t>(dataSize), offset};
    }

    // Fills up to `end` with the generator's bytes from its start (ODA §4.3).
    void pad(std::size_t end) {
        std::size_t i = 0;
        while (m_out.size() < end) m_out.push_back(kMagic[i++ % kMagic.size()]);
    }

    std::size_t compressedSize(std::span<const std::uint8_t> data) {
        m_scratch.clear();
        m_compressor.compress(data, m_scratch);
        return m_scratch.size();
    }

    // ODA §4.3: header, compressed data, the header again with sizes and
    // checksum zero. The page map ends unpadded: the header data copy follows.
    std::size_t writeSystemPage(std::uint32_t type, std::span<const std::uint8_t> data, bool padded) {
        const std::size_t address = m_out.size();
        m_out.resize(address + kSystemPageHeaderSize);
        m_compressor.compress(data, m_out);
        const std::size_t compressed = m_out.size() - address - kSystemPageHeaderSize;
        const auto header = std::span<std::uint8_t>(m_out).subspan(address, kSystemPageHeaderSize);
        support::storeLE32(header, 0, type);
        support::storeLE32(header, 4, static_cast<std::uint32_t>(data.size()));
        support::storeLE32(header, 8, static_cast<std::uint32_t>(compressed));
        support::storeLE32(header, 12, 2);
        support::storeLE32(header, 16, 0);
        const std::uint32_t seed = pageChecksum(0, std::span<const std::uint8_t>(m_out).subspan(address, 0x14));
        const auto stored = std::span<const std::uint8_t>(m_out).subspan(address + kSystemPageHeaderSize, compressed);
        const std::uint32_t checksum = pageChecksum(seed, stored);
        support::storeLE32(m_out, address + 16, checksum);
        const std::size_t trailer = m_out.size();
        m_out.resize(trailer + kSystemPageHeaderSize, 0);
        support::storeLE32(m_out, trailer, type);
        support::storeLE32(m_out, trailer + 12, 2);
        const std::size_t size = alignPage(m_out.size() - address);
        if (padded) pad(address + size);
        return size;
    }

    std::vector<std::uint8_t> sectionMap() const {
        std::vector<std::uint8_t> out;
        const auto count = static_cast<std::uint32_t>(m_outgoing.size());
        support::appendLE32(out, count);
        for (const std::uint32_t field : m_layout.sectionMapFields) support::appendLE32(out, field);
        support::appendLE32(out, count);
        for (const Outgoing& outgoing : m_outgoing) {
            const R2004Section& section = *outgoing.section;
            support::appendLE64(out, outgoing.data.size());
            support::appendLE32(out, static_cast<std::uint32_t>(outgoing.pages.size()));
            support::appendLE32(out, section.maxPageSize);
            support::appendLE32(out, section.unknown);
            support::appendLE32(out, section.compressed ? 2 : 1);
            support::appendLE32(out, section.number);
            support::appendLE32(out, section.encrypted);
            const std::size_t nameAt = out.size();
            out.resize(nameAt + kNameSize, 0);
            std::copy_n(section.name.begin(), std::min(section.name.size(), kNameSize), out.begin() + nameAt);
            for (const PageRef& page : outgoing.pages) {
                support::appendLE32(out, page.number);
                support::appendLE32(out, page.dataSize);
                support::appendLE64(out, page.offset);
            }
        }
        return out;
    }

    std::vector<std::uint8_t> pageMapData(std::uint32_t pageMapId, std::uint32_t pageMapSize) const {
        std::vector<std::uint8_t> out;
        out.reserve(8 * (m_pageMap.size() + 1));
        for (const auto& [number, size] : m_pageMap) {
            support::appendLE32(out, number);
            support::appendLE32(out, size);
        }
        support::appendLE32(out, pageMapId);
        support::appendLE32(out, pageMapSize);
        return out;
    }

    void writeFileHeader(std::span<const std::uint8_t> encrypted) {
        std::array<std::uint8_t, 0x80> header = m_layout.fileHeader;
        auto addressOf = [&](std::string_view name) -> std::uint32_t {
            for (const Outgoing& out : m_outgoing) {
                if (out.section->name == name && !out.pages.empty())
                    return static_cast<std::uint32_t>(out.firstPageAddress + kDataPageHeaderSize);
            }
            return 0;
        };
        support::storeLE32(header, kPreviewAddressAt, addressOf(kPreviewName));
        support::storeLE16(header, kCodePageAt, m_file.codePage);
        support::storeLE32(header, kSummaryInfoAddressAt, addressOf(kSummaryInfoName));
        support::storeLE32(header, kVbaProjectAddressAt, addressOf(kVbaProjectName));
        support::storeLE32(header, kAppInfoAddressAt, addressOf(kAppInfoName));
        support::storeLE32(header, kAppInfoHistoryAddressAt, addressOf(kAppInfoHistoryName));
        std::copy(header.begin(), header.end(), m_out.begin());
        std::copy(encrypted.begin(), encrypted.end(), m_out.begin() + kHeaderDataAt);
        std::copy(kMagic.begin() + kHeaderDataAt + kHeaderDataSize, kMagic.end(),
                  m_out.begin() + kHeaderDataAt + kHeaderDataSize);
    }

    const DwgFile& m_file;
    const R2004Layout& m_layout;
    std::vector<Outgoing> m_outgoing;  // in section map order
    std::vector<std::uint8_t> m_header, m_classes, m_handles, m_objects, m_preview;
    std::vector<std::uint8_t> m_out;
    std::vector<std::uint8_t> m_padded, m_scratch;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_pageMap;  // number, size, in file order
    Compressor2004 m_compressor;
    std::uint32_t m_nextPage = 1;
};

}  // namespace

const R2004Section* R2004Layout::find(std::string_view name) const {
    for (const R2004Section& section : sections) {
        if (section.name == name) return &section;
    }
    return nullptr;
}

DwgFile readR2004(std::span<const std::uint8_t> bytes, const ReadOptions& options) {
    return Reader2004(bytes, options).read();
}

std::vector<std::uint8_t> writeR2004(const DwgFile& file) {
    if (!isPaged(file.release))
        throw UnsupportedRelease("2004 writer: expected release 2004, 2010, 2013 or 2018, found " +
                                 std::string(releaseName(file.release)));
    const auto* layout = dynamic_cast<const R2004Layout*>(file.layout.get());
    if (layout != nullptr && layout->release == file.release) return Writer2004(file, *layout).write();
    // A 2010-2018 file from scratch would need every section in that
    // release's form, AcDb:AcDsPrototype_1b and the 2018 aux header
    // included; only the same-release save of a file that was read is done.
    if (file.release != Release::R2004)
        throw UnsupportedRelease("writing a " + std::string(releaseName(file.release)) +
                                 " file: only a drawing read from a file of that release can be saved in it");
    const std::shared_ptr<const R2004Layout> fresh = defaultLayout(file);
    return Writer2004(file, *fresh).write();
}

}  // namespace dwg
