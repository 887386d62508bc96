#include "dwg/drawing/table_cells.h"

#include <charconv>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace dwg {
namespace {

// Cell content types (ODA §20.4.97).
constexpr std::uint32_t kValueContent = 1, kFieldContent = 2, kBlockContent = 4;

// Value data types (ODA §20.4.99).
constexpr std::uint32_t kLong = 1, kDouble = 2, kString = 4, kGeneral = 512;

// Property override bits of content formats and cell styles (ODA §20.4.101.3).
constexpr std::uint32_t kDataType = 0x1, kRotation = 0x4, kBlockScale = 0x8, kAlignment = 0x10, kContentColor = 0x20,
                        kTextStyle = 0x40, kTextHeight = 0x80, kAutoScale = 0x100, kBackground = 0x200,
                        kMarginLeft = 0x400, kMarginTop = 0x800, kMarginRight = 0x1000, kMarginBottom = 0x2000,
                        kFlowUp = 0x10000;
constexpr std::uint32_t kMargins = kMarginLeft | kMarginTop | kMarginRight | kMarginBottom;

// Border property override bits (ODA §20.4.101.4).
constexpr std::uint32_t kBorderType = 0x1, kBorderLineWeight = 0x2, kBorderLinetype = 0x4, kBorderColor = 0x8,
                        kBorderInvisible = 0x10;
constexpr std::uint32_t kDoubleBorder = 2;

// The 2004 cell override bits (ODA §20.4.96.1), an edge's shifted by its
// index; 0x40000 is the bit AutoCAD sets on a cell whose value's data type
// its content overrides (the samples), with no data.
constexpr std::uint32_t kCellAlignment = 0x1, kCellFillNone = 0x2, kCellBackground = 0x4, kCellContentColor = 0x8,
                        kCellTextStyle = 0x10, kCellTextHeight = 0x20, kCellGridColor = 0x40,
                        kCellGridLineWeight = 0x400, kCellGridVisibility = 0x4000, kCellDataType = 0x40000;

// The 2004 table override bits (ODA §20.4.96.1).
constexpr std::uint32_t kTitleSuppressed = 0x1, kHeaderSuppressed = 0x2, kFlowDirection = 0x4,
                        kHorizontalMargin = 0x8, kVerticalMargin = 0x10;

// The table value flags: 0x02 and 0x04 always, 0x10 a table flowing down,
// 0x20 one without a title row (ODA §20.4.96.1).
constexpr std::int16_t kFlowsDown = 0x10, kNoTitle = 0x20;

// The cell style ids of the rows (ODA §20.4.101.2).
constexpr std::uint32_t kTitleRow = 1, kHeaderRow = 2, kDataRow = 3;

// The edges in the order of the 2004 override bits: top, right, bottom,
// left; the bits a cell style's border names them by (ODA §20.4.101.4),
// which the 2004 edge flags share.
constexpr unsigned kTop = 0, kRight = 1, kBottom = 2, kLeft = 3;
constexpr std::uint8_t kEdgeBit[4] = {1, 2, 4, 8};
constexpr std::uint32_t kInsideVertical = 0x10, kInsideHorizontal = 0x20;

// An edge's overrides as a cell sees them.
struct Edge {
    std::uint32_t overrides = 0;  // border property override bits
    CmColor color;
    std::int32_t lineWeight = 0;
    bool invisible = false;
};

// The properties the table, column, row, cell and content styles override
// for one cell, the last one to override a property giving it.
struct Overrides {
    std::uint32_t properties = 0;
    ContentFormat format;
    CmColor background;
    Edge edges[4];
};

// Where a cell lies in the range a style applies to: its outer borders
// apply to the cell's edges on the range's sides, its inside borders to
// the others.
struct Place {
    bool top = true, right = true, bottom = true, left = true;
};

bool borderApplies(std::uint32_t edges, unsigned edge, const Place& at) {
    switch (edge) {
    case kTop: return ((edges & 1) != 0 && at.top) || ((edges & kInsideHorizontal) != 0 && !at.top);
    case kRight: return ((edges & 2) != 0 && at.right) || ((edges & kInsideVertical) != 0 && !at.right);
    case kBottom: return ((edges & 4) != 0 && at.bottom) || ((edges & kInsideHorizontal) != 0 && !at.bottom);
    default: return ((edges & 8) != 0 && at.left) || ((edges & kInsideVertical) != 0 && !at.left);
    }
}

void applyFormat(Overrides& o, const ContentFormat& f, std::uint32_t properties) {
    ContentFormat& to = o.format;
    if ((properties & kRotation) != 0) to.rotation = f.rotation;
    if ((properties & kBlockScale) != 0) to.blockScale = f.blockScale;
    if ((properties & kAlignment) != 0) to.alignment = f.alignment;
    if ((properties & kContentColor) != 0) to.contentColor = f.contentColor;
    if ((properties & kTextStyle) != 0) to.textStyle = f.textStyle;
    if ((properties & kTextHeight) != 0) to.textHeight = f.textHeight;
    // The auto scale property's value is its bit of the property flags.
    if ((properties & kAutoScale) != 0)
        to.propertyFlags = (to.propertyFlags & ~kAutoScale) | (f.propertyFlags & kAutoScale);
    o.properties |= properties;
}

void applyStyle(Overrides& o, const CellStyle& s, const Place& at) {
    if (s.dataFlags == 0)
        return;
    applyFormat(o, s.content, s.propertyOverrides);
    if ((s.propertyOverrides & kBackground) != 0)
        o.background = s.backgroundColor;
    for (const CellBorder& b : s.borders)
        for (unsigned e = 0; e < 4; ++e) {
            if (b.overrides == 0 || !borderApplies(b.edges, e, at))
                continue;
            Edge& edge = o.edges[e];
            if ((b.overrides & kBorderColor) != 0) edge.color = b.color;
            if ((b.overrides & kBorderLineWeight) != 0) edge.lineWeight = b.lineWeight;
            if ((b.overrides & kBorderInvisible) != 0) edge.invisible = b.invisible != 0;
            edge.overrides |= b.overrides;
        }
}

// AutoCAD's name of a cell: its column's letters and its row's number.
std::string cellName(std::size_t row, std::size_t column) {
    std::string letters;
    for (std::size_t c = column + 1; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row + 1);
}

std::string columnName(std::size_t column) {
    const std::string name = cellName(0, column);
    return name.substr(0, name.size() - 1);
}

// What 2004 cannot show of a style: margins of less than the whole table,
// double borders and border linetypes (a cell's edges have colour,
// lineweight and visibility only).
void checkStyle(const CellStyle& s, const std::string& what, bool wholeTable, std::vector<std::string>& problems) {
    if (s.dataFlags == 0)
        return;
    if (!wholeTable && (s.propertyOverrides & kMargins) != 0)
        problems.push_back(what + " has margins of its own, which 2004 sets for the whole table only: it takes the "
                                  "table's");
    for (const CellBorder& b : s.borders) {
        if (((b.overrides & kBorderType) != 0 && b.borderType == kDoubleBorder) ||
            ((b.overrides & kBorderLinetype) != 0 && b.lineType.value != 0)) {
            problems.push_back(what + " has double borders or border linetypes of its own, which 2004 has not: they "
                                      "are drawn single, in the table style's linetype");
            break;
        }
    }
}

// A value with nothing to show: no data (flag 1, ODA §20.4.99), an unknown
// type, an empty string or general data of zeros alone (the 2018 sample's
// cleared cell).
bool isEmpty(const TableValue& v) {
    if ((v.flags & 1U) != 0 || v.dataType == 0)
        return true;
    if (v.dataType != kString && v.dataType != kGeneral)
        return false;
    if (!v.valueText.units.empty())
        return false;
    for (const std::uint8_t b : v.bytes)
        if (b != 0)
            return false;
    return true;
}

std::u16string ascii(const std::string& s) { return {s.begin(), s.end()}; }

// The text 2004 shows for a value: a string as it is, another value as the
// text AutoCAD formatted for it; numbers without one as plain numbers.
std::u16string textOf(const TableValue& v, const std::string& cell, std::vector<std::string>& problems) {
    if (v.dataType == kString)
        return v.text.units;  // the walk reads the UTF-16 bytes into it
    // From 2007 on strings are UTF-16.
    if (!v.valueText.units.empty())
        return v.valueText.units;
    if (v.dataType == kLong || v.dataType == kDouble) {
        char buffer[32];
        const auto end = v.dataType == kLong ? std::to_chars(buffer, buffer + sizeof buffer, v.integer).ptr
                                             : std::to_chars(buffer, buffer + sizeof buffer, v.real).ptr;
        const std::string number(buffer, end);
        problems.push_back("cell " + cell + " keeps its number as the text " + number +
                           ", without the number format, which 2004 cells have not");
        return ascii(number);
    }
    problems.push_back("cell " + cell + " holds a value of data type " + std::to_string(v.dataType) +
                       " without a text to show, which 2004 cannot hold: the cell is left empty");
    return {};
}

// AutoCAD's 2004 saves count a terminating zero in a cell's text, but for
// an empty one (no length at all).
Text textFromUnits(std::u16string units) {
    Text t;
    t.terminated = !units.empty();
    t.units = std::move(units);
    return t;
}

// An empty cell's value in the 2007 form (the samples): no data, flags 7.
TableValue emptyValue() {
    TableValue v;
    v.flags = 7;
    return v;
}

// One cell in the 2004 form, its overrides aside: its content and value.
// Returns whether it kept a value (whose data type its content may
// override).
bool fillContent(TableCellData& out, const TableCell& cell, const std::string& name,
                 std::vector<std::string>& problems) {
    out.value = emptyValue();
    out.text = textFromUnits({});
    // A text cell's FIELD is a hard pointer, null for a text alone (AutoCAD
    // writes the null one so).
    out.object = {5, 0};
    if (cell.contents.empty())
        return false;
    if (cell.contents.size() > 1)
        problems.push_back("cell " + name + " holds " + std::to_string(cell.contents.size()) +
                           " contents, of which 2004 keeps only the first");
    const TableCellContent& c = cell.contents.front();
    switch (c.type) {
    case kValueContent: {
        if (isEmpty(c.value))
            return false;
        out.text = textFromUnits(textOf(c.value, name, problems));
        out.value = c.value;
        // Flags 6 in the 2007 form, with the shown text, which (unlike the
        // cell's own) counts no terminating zero (example_2007).
        out.value.flags |= 6;
        if (out.value.valueText.units.empty()) {
            out.value.valueText.units = out.text.units;
            out.value.valueText.terminated = false;
        }
        return true;
    }
    case kFieldContent:
        // A text with fields keeps only its FIELD (ODA §20.4.96.1).
        out.object = c.object;
        return false;
    case kBlockContent:
        out.type = 2;
        out.object = c.object;
        out.hasAttributes = !c.attributes.empty();
        for (const TableCellAttribute& a : c.attributes)
            out.attributes.push_back({a.attributeDefinition, static_cast<std::int16_t>(a.index), a.value});
        return false;
    default:
        problems.push_back("cell " + name + " holds a content of type " + std::to_string(c.type) +
                           ", which 2004 cannot hold: the cell is left empty");
        return false;
    }
}

// The cell's overrides in the 2004 form.
void fillOverrides(TableCellData& out, const Overrides& o, bool keptValue) {
    TableCellOverrides& to = out.overrides;
    const ContentFormat& f = o.format;
    if ((o.properties & kRotation) != 0) out.rotation = f.rotation;
    if ((o.properties & kBlockScale) != 0) out.blockScale = f.blockScale;
    if ((o.properties & kAutoScale) != 0) out.autofit = (f.propertyFlags & kAutoScale) != 0;
    if ((o.properties & kAlignment) != 0) {
        to.flags |= kCellAlignment;
        to.alignment = static_cast<std::uint16_t>(f.alignment);
    }
    if ((o.properties & kBackground) != 0) {
        // "None" is a colour of its own from 2004 on (method byte 0xC8).
        to.flags |= kCellFillNone;
        to.backgroundFillNone = (o.background.rgb >> 24) == 0xC8;
        if (!to.backgroundFillNone) {
            to.flags |= kCellBackground;
            to.backgroundColor = o.background;
        }
    }
    if ((o.properties & kContentColor) != 0) {
        to.flags |= kCellContentColor;
        to.contentColor = f.contentColor;
    }
    if ((o.properties & kTextStyle) != 0) {
        to.flags |= kCellTextStyle;
        to.textStyle = f.textStyle;
    }
    if ((o.properties & kTextHeight) != 0) {
        to.flags |= kCellTextHeight;
        to.textHeight = f.textHeight;
    }
    if (keptValue && (o.properties & kDataType) != 0)
        to.flags |= kCellDataType;
    for (unsigned e = 0; e < 4; ++e) {
        const Edge& edge = o.edges[e];
        const std::uint32_t before = to.flags;
        if ((edge.overrides & kBorderColor) != 0) {
            to.flags |= kCellGridColor << e;
            to.gridColor[e] = edge.color;
        }
        if ((edge.overrides & kBorderLineWeight) != 0) {
            to.flags |= kCellGridLineWeight << e;
            to.gridLineWeight[e] = static_cast<std::int16_t>(edge.lineWeight);
        }
        if ((edge.overrides & kBorderInvisible) != 0) {
            to.flags |= kCellGridVisibility << e;
            to.gridVisibility[e] = edge.invisible ? 0 : 1;  // 1 visible
        }
        if (to.flags != before)
            out.edgeFlags = static_cast<std::uint8_t>(out.edgeFlags | kEdgeBit[e]);
    }
}

// An edge two cells share keeps its overrides in one of them; the other
// marks the edge virtual (ODA §20.4.96.1): here the first cell, unless only
// the second overrides the edge.
void shareEdge(TableCellData& first, unsigned firstEdge, TableCellData& second, unsigned secondEdge) {
    const bool inFirst = (first.edgeFlags & kEdgeBit[firstEdge]) != 0;
    const bool inSecond = (second.edgeFlags & kEdgeBit[secondEdge]) != 0;
    if (!inFirst && !inSecond)
        return;
    TableCellData* real = &first;
    TableCellData* other = &second;
    unsigned realEdge = firstEdge, otherEdge = secondEdge;
    if (!inFirst) {
        std::swap(real, other);
        std::swap(realEdge, otherEdge);
    }
    TableCellOverrides& to = real->overrides;
    TableCellOverrides& from = other->overrides;
    const std::uint32_t kinds[3] = {kCellGridColor, kCellGridLineWeight, kCellGridVisibility};
    for (const std::uint32_t kind : kinds) {
        const std::uint32_t fromBit = kind << otherEdge, toBit = kind << realEdge;
        if ((from.flags & fromBit) != 0 && (to.flags & toBit) == 0) {
            to.flags |= toBit;
            to.gridColor[realEdge] = from.gridColor[otherEdge];
            to.gridLineWeight[realEdge] = from.gridLineWeight[otherEdge];
            to.gridVisibility[realEdge] = from.gridVisibility[otherEdge];
        }
        from.flags &= ~fromBit;
    }
    other->edgeFlags = static_cast<std::uint8_t>(other->edgeFlags | kEdgeBit[otherEdge]);
    from.virtualEdges = static_cast<std::uint8_t>(from.virtualEdges | kEdgeBit[otherEdge]);
}

bool isSingle(const TableCellData& c) { return !c.merged && c.mergedWidth == 1 && c.mergedHeight == 1; }

}  // namespace

