#include "dwg/container/dwg_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "dwg/container/r13_2000.h"
#include "dwg/container/r2004.h"
#include "dwg/errors.h"

namespace dwg {

namespace {

constexpr const char* kReleasesRead = "releases read: R13, R14, 2000 and 2004 (AC1012 to AC1018)";

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

// ODA §16.1: RS length counting a terminating zero, the bytes, the zero.
std::optional<std::string> readString16(std::span<const std::uint8_t> data, std::size_t& at) {
    if (data.size() - at < 2)
        return std::nullopt;
    const std::size_t length = data[at] | (std::size_t{data[at + 1]} << 8);
    at += 2;
    if (data.size() - at < length)
        return std::nullopt;
    std::string text(data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

// The product name and version of an R18 AppInfo, e.g. "AutoCAD 16.0".
std::string appInfoWriter(std::span<const std::uint8_t> data) {
    std::size_t at = 0;
    if (!readString16(data, at) || data.size() - at < 4)
        return {};
    at += 4;
    const auto comment = readString16(data, at);
    const auto product = readString16(data, at);
    const auto version = readString16(data, at);
    if (!comment || !product || !version)
        return {};
    std::string name;
    if (const std::size_t n = product->find("name =\""); n != std::string::npos) {
        const std::size_t from = n + 7;
        name = product->substr(from, product->find('"', from) - from);
    } else if (const std::size_t m = product->find("name=\""); m != std::string::npos) {
        const std::size_t from = m + 6;
        name = product->substr(from, product->find('"', from) - from);
    }
    if (name.empty())
        return {};
    return version->empty() ? name : name + " " + *version;
}

}  // namespace

std::string writerOf(const DwgFile& file) {
    if (const auto* r2004 = dynamic_cast<const R2004Layout*>(file.layout.get())) {
        const bool repaired = std::any_of(file.repairs.begin(), file.repairs.end(),
                                          [](const Repair& r) { return r.structure == "AcDb:AppInfo"; });
        if (const R2004Section* appInfo = r2004->find("AcDb:AppInfo"); appInfo != nullptr && !repaired) {
            if (std::string name = appInfoWriter(appInfo->data); !name.empty())
                return name;
        }
        return applicationRelease(r2004->fileHeader[0x11], r2004->fileHeader[0x12]);
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
            return readR2004(bytes, options);
        default:
            throw UnsupportedRelease("release " + std::string(releaseName(release)) + " (" + version +
                                     ") cannot be read yet; " + kReleasesRead);
    }
}

std::vector<std::uint8_t> writeDwgFile(const DwgFile& file) {
    switch (file.release) {
        case Release::R13:
        case Release::R14:
        case Release::R2000:
            return writeR13To2000(file);
        case Release::R2004:
            return writeR2004(file);
        default:
            throw UnsupportedRelease("release " + std::string(releaseName(file.release)) + " cannot be written yet");
    }
}

}  // namespace dwg
