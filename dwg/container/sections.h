#pragma once
// What the section-based containers (2004 to 2018, and 2007) share: the
// names of their sections (ODA §4.5), which of them the drawing's content
// depends on, what a save puts in place of a redundant one that could not be
// read, and byte dumps for their messages.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dwg::sections {

inline constexpr std::string_view kHeaderName = "AcDb:Header";
inline constexpr std::string_view kClassesName = "AcDb:Classes";
inline constexpr std::string_view kHandlesName = "AcDb:Handles";
inline constexpr std::string_view kObjectsName = "AcDb:AcDbObjects";
inline constexpr std::string_view kPreviewName = "AcDb:Preview";
inline constexpr std::string_view kSummaryInfoName = "AcDb:SummaryInfo";
inline constexpr std::string_view kVbaProjectName = "AcDb:VBAProject";
inline constexpr std::string_view kAppInfoName = "AcDb:AppInfo";
inline constexpr std::string_view kAppInfoHistoryName = "AcDb:AppInfoHistory";
inline constexpr std::string_view kRevHistoryName = "AcDb:RevHistory";
inline constexpr std::string_view kObjFreeSpaceName = "AcDb:ObjFreeSpace";
inline constexpr std::string_view kTemplateName = "AcDb:Template";
inline constexpr std::string_view kAuxHeaderName = "AcDb:AuxHeader";

// The sections the drawing's content is made of; the others are redundant
// or informational.
inline bool isEssential(std::string_view name) {
    return name == kHeaderName || name == kClassesName || name == kHandlesName || name == kObjectsName;
}

// What a save (in a release this engine writes) puts in place of a
// redundant section that could not be read.
inline const char* onSaveOf(std::string_view name) {
    if (name == kPreviewName) return "an empty preview";
    if (name.empty()) return "an empty one";
    if (name == kSummaryInfoName || name == kAppInfoName || name == kRevHistoryName || name == kObjFreeSpaceName ||
        name == kTemplateName || name == kAuxHeaderName)
        return "a fresh one";
    return "none";
}

// Upper-case digits, a space between bytes ("CF 7B 1F").
inline std::string hexBytes(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (const std::uint8_t byte : bytes) {
        if (!out.empty()) out += ' ';
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xF];
    }
    return out;
}

}  // namespace dwg::sections
