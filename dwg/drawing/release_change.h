#pragma once
// Saving a drawing as AutoCAD 2004 from any other release (R13 to 2000,
// 2007 to 2018), or as 2004 in another code page: every object decoded
// through its walk and encoded for the target release, the way AutoCAD's
// own "save as" changes what the releases store differently:
// - the common data: 2004 keeps no previous / next links and says whether an
//   extension dictionary follows; R13-R14 linetype bits become linetype flags;
//   the fields of 2007 and later (materials, shadows, visual styles, the data
//   store flag) are not written;
// - owned objects: a block record, a block reference's attributes and a
//   polyline's vertices are listed one by one instead of by their first and
//   last, linked (ODA §20.4.2, .9-10, .16-19, .52);
// - colours: CMC colours take the 2004 form (colorForRelease);
// - strings: every string of the objects, their extended data and
//   XRECORDs, the header variables and the classes, in the output's code
//   page (UTF-16 from 2007 on; characters the page lacks as \U+XXXX);
// - types that changed: R13-R14 classes that became fixed types (LWPOLYLINE,
//   HATCH), and the 2004 fixed types of ACDBPLACEHOLDER and LAYOUT;
// - header variables (HeaderVariables::convertedTo) and classes with their
//   2004 fields;
// - VX_CONTROL and VX_TABLE_RECORD, which 2004 has not, are left out;
// - a fresh container of the target release, with the input's preview (its
//   PNG picture as a bitmap where the caller can make one) and its summary
//   info in the target's form.
// Handles keep their numbers. An object that cannot be carried (a type no
// walk describes, one that cannot be decoded, one whose data 2013 and later
// keep in the data store section, a proxy of 2007 or later whose strings
// 2004 would need within its data) is left out with every reference to it
// removed, and listed.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "dwg/container/dwg_file.h"

namespace dwg {

struct DroppedObjectInSave {
    std::uint64_t handle = 0;
    std::string type;    // DXF name, or "type N"
    std::string reason;
    bool isEntity = false;  // something drawn, which the saved drawing no longer shows
    friend bool operator==(const DroppedObjectInSave&, const DroppedObjectInSave&) = default;
};

struct ReleaseChange {
    DwgFile file;
    std::vector<DroppedObjectInSave> dropped;
    // What was kept but changed on the way (a string shortened to a limit of
    // the target, two names that became one), one sentence each.
    std::vector<std::string> problems;
};

struct ReleaseChangeOptions {
    // The DWGCODEPAGE the output declares and stores its strings in (34 =
    // ANSI_1255...); the source's own by default.
    std::optional<std::uint16_t> codePage;
    // The bitmap (a DIB: header, colour table, rows) of a PNG preview of
    // 2013 and later, whose PNG entry a target before 2013 cannot show; any
    // std::exception leaves the picture out. Without it the PNG is carried as
    // it is (the engine decodes no images).
    std::function<std::vector<std::uint8_t>(std::span<const std::uint8_t>)> pngToBitmap;
};

// Whether changeRelease takes a drawing of `from` to `target`: 2004 from
// every release.
bool canChangeRelease(Release from, Release target) noexcept;

// `source` as read (and edited), to a target canChangeRelease allows
// (UnsupportedRelease for other targets).
ReleaseChange changeRelease(const DwgFile& source, Release target, const ReleaseChangeOptions& options = {});

}  // namespace dwg