void tableCellsFromContent(TableObject& table, std::vector<std::string>& problems) {
    const TableContent& content = table.content;
    const std::size_t rows = content.rows.size(), columns = content.columns.size();
    table.columnWidths.clear();
    table.rowHeights.clear();
    table.cells.clear();
    // Every row has a cell for each column; a content that has not is
    // damaged, and its grid is not laid out (nor allocated from counts).
    for (std::size_t r = 0; r < rows; ++r)
        if (content.rows[r].cells.size() != columns) {
            problems.push_back("row " + std::to_string(r + 1) + " of the table content has " +
                               std::to_string(content.rows[r].cells.size()) + " cells for " + std::to_string(columns) +
                               " columns, which 2004 cannot lay out: the table is written without rows");
            return;
        }

    for (const TableColumn& c : content.columns)
        table.columnWidths.push_back(c.width);
    for (const TableRow& r : content.rows)
        table.rowHeights.push_back(r.height);

    // 2004 has a title row first, then a header row, then data rows, each
    // unless the table suppresses it.
    const bool title = rows > 0 && content.rows[0].styleId == kTitleRow;
    const std::size_t headerAt = title ? 1 : 0;
    const bool header = rows > headerAt && content.rows[headerAt].styleId == kHeaderRow;
    const auto kindOf = [&](std::size_t r) {
        return title && r == 0 ? kTitleRow : header && r == headerAt ? kHeaderRow : kDataRow;
    };
    for (std::size_t r = 0; r < rows; ++r) {
        const std::uint32_t id = content.rows[r].styleId;
        if (id != kindOf(r) && !(id == 0 && kindOf(r) == kDataRow))
            problems.push_back("row " + std::to_string(r + 1) + " has the cell style " + std::to_string(id) +
                               ", where 2004 gives the row the table style's " +
                               (kindOf(r) == kTitleRow ? "title" : kindOf(r) == kHeaderRow ? "header" : "data") +
                               " row");
        checkStyle(content.rows[r].style, "row " + std::to_string(r + 1), false, problems);
    }
    for (std::size_t c = 0; c < columns; ++c) {
        if (content.columns[c].styleId != 0)
            problems.push_back("column " + columnName(c) + " has the cell style " +
                               std::to_string(content.columns[c].styleId) +
                               ", where 2004 gives its cells their rows' style");
        checkStyle(content.columns[c].style, "column " + columnName(c), false, problems);
    }
    checkStyle(content.tableStyle, "the table", true, problems);

    // Merged ranges: the top left cell spans them, the others are covered.
    std::vector<TableCellData> cells(rows * columns);
    for (const MergedCells& m : content.merged) {
        if (m.topRow > m.bottomRow || m.leftColumn > m.rightColumn || m.bottomRow >= rows || m.rightColumn >= columns) {
            problems.push_back("a merged range from cell " + cellName(m.topRow, m.leftColumn) + " to cell " +
                               cellName(m.bottomRow, m.rightColumn) + " lies outside the table: its cells stay single");
            continue;
        }
        for (std::size_t r = m.topRow; r <= m.bottomRow; ++r)
            for (std::size_t c = m.leftColumn; c <= m.rightColumn; ++c)
                cells[r * columns + c].merged = r != m.topRow || c != m.leftColumn;
        TableCellData& topLeft = cells[m.topRow * columns + m.leftColumn];
        topLeft.mergedWidth = static_cast<std::int32_t>(m.rightColumn - m.leftColumn + 1);
        topLeft.mergedHeight = static_cast<std::int32_t>(m.bottomRow - m.topRow + 1);
    }

    for (std::size_t r = 0; r < rows; ++r) {
        const TableRow& row = content.rows[r];
        for (std::size_t c = 0; c < columns; ++c) {
            TableCellData& out = cells[r * columns + c];
            if (out.mergedWidth == 0) out.mergedWidth = 1;
            if (out.mergedHeight == 0) out.mergedHeight = 1;
            const std::string name = cellName(r, c);
            const TableCell& cell = row.cells[c];
            if (cell.styleId != 0 && cell.styleId != row.styleId)
                problems.push_back("cell " + name + " has the cell style " + std::to_string(cell.styleId) +
                                   ", where 2004 gives it its row's style");
            checkStyle(cell.style, "cell " + name, false, problems);
            if (cell.hasLinkedData != 0)
                problems.push_back("cell " + name + " is linked to outside data, which 2004 has not: it keeps the "
                                   "data it shows");
            const bool keptValue = fillContent(out, cell, name, problems);
            if (out.merged)
                continue;  // a covered cell shows nothing of its own

            // The styles from the table's to the content's: the table's and
            // the column's and row's borders by where the cell lies in them.
            const std::size_t bottom = r + static_cast<std::size_t>(out.mergedHeight) - 1;
            const std::size_t right = c + static_cast<std::size_t>(out.mergedWidth) - 1;
            Overrides o;
            applyStyle(o, content.tableStyle, {r == 0, right + 1 == columns, bottom + 1 == rows, c == 0});
            applyStyle(o, content.columns[c].style, {r == 0, true, bottom + 1 == rows, true});
            applyStyle(o, row.style, {true, right + 1 == columns, true, c == 0});
            applyStyle(o, cell.style, {});
            if (!cell.contents.empty() && cell.contents.front().hasFormat != 0)
                applyFormat(o, cell.contents.front().format, cell.contents.front().format.propertyOverrides);
            fillOverrides(out, o, keptValue);
        }
    }
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < columns; ++c) {
            TableCellData& cell = cells[r * columns + c];
            if (!isSingle(cell))
                continue;
            if (c + 1 < columns && isSingle(cells[r * columns + c + 1]))
                shareEdge(cell, kRight, cells[r * columns + c + 1], kLeft);
            if (r + 1 < rows && isSingle(cells[(r + 1) * columns + c]))
                shareEdge(cell, kBottom, cells[(r + 1) * columns + c], kTop);
        }
    for (TableCellData& cell : cells)
        cell.hasOverrides = cell.overrides.flags != 0 || cell.overrides.virtualEdges != 0;
    table.cells = std::move(cells);

    // The table's own: its flow direction and margins, and the rows it lacks.
    TableOverrides overrides;
    const CellStyle& own = content.tableStyle;
    bool flowsUp = false;
    if (own.dataFlags != 0) {
        if ((own.propertyOverrides & kFlowUp) != 0) {
            flowsUp = (own.mergeFlags & kFlowUp) != 0;
            overrides.flags |= kFlowDirection;
            overrides.flowDirection = flowsUp ? 1 : 0;  // 0 down
        }
        if ((own.propertyOverrides & (kMarginLeft | kMarginRight)) != 0) {
            overrides.flags |= kHorizontalMargin;
            overrides.horizontalMargin = own.horizontalMargin;
        }
        if ((own.propertyOverrides & (kMarginTop | kMarginBottom)) != 0) {
            overrides.flags |= kVerticalMargin;
            overrides.verticalMargin = own.verticalMargin;
        }
    }
    if (!title) {
        overrides.flags |= kTitleSuppressed;
        overrides.titleSuppressed = true;
    }
    if (!header)
        overrides.flags |= kHeaderSuppressed;
    table.hasTableOverrides = overrides.flags != 0;
    table.tableOverrides = overrides;
    table.hasBorderColors = table.hasBorderLineWeights = table.hasBorderVisibility = false;
    table.valueFlags = static_cast<std::int16_t>((table.valueFlags & ~(kFlowsDown | kNoTitle)) |
                                                 (flowsUp ? 0 : kFlowsDown) | (title ? 0 : kNoTitle));

    if (table.hasBreakData != 0 && (table.breaks.options & 1U) != 0)
        problems.push_back("the table is broken over several columns or pages, which 2004 cannot do: it is shown whole");
}

}  // namespace dwg
