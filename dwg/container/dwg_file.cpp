#include "dwg/container/dwg_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dwg/container/r13_2000.h"
#include "dwg/container/r2004.h"
#include "dwg/container/r2007.h"
#include "dwg/errors.h"
#include "support/code_pages.h"
#include "support/little_endian.h"

namespace dwg {

namespace {

constexpr const char* kReleasesRead = "releases read: R13, R14, 2000, 2004, 2007, 2010, 2013 and 2018 (AC1012 to AC1032)";

// A DXF file, ASCII ("0" then "SECTION" on the next line, blanks around
// both) or binary, is often taken for a drawing; it deserves its own word.
bool looksLikeDxf(std::span<const std::uint8_t> bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), std::min<std::size_t>(bytes.size(), 64));
    if (text.starts_with("AutoCAD Binary DXF"))
        return true;
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
    };
    skipBlanks();
    if (i >= text.size() || text[i] != '0')
        return false;
    ++i;
    skipBlanks();
    return text.substr(i).starts_with("SECTION");
}

// ODA §27: the application version codes of the releases this engine
// meets; the odd codes are the releases, the even ones their betas.
std::string applicationRelease(std::uint8_t code, std::uint8_t maintenance) {
    static constexpr std::array<std::pair<std::uint8_t, const char*>, 8> kCodes{{{19, "AC1012 (R13)"},
                                                                                 {21, "AC1014 (R14)"},
                                                                                 {23, "AC1015 (2000)"},
                                                                                 {25, "AC1018 (2004)"},
                                                                                 {27, "AC1021 (2007)"},
                                                                                 {29, "AC1024 (2010)"},
                                                                                 {31, "AC1027 (2013)"},
                                                                                 {33, "AC1032 (2018)"}}};
    if (code == 0)
        return {};
    std::string name = "application version " + std::to_string(code);
    for (const auto& [known, release] : kCodes)
        if (known == code)
            name = std::string("a program of ") + release;
    return name + ", maintenance " + std::to_string(maintenance);
}

// ODA §16.1: RS length counting a terminating zero, the bytes, the zero;
// from 2007 on (§16.2 with its errata) the length counts UTF-16 characters,
// which the text gets in UTF-8.
std::optional<std::string> readString16(std::span<const std::uint8_t> data, std::size_t& at, bool unicode) {
    if (data.size() - at < 2)
        return std::nullopt;
    const std::size_t length = data[at] | (std::size_t{data[at + 1]} << 8);
    at += 2;
    const std::size_t bytes = unicode ? 2 * length : length;
    if (data.size() - at < bytes)
        return std::nullopt;
    std::string text;
    if (unicode) {
        std::u16string wide;
        for (std::size_t i = 0; i < length; ++i)
            wide += static_cast<char16_t>(data[at + 2 * i] | (data[at + 2 * i + 1] << 8));
        while (!wide.empty() && wide.back() == u'\0')
            wide.pop_back();
        text = support::toUtf8(wide);
    } else {
        const auto from = data.begin() + static_cast<std::ptrdiff_t>(at);
        text.assign(from, from + static_cast<std::ptrdiff_t>(bytes));
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
    }
    at += bytes;
    return text;
}

// The value of `name="..."` in the product XML; AutoCAD writes "name =",
// and from 2010 escapes the quotes with backslashes.
std::string productName(std::string_view product) {
    for (const std::string_view key : {"name =\\\"", "name=\\\"", "name =\"", "name=\""}) {
        if (const std::size_t n = product.find(key); n != std::string_view::npos) {
            const std::size_t from = n + key.size();
            const std::size_t to = product.find_first_of("\\\"", from);
            return std::string(product.substr(from, to == std::string_view::npos ? std::string_view::npos : to - from));
        }
    }
    return {};
}

