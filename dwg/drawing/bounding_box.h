#pragma once
// Bounding boxes of entities in world coordinates, as AutoCAD's ActiveX
// GetBoundingBox gives them: the minimum and maximum corners of the entity.
//
// Entities are decoded through their field walks (dwg/objects/walks).
//
// Curves are exact: arcs, circles, ellipses and the bulged segments of
// polylines and hatch boundaries contribute their true extents (also under
// the non-uniform scales of block references). What is estimated:
// - Single-line text, for want of the font files: every character advances
//   kCharacterWidth * height * width factor, the text stands `height` above
//   its baseline and has no descenders; the oblique angle slants the box.
// - MTEXT: the rectangle of its reference width (or, when it has none, of its
//   extents width) by its extents height (or its text height), placed by its
//   attachment point along its X axis direction.
// - SPLINE (and a hatch boundary's spline edge): the box of its control
//   points, which holds the curve; a spline stored by fit points alone: the
//   box of those, which the curve passes through.
// - Widths, arrowheads and MLINE caps are ignored: polylines are boxed by
//   their centre line, LEADERs by their points, MLINEs by the points where
//   their lines meet each vertex's miter.
// Fitted polylines are boxed as AutoCAD draws them, through their fit
// vertices; the control points of a spline's frame (VERTEX flag 16) are not
// drawn and not counted. Thickness counts: a thick entity's box covers both
// its faces. ATTRIBs and constant ATTDEFs flagged invisible are left out of
// their reference's box, as AutoCAD leaves them out of the drawing. A
// DIMENSION is the box of the block that draws it.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "dwg/drawing/object_store.h"
#include "dwg/objects/walks/text.h"

namespace dwg {

struct Box3 {
    Point3 min, max;
    bool empty = true;
    void add(const Point3& p);
    void add(const Box3& other);
};

// The documented width estimate: the advance of one character as a fraction
// of the text height. AutoCAD's txt.shx advances its characters by 5/6 of the
// height, as the drawings AutoCAD wrote show: an aligned "xx" given a height
// of 280.74 between points 467.9 apart (467.9 / 2 / 280.74 = 0.833), MTEXT
// extents of 7.5 for "xx" 4.5 high and of 1.05 for "R0.6626" 0.18 high.
// Other shape fonts are near it; proportional TrueType fonts vary more.
inline constexpr double kCharacterWidth = 5.0 / 6.0;

// The characters a TEXT value shows, counting bytes except that an escape
// counts as the one character it stands for: "%%d", "%%c", "%%p", "%%%",
// any other "%%" + letter (including the %%o / %%u switches) and "%%nnn"
// (three digits); "\U+XXXX" and "\M+NXXXX".
std::size_t textCharacterCount(std::string_view value);
std::size_t textCharacterCount(const Text& value);

// The box of a TEXT / ATTRIB / ATTDEF with `characterCount` characters:
// placed by its insertion point when left / baseline aligned, between its two
// points when aligned or fit (the width is their distance), otherwise by its
// alignment point; mirrored about that point by the generation flags
// (2 backward: in X, 4 upside down: in Y); slanted by the oblique angle,
// rotated, raised to its elevation and thickness, and taken from its OCS to
// the WCS.
Box3 textBox(const TextLineFields& text, std::size_t characterCount);

// The box of any entity of the drawing; empty for types without geometry
// here (and for VERTEX and SEQEND, which their owners account for).
// INSERT / MINSERT: its block's entities under the reference's
// transformation (nested references recursively; attribute definitions only
// when constant and visible) plus its own visible ATTRIBs; the insertion
// point alone when the block has none of the entities boxed here. A block
// that contains itself, or references nested more than 32 deep, throw
// FormatError, as does damage found on the way (naming the object).
Box3 entityBox(const ObjectStore& store, std::uint64_t handle);

// A point of an object coordinate system in world coordinates, by the
// arbitrary axis algorithm of the DXF reference. The extrusion need not be of
// unit length; a zero extrusion stands for the world Z axis.
Point3 ocsToWcs(const Point3& point, const Point3& extrusion);

}  // namespace dwg
