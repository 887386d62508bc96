#pragma once
// Saving a drawing in a later release than it was read in (R13, R14 and 2000
// to 2004): every object decoded through its walk and encoded for the target
// release, the way AutoCAD's own "save as" changes what the releases store
// differently:
// - the common data: 2004 keeps no previous / next links and says whether an
//   extension dictionary follows; R13-R14 linetype bits become linetype flags;
// - owned objects: a block record, a block reference's attributes and a
//   polyline's vertices are listed one by one instead of by their first and
//   last, linked (ODA §20.4.2, .9-10, .16-19, .52);
// - colours: CMC colours take the 2004 form (colorForRelease);
// - types that changed: R13-R14 classes that became fixed types (LWPOLYLINE,
//   HATCH), and the 2004 fixed types of ACDBPLACEHOLDER and LAYOUT;
// - header variables (HeaderVariables::convertedTo) and classes with their
//   2004 fields;
// - VX_CONTROL and VX_TABLE_RECORD, which 2004 has not, are left out;
// - a fresh container of the target release.
// Handles keep their numbers. An object that cannot be carried (a type no
// walk describes, or one that cannot be decoded) is left out with every
// reference to it removed, and listed.

#include <cstdint>
#include <string>
#include <vector>

#include "dwg/container/dwg_file.h"

namespace dwg {

struct DroppedObjectInSave {
    std::uint64_t handle = 0;
    std::string type;    // DXF name, or "type N"
    std::string reason;
    friend bool operator==(const DroppedObjectInSave&, const DroppedObjectInSave&) = default;
};

struct ReleaseChange {
    DwgFile file;
    std::vector<DroppedObjectInSave> dropped;
};

// Whether changeRelease takes a drawing of `from` to `target`: 2004 from
// R13, R14 and 2000.
bool canChangeRelease(Release from, Release target) noexcept;

// `source` as read (and edited), to a target canChangeRelease allows
// (UnsupportedRelease for other pairs).
ReleaseChange changeRelease(const DwgFile& source, Release target);

}  // namespace dwg