// "product version", where the version does not name the product itself
// (the ODA's "Teigha(R) 4.3.2.0").
std::string productAndVersion(const std::string& product, const std::string& version) {
    const std::string name = productName(product);
    if (name.empty())
        return {};
    if (version.empty())
        return name;
    if (std::isdigit(static_cast<unsigned char>(version.front())) == 0)
        return version;
    return name + " " + version;
}

// The product name and version of a 2004 AppInfo, e.g. "AutoCAD 16.0":
// name, RL, comment, product XML, version.
std::string appInfoWriter2004(std::span<const std::uint8_t> data) {
    std::size_t at = 0;
    if (!readString16(data, at, false) || data.size() - at < 4)
        return {};
    at += 4;
    const auto comment = readString16(data, at, false);
    const auto product = readString16(data, at, false);
    const auto version = readString16(data, at, false);
    if (!comment || !product || !version)
        return {};
    return productAndVersion(*product, *version);
}

// The same of a 2007+ AppInfo (ODA §16.2 with its errata): RL, name, RL
// count, then each string after 16 bytes of checksum: version, comment,
// product XML (AutoCAD 2013 left out the product in some files).
std::string appInfoWriter2007(std::span<const std::uint8_t> data) {
    std::size_t at = 0;
    if (data.size() < 4)
        return {};
    at += 4;
    if (!readString16(data, at, true) || data.size() - at < 4)
        return {};
    const std::uint32_t count = support::loadLE32(data, at);
    at += 4;
    std::vector<std::string> strings;
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(count, 3); ++i) {
        if (data.size() - at < 16)
            return {};
        at += 16;
        auto text = readString16(data, at, true);
        if (!text)
            return {};
        strings.push_back(std::move(*text));
    }
    if (strings.size() < 3)
        return {};
    return productAndVersion(strings[2], strings[0]);
}

// ODA §16.2 with its errata: the 2007 form, whose strings are an RS count
// of UTF-16 units (counting a terminating zero) and the units.
std::optional<std::string> readWideString(std::span<const std::uint8_t> data, std::size_t& at) {
    if (data.size() - at < 2)
        return std::nullopt;
    const std::size_t units = data[at] | (std::size_t{data[at + 1]} << 8);
    at += 2;
    if ((data.size() - at) / 2 < units)
        return std::nullopt;
    std::string text;
    for (std::size_t i = 0; i < units; ++i) {
        const unsigned unit = data[at + 2 * i] | (unsigned{data[at + 2 * i + 1]} << 8);
        if (unit == 0)
            break;
        text += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    at += 2 * units;
    return text;
}

// The product name and version of a 2007 AppInfo, e.g. "AutoCAD 22.0.48.M.294":
// an RL, the name "AppInfoDataList", the RL count of strings that follow, each
// after 16 bytes of checksum: the version, the comment and the product XML
// (AutoCAD 2013 writes the first two only, and so names no product).
std::string wideAppInfoWriter(std::span<const std::uint8_t> data) {
    std::size_t at = 4;
    if (data.size() < at || !readWideString(data, at) || data.size() - at < 4)
        return {};
    const std::uint32_t count = data[at] | (std::uint32_t{data[at + 1]} << 8) | (std::uint32_t{data[at + 2]} << 16) |
                                (std::uint32_t{data[at + 3]} << 24);
    at += 4;
    if (count < 3)
        return {};
    std::optional<std::string> strings[3];
    for (auto& text : strings) {
        if (data.size() - at < 16)
            return {};
        at += 16;
        text = readWideString(data, at);
        if (!text)
            return {};
    }
    const std::string& version = *strings[0];
    const std::string& product = *strings[2];
    // name ="AutoCAD", its quotes escaped with backslashes in AutoCAD's files.
    const std::size_t key = product.find("name");
    if (key == std::string::npos)
        return {};
    std::size_t from = key + 4;
    while (from < product.size() && (product[from] == ' ' || product[from] == '=' || product[from] == '\\'))
        ++from;
    if (from >= product.size() || product[from] != '"')
        return {};
    ++from;
    const std::string name = product.substr(from, product.find_first_of("\\\"", from) - from);
    if (name.empty())
        return {};
    return version.empty() ? name : name + " " + version;
}

}  // namespace

