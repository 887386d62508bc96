#include "fuzz/targets.h"

#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "dwg/container/dwg_file.h"
#include "dwg/container/summary_info.h"
#include "dwg/drawing/drawing.h"
#include "dwg/drawing/text_codec.h"
#include "dwg/errors.h"
#include "dwg/objects/classes.h"
#include "dwg/objects/object.h"
#include "dwg/objects/registry.h"
#include "hebrew/fntdef.h"
#include "preview/bmp.h"
#include "preview/dwgthumb.h"
#include "preview/inflate.h"
#include "preview/png.h"
#include "support/atomic_file.h"
#include "support/hex.h"
#include "support/ini_file.h"
#include "support/paths.h"

namespace fuzz {
namespace {

void require(bool holds, const std::string& what) {
    if (!holds)
        throw Finding(what);
}

// The input as a regular file that exists in memory only, for the readers
// that take a path.
class MemoryFile {
public:
    explicit MemoryFile(Input bytes) : m_fd(::memfd_create("fuzz-input", MFD_CLOEXEC)) {
        require(m_fd >= 0, "memfd_create failed");
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t wrote = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            require(wrote > 0, "writing the memory file failed");
            done += static_cast<std::size_t>(wrote);
        }
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    ~MemoryFile() { ::close(m_fd); }
    std::filesystem::path path() const { return "/proc/self/fd/" + std::to_string(m_fd); }

private:
    int m_fd;
};

// A folder of this process's own for the readers whose round trip writes a file.
const std::filesystem::path& scratchFolder() {
    static const std::filesystem::path folder = [] {
        auto f = std::filesystem::temp_directory_path() / ("corvelin-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(f);
        return f;
    }();
    return folder;
}

std::string hexOf(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        out += support::hexNumber(c);
        out += '.';
    }
    return out;
}

std::string bitsOf(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return std::to_string(bits);
}

std::string bitsOf(const dwg::Point3& p) { return bitsOf(p.x) + "," + bitsOf(p.y) + "," + bitsOf(p.z); }

// The walk of a conversion pass: each block's entities, then every block
// reference, then every text. `onText` gets each text and attribute with the
// entity whose box would move it.
template <typename OnBlock, typename OnInsert, typename OnText>
void walkTexts(const dwg::Drawing& d, OnBlock onBlock, OnInsert onInsert, OnText onText) {
    auto entity = [&](std::uint64_t h) {
        if (d.isText(h)) {
            onText(h, h);
        } else if (d.isBlockReference(h)) {
            onInsert(h);
            for (std::uint64_t a : d.attributes(h))
                onText(a, h);
        }
    };
    for (std::uint64_t block : d.blocks()) {
        onBlock(block);
        for (std::uint64_t h : d.blockEntities(block))
            entity(h);
    }
    for (std::uint64_t h : d.selectAll("INSERT"))
        entity(h);
    for (std::uint64_t h : d.selectAll("TEXT"))
        entity(h);
}

// What a conversion reads of a drawing, one line per thing, in walk order.
// `asStored` gives a string as the code page of the save compared with
// stores it (a \U+XXXX escape typed into a 2007+ string reads as the
// character it stands for once written in 8 bits).
std::vector<std::string> walkRecord(const dwg::Drawing& d, const support::CodePage* asStored = nullptr) {
    const auto shown = [asStored](const std::u16string& s) {
        return hexOf(asStored != nullptr ? dwg::decodeDrawingText(dwg::encodeDrawingText(s, *asStored), *asStored)
                                           : s);
    };
    std::vector<std::string> lines;
    for (std::uint64_t style : d.textStyles())
        lines.push_back("style " + std::to_string(style) + " " + shown(d.styleName(style)) + " " +
                        shown(d.styleFontFile(style)) + " " + std::to_string(d.style(style).generation));
    walkTexts(
        d,
        [&](std::uint64_t block) {
            lines.push_back("block " + std::to_string(block) + " " + shown(d.blockName(block)));
        },
        [&](std::uint64_t insert) { lines.push_back("insert " + std::to_string(insert)); },
        [&](std::uint64_t h, std::uint64_t) {
            lines.push_back("text " + std::to_string(h) + " " + shown(d.textString(h)) + " " +
                            shown(d.textStyleName(h)) + " " + std::to_string(d.textGeneration(h)) + " " +
                            bitsOf(d.insertionPoint(h)));
        });
    return lines;
}

// Changes the drawing as a conversion does: every style to Arial.ttf, every
// text and attribute to a new string with generation 0, mirrored ones moved.
void convert(dwg::Drawing& d) {
    for (std::uint64_t style : d.textStyles()) {
        d.setStyleFontFile(style, u"Arial.ttf");
        d.setStyleGeneration(style, 0);
    }
    std::set<std::uint64_t> done;
    walkTexts(
        d, [](std::uint64_t) {}, [](std::uint64_t) {},
        [&](std::uint64_t h, std::uint64_t boxEntity) {
            if (!done.insert(h).second)
                return;
            const std::u16string value = d.textString(h);
            const std::int16_t generation = d.textGeneration(h);
            d.setTextString(h, u"\u05E9" + value);
            if (generation & 6) {
                const dwg::Box3 box = d.boundingBox(boxEntity);
                if (!box.empty) {
                    const dwg::Point3 from = d.insertionPoint(h);
                    dwg::Point3 to = from;
                    to.x -= box.max.x - box.min.x;
                    d.move(h, from, to);
                }
            }
            d.setTextGeneration(h, 0);
        });
}

void requireSameRecord(const std::vector<std::string>& saved, const std::vector<std::string>& reopened) {
    for (std::size_t i = 0; i < std::min(saved.size(), reopened.size()); ++i)
        require(saved[i] == reopened[i], "re-opened drawing differs: saved '" + saved[i] + "', read '" +
                                             reopened[i] + "'");
    require(saved.size() == reopened.size(), "re-opened drawing differs: " + std::to_string(saved.size()) +
                                                 " walk lines saved, " + std::to_string(reopened.size()) + " read");
}

bool startsWithAny(Input bytes, std::initializer_list<std::string_view> versions) {
    for (std::string_view v : versions)
        if (bytes.size() >= v.size() && std::memcmp(bytes.data(), v.data(), v.size()) == 0)
            return true;
    return false;
}

// With `options.recoverObjectMap`, a recovered object map too: its save
// reads back without recovery and with nothing to repair.
// The summary info of a file that was read, where it decodes, encodes back
// to its bytes.
void summaryInfoRoundTrip(const dwg::DwgFile& file) {
    const std::vector<std::uint8_t> section = dwg::summaryInfoSection(file);
    dwg::SummaryInfo info;
    try {
        info = dwg::decodeSummaryInfo(section, file.release);
    } catch (const dwg::FormatError&) {
        return;
    }
    require(dwg::encodeSummaryInfo(info, file.release) == section, "the summary info was written back otherwise");
}

void containerRoundTrip(Input bytes, const dwg::ReadOptions& options) {
    dwg::DwgFile file;
    try {
        file = dwg::readDwgFile(bytes, options);
    } catch (const dwg::FormatError&) {
        return;
    } catch (const dwg::UnsupportedRelease&) {
        return;
    }
    summaryInfoRoundTrip(file);
    // A file that was read is written back whole, and reads as it was.
    const std::vector<std::uint8_t> written = dwg::writeDwgFile(file);
    const dwg::DwgFile again = dwg::readDwgFile(written);
    require(again.release == file.release && again.codePage == file.codePage, "release or code page changed");
    require(again.headerVariables == file.headerVariables, "header variables changed");
    require(again.classes == file.classes, "classes changed");
    require(again.objects.size() == file.objects.size(), "object count changed");
    // A save rebuilds every redundant structure that was found damaged.
    require(again.repairs.empty(), again.repairs.empty() ? std::string()
                                                         : "a save left " + again.repairs.front().structure +
                                                               " to repair: " + again.repairs.front().problem);
    for (std::size_t i = 0; i < file.objects.size(); ++i) {
        const auto before = file.bytesOf(file.objects[i]);
        const auto after = again.bytesOf(again.objects[i]);
        require(file.objects[i].handle == again.objects[i].handle &&
                    std::equal(before.begin(), before.end(), after.begin(), after.end()),
                "object " + std::to_string(file.objects[i].handle) + " changed");
    }
}

// The first line where two printed objects differ.
std::string firstDifference(const std::string& a, const std::string& b) {
    std::size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    auto lineAt = [at](const std::string& s) {
        const std::size_t start = s.rfind('\n', at == 0 ? 0 : at - 1);
        const std::size_t from = start == std::string::npos || at == 0 ? 0 : start + 1;
        return s.substr(from, s.find('\n', from) - from);
    };
    return "'" + lineAt(a) + "' became '" + lineAt(b) + "'";
}

}  // namespace

const dwg::ClassList& objectClassList() {
    static const dwg::ClassList list = [] {
        dwg::ClassList l;
        std::int16_t number = 500;
        for (const ObjectClass& c : kObjectClasses) {
            dwg::ClassDefinition& d = l.classes.emplace_back();
            d.number = number++;
            d.appName = "ObjectDBX Classes";
            d.dxfName = std::string(c.dxfName);
            d.cppClassName = "AcDb" + std::string(c.dxfName);
            d.itemClassId = c.entity ? 0x1F2 : 0x1F3;
        }
        l.maxClassNumber = static_cast<std::int16_t>(number - 1);
        return l;
    }();
    return list;
}

void objects(Input bytes) {
    if (bytes.empty())
        return;
    static constexpr dwg::Release kReleases[] = {dwg::Release::R13, dwg::Release::R14, dwg::Release::R2000,
                                                 dwg::Release::R2004};
    const dwg::Release release = kReleases[bytes[0] & 3U];
    const dwg::ClassList& classes = objectClassList();
    dwg::Object object;
    try {
        object = dwg::decodeObject(bytes.subspan(1), release, classes);
    } catch (const dwg::FormatError&) {
        return;
    } catch (const dwg::UnsupportedRelease&) {
        return;
    }
    const std::string what = object.kind != nullptr ? std::string(object.kind->dxfName)
                                                    : "object type " + std::to_string(object.common.type);
    const std::string printed = dwg::printObject(object, release);
    std::size_t references = 0;
    dwg::visitHandles(object, release, [&references](const char*, dwg::HandleRef&) { ++references; });
    // What was read writes back in its release, and reads as it was.
    const std::vector<std::uint8_t> written = dwg::encodeObject(object, release, release);
    dwg::Object again;
    try {
        again = dwg::decodeObject(written, release, classes);
    } catch (const std::exception& e) {
        throw Finding(what + " written back does not decode: " + e.what());
    }
    require(again.kind == object.kind, what + " written back decodes as another kind");
    const std::string printedAgain = dwg::printObject(again, release);
    require(printedAgain == printed, what + " written back decodes otherwise: " + firstDifference(printed, printedAgain));
    std::size_t referencesAgain = 0;
    dwg::visitHandles(again, release, [&referencesAgain](const char*, dwg::HandleRef&) { ++referencesAgain; });
    require(referencesAgain == references, what + " written back has another number of handle references");
    require(dwg::encodeObject(again, release, release) == written, what + " written twice gives other bytes");
    // Written in another release (a drawing saved as another version), it
    // reads back with the fields that release has. A refusal to write (a
    // value the release cannot hold, a handle that resolves to nothing) is
    // no finding.
    if (object.kind == nullptr)
        return;
    for (const dwg::Release other : kReleases) {
        if (other == release)
            continue;
        dwg::Object copy = object;
        // Colours take the other release's form first, as a save in it does.
        dwg::visitHandles(copy, other, [](const char*, dwg::HandleRef&) {},
                          [&](dwg::CmColor& c) { c = dwg::colorForRelease(c, other); });
        std::vector<std::uint8_t> converted;
        try {
            converted = dwg::encodeObject(copy, other, release);
        } catch (const dwg::FormatError&) {
            continue;
        } catch (const dwg::UnsupportedRelease&) {
            continue;
        } catch (const std::out_of_range&) {
            continue;
        }
        const std::string as = what + " written in " + std::string(dwg::releaseName(other));
        dwg::Object read;
        try {
            read = dwg::decodeObject(converted, other, classes);
        } catch (const std::exception& e) {
            throw Finding(as + " does not decode: " + e.what());
        }
        const std::string expected = dwg::printObject(copy, other);
        const std::string found = dwg::printObject(read, other);
        require(found == expected, as + " decodes otherwise: " + firstDifference(expected, found));
    }
}

void drawing(Input bytes) {
    std::optional<dwg::Drawing> d;
    std::vector<std::uint8_t> saved, as2004;
    std::vector<std::string> record, record2004;
    try {
        d.emplace(dwg::Drawing::fromBytes(bytes, "fuzz.dwg"));
        // Damage in an object shows only when the walk decodes it.
        convert(*d);
        record = walkRecord(*d);
        // Saved in its own release where the engine writes it, and as 2004,
        // as a conversion saves it.
        if (d->canSaveAs(d->release()))
            saved = d->toBytes();
        if (d->release() != dwg::Release::R2004) {
            record2004 = walkRecord(*d, &d->textCodePage());
            as2004 = d->toBytes(dwg::Release::R2004);
        }
    } catch (const dwg::FormatError&) {
        return;
    } catch (const dwg::UnsupportedRelease&) {
        return;
    }
    // What we wrote must open, and hold what was written.
    if (!saved.empty())
        requireSameRecord(record, walkRecord(dwg::Drawing::fromBytes(saved, "saved.dwg")));
    if (!as2004.empty())
        requireSameRecord(record2004, walkRecord(dwg::Drawing::fromBytes(as2004, "as2004.dwg")));
}

void containerR13To2000(Input bytes) {
    if (startsWithAny(bytes, {"AC1012", "AC1014", "AC1015"})) {
        containerRoundTrip(bytes, {});
        containerRoundTrip(bytes, {.recoverObjectMap = true});
    }
}

void container2004(Input bytes) {
    if (startsWithAny(bytes, {"AC1018", "AC1024", "AC1027", "AC1032"})) {
        containerRoundTrip(bytes, {});
        containerRoundTrip(bytes, {.recoverObjectMap = true});
    }
}

void container2007(Input bytes) {
    if (!startsWithAny(bytes, {"AC1021"}))
        return;
    for (const bool recover : {false, true}) {
        dwg::DwgFile file;
        try {
            file = dwg::readDwgFile(bytes, {.recoverObjectMap = recover});
        } catch (const dwg::FormatError&) {
            continue;
        } catch (const dwg::UnsupportedRelease&) {
            continue;
        }
        // 2007 is read only: what was read lies within its own bytes, and
        // the same bytes read the same again.
        require(file.release == dwg::Release::R2007, "a 2007 file read as another release");
        for (const dwg::ObjectLocation& object : file.objects)
            require(object.offset <= file.objectBytes.size() && object.size <= file.objectBytes.size() - object.offset,
                    "object " + std::to_string(object.handle) + " lies outside the object bytes");
        dwg::writerOf(file);
        summaryInfoRoundTrip(file);
        const dwg::DwgFile again = dwg::readDwgFile(bytes, {.recoverObjectMap = recover});
        require(again.headerVariables == file.headerVariables && again.classes == file.classes &&
                    again.objectBytes == file.objectBytes && again.previewImage == file.previewImage,
                "reading the same bytes twice gave different results");
    }
}

void preview(Input bytes) {
    // A drawing goes through the whole reader, which never throws; a bare
    // image or stream (as the seeds under fuzz/seeds/preview hold) straight
    // into its decoder, so that mutations are not spent on drawing bytes.
    if (startsWithAny(bytes, {"AC10"})) {
        const MemoryFile file(bytes);
        preview::LoadDwgThumbnail(file.path());
        preview::Picture target = preview::Picture::blank(180, 113);
        preview::DrawDwgThumbnail(file.path(), target);
        return;
    }
    try {
        if (preview::isPng(bytes)) {
            const preview::Picture picture = preview::decodePng(bytes);
            // Its bitmap for the preview of a 2004 save shows the same pixels.
            require(preview::decodeDib(preview::dibFromPng(bytes)).pixels == picture.pixels,
                    "the bitmap of a PNG shows other pixels");
        } else if (startsWithAny(bytes, {"BM"})) {
            preview::decodeBmp(bytes);
        } else if (!bytes.empty() && bytes[0] == 0x78) {
            preview::zlibDecompress(bytes, std::size_t{1} << 22);
        } else {
            preview::decodeDib(bytes);
        }
    } catch (const preview::ImageError&) {
    }
}

void ini(Input bytes) {
    auto file = support::IniFile::fromBytes(std::string(bytes.begin(), bytes.end()));
    for (const std::string& section : file.sectionNames())
        for (const std::string& key : file.keys(section))
            file.readString(section, key, "");
    // A key written reads back as written, in an existing section and in a new one.
    const auto sections = file.sectionNames();
    if (!sections.empty()) {
        const auto keys = file.keys(sections.front());
        const std::string key = keys.empty() ? "fuzz" : keys.front();
        if (!key.empty() && key.front() != '[') {
            file.writeString(sections.front(), key, " 'kept' ");
            require(file.readString(sections.front(), key, "") == " 'kept' ",
                    "key '" + key + "' of section '" + sections.front() + "' did not read back");
        }
    }
    file.writeString("Fuzz Section", "key", "value");
    require(file.readString("Fuzz Section", "key", "") == "value", "new section did not read back");
    file.eraseSection("Fuzz Section");
    require(file.readString("Fuzz Section", "key", "gone") == "gone", "erased section still read");
}

void fontTable(Input bytes) {
    const MemoryFile file(bytes);
    hebrew::FontTable table;
    table.Readfonts(file.path());
    // Written and read back, the table is the same: same names, same mappings.
    const std::filesystem::path written = scratchFolder() / "HebFonts.txt";
    std::filesystem::remove(written);
    table.write(written, /*skipEmptyNames=*/false);
    hebrew::FontTable again;
    again.Readfonts(written);
    require(again.rows().size() == table.rows().size(),
            std::to_string(table.rows().size()) + " rows written, " + std::to_string(again.rows().size()) + " read");
    for (std::size_t i = 0; i < table.rows().size(); ++i)
        require(again.rows()[i] == table.rows()[i], "row '" + table.rows()[i].name + "=" + table.rows()[i].mapping +
                                                        "' read back as '" + again.rows()[i].name + "=" +
                                                        again.rows()[i].mapping + "'");
}

const Target& targetNamed(std::string_view name) {
    for (const Target& target : kTargets)
        if (target.name == name)
            return target;
    throw std::invalid_argument("no fuzz target '" + std::string(name) + "'");
}

}  // namespace fuzz
