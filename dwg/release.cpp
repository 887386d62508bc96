#include "dwg/release.h"

#include <array>
#include <cstdio>
#include <string>

#include "dwg/errors.h"

namespace dwg {

namespace {

struct ReleaseInfo {
    Release release;
    std::string_view version;
    std::string_view name;
};

constexpr std::array<ReleaseInfo, 8> kReleases{{
    {Release::R13, "AC1012", "R13"},
    {Release::R14, "AC1014", "R14"},
    {Release::R2000, "AC1015", "2000"},
    {Release::R2004, "AC1018", "2004"},
    {Release::R2007, "AC1021", "2007"},
    {Release::R2010, "AC1024", "2010"},
    {Release::R2013, "AC1027", "2013"},
    {Release::R2018, "AC1032", "2018"},
}};

constexpr bool tableFollowsEnumOrder() {
    for (std::size_t i = 0; i < kReleases.size(); ++i) {
        if (static_cast<std::size_t>(kReleases[i].release) != i) return false;
    }
    return true;
}
static_assert(tableFollowsEnumOrder(), "kReleases is indexed by Release");

const ReleaseInfo& infoOf(Release release) noexcept {
    return kReleases[static_cast<std::size_t>(release)];
}

// The found bytes may be anything (a file that is not a drawing), so the
// message shows them printable.
std::string printable(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\' && byte != '"') {
            text += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        }
    }
    return text;
}

}  // namespace

std::string_view versionString(Release release) noexcept { return infoOf(release).version; }

std::string_view releaseName(Release release) noexcept { return infoOf(release).name; }

std::optional<Release> findRelease(std::string_view version) noexcept {
    for (const ReleaseInfo& info : kReleases) {
        if (info.version == version) return info.release;
    }
    return std::nullopt;
}

Release releaseFromVersionString(std::string_view version) {
    if (const auto release = findRelease(version)) return *release;
    throw UnsupportedRelease("expected DWG version AC1012 (R13) to AC1032 (2018), found \"" +
                             printable(version) + "\"");
}

}  // namespace dwg
