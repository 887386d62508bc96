#include "dwg/container/dwg_file.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>

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

}  // namespace

DwgFile readDwgFile(std::span<const std::uint8_t> bytes) {
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
            return readR13To2000(bytes, release);
        case Release::R2004:
            return readR2004(bytes);
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