std::string writerOf(const DwgFile& file) {
    if (const auto* r2004 = dynamic_cast<const R2004Layout*>(file.layout.get())) {
        const bool repaired = std::any_of(file.repairs.begin(), file.repairs.end(),
                                          [](const Repair& r) { return r.structure == "AcDb:AppInfo"; });
        if (const R2004Section* appInfo = r2004->find("AcDb:AppInfo"); appInfo != nullptr && !repaired) {
            // The form follows the application that wrote the file, so a
            // 2004 file may hold the UTF-16 form (ODA §16); the other form
            // is tried too.
            const bool unicode = isUnicode(file.release) || r2004->fileHeader[0x11] >= 27;
            std::string name = unicode ? appInfoWriter2007(appInfo->data) : appInfoWriter2004(appInfo->data);
            if (name.empty())
                name = unicode ? appInfoWriter2004(appInfo->data) : appInfoWriter2007(appInfo->data);
            if (!name.empty())
                return name;
        }
        return applicationRelease(r2004->fileHeader[0x11], r2004->fileHeader[0x12]);
    }
    if (const auto* r2007 = dynamic_cast<const R2007Layout*>(file.layout.get())) {
        if (const R2007Section* appInfo = r2007->find("AcDb:AppInfo"); appInfo != nullptr) {
            if (std::string name = wideAppInfoWriter(appInfo->data); !name.empty())
                return name;
        }
        return applicationRelease(r2007->fileHeader[0x11], r2007->fileHeader[0x12]);
    }
    if (const auto* r13 = dynamic_cast<const R13Layout*>(file.layout.get()))
        return applicationRelease(r13->writerBytes[0], r13->writerBytes[1]);
    return {};
}

DwgFile readDwgFile(std::span<const std::uint8_t> bytes, const ReadOptions& options) {
    if (bytes.empty())
        throw FormatError("an empty file, not a DWG drawing");
    if (looksLikeDxf(bytes))
        throw FormatError("a DXF file, not a DWG drawing");
    if (bytes.size() < 6 || bytes[0] != 'A' || bytes[1] != 'C')
        throw FormatError("not a DWG drawing: it does not start with a DWG version (\"AC1012\" to \"AC1032\")");
    const std::string version(bytes.begin(), bytes.begin() + 6);
    const std::optional<Release> found = findRelease(version);
    if (!found)
        throw UnsupportedRelease("DWG version " + version + " is not read; " + kReleasesRead);
    switch (const Release release = *found) {
        case Release::R13:
        case Release::R14:
        case Release::R2000:
            return readR13To2000(bytes, release, options);
        case Release::R2004:
        case Release::R2010:
        case Release::R2013:
        case Release::R2018:
            return readR2004(bytes, options);
        case Release::R2007:
            return readR2007(bytes, options);
        default:
            throw UnsupportedRelease("release " + std::string(releaseName(release)) + " (" + version +
                                     ") cannot be read yet; " + kReleasesRead);
    }
}

bool canWriteDwgFile(Release release) noexcept { return release != Release::R2007; }

std::vector<std::uint8_t> writeDwgFile(const DwgFile& file) {
    if (!canWriteDwgFile(file.release))
        throw UnsupportedRelease("release " + std::string(releaseName(file.release)) + " cannot be written yet");
    switch (file.release) {
        case Release::R13:
        case Release::R14:
        case Release::R2000:
            return writeR13To2000(file);
        case Release::R2004:
        case Release::R2010:
        case Release::R2013:
        case Release::R2018:
            return writeR2004(file);
        default:
            throw UnsupportedRelease("release " + std::string(releaseName(file.release)) + " cannot be written yet");
    }
}

}  // namespace dwg
