#pragma once
// The drawing's classes (ODA §10): object types from 500 on name their class
// by position in this list, which says the class's DXF name and whether its
// objects are entities.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dwg/release.h"

namespace dwg {

struct ClassDefinition {
    std::int16_t number = 0;        // the object type of the class's objects
    std::int16_t proxyFlags = 0;    // R13-2000: the "version" field
    std::string appName;            // bytes in the drawing's code page
    std::string cppClassName;
    std::string dxfName;
    bool wasZombie = false;
    std::int16_t itemClassId = 0;   // 0x1F2 entities, 0x1F3 other objects
    // 2004+
    std::int32_t instanceCount = 0;
    std::int16_t dwgVersion = 0;
    std::int16_t maintenanceVersion = 0;
    std::int32_t unknown1 = 0;
    std::int32_t unknown2 = 0;

    bool isEntity() const { return itemClassId == 0x1F2; }
    // The DXF name without the terminating zeros newer writers count in it.
    std::string_view name() const {
        std::string_view n = dxfName;
        while (!n.empty() && n.back() == '\0') n.remove_suffix(1);
        return n;
    }
};

struct ClassList {
    // 2004+: the fields before the records.
    std::int16_t maxClassNumber = 0;
    std::uint8_t unknownByte1 = 0;
    std::uint8_t unknownByte2 = 0;
    bool unknownBit = true;
    std::vector<ClassDefinition> classes;

    // The class of an object type of 500 or more, or null.
    const ClassDefinition* find(std::uint16_t type) const;
};

// `bytes` is DwgFile::classes. FormatError "AcDb:Classes: ..." on damage.
ClassList decodeClasses(std::span<const std::uint8_t> bytes, Release release);
std::vector<std::uint8_t> encodeClasses(const ClassList& list, Release release);

}  // namespace dwg
