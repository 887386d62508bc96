#pragma once
// An ACAD_TABLE of 2010 or later in the form of 2004: from 2010 on a table
// keeps its rows, columns and cells in its table content (ODA §20.4.96.2,
// §20.4.97), while 2004 stores column widths, row heights and one record per
// cell with its overrides of the table style (ODA §20.4.96.1). What goes
// where, as AutoCAD's own 2004 saves of the samples show it:
// - widths and heights: the content's columns' and rows';
// - a cell holds one content: a value becomes its text (a string as it is,
//   another value as its shown text), a field its FIELD, a block a block
//   cell with its attribute texts; an empty string is an empty cell;
// - merged ranges: the top left cell counts the columns and rows it spans,
//   the cells it covers are marked merged;
// - overrides: of the table's own, the column's, the row's, the cell's and
//   the content's styles the last to override a property gives it (ODA
//   §20.4.101.3 bits); they become the cell's overrides of rotation, block
//   scale, alignment, fill, content colour, text style and height and of
//   its edges' colour, lineweight and visibility, an edge two cells share
//   kept by one of them; a value whose content overrides its data type
//   sets bit 0x40000, which stores nothing;
// - the table's flow direction and margins, and a missing title or header
//   row, as table overrides; the value flags say 0x10 for a table flowing
//   down, 0x20 for one without a title.
// The cells get their values in the form of 2007 too (example_2007: flags 6
// and the data of a value kept, flags 7 and no data otherwise), which 2004
// does not write.
//
// The table style is not at hand: a table whose style (and not the table
// itself) makes it flow up is written as flowing down.

#include <string>
#include <vector>

#include "dwg/objects/walks/multileader_table.h"

namespace dwg {

// The 2004 fields of a table read from 2010 or later, from its content.
// Strings stay in the source's form (UTF-16) for the save to recode. What
// 2004 cannot hold (a cell's second content, a value without a text to
// show, margins or double borders of less than the whole table, cell styles
// other than their rows', linked data, breaks) is appended to `problems`,
// one sentence each.
void tableCellsFromContent(TableObject& table, std::vector<std::string>& problems);

}  // namespace dwg
