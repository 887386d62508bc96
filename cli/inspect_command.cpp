// corvelin-cli inspect: what a drawing holds that the conversion reads and
// writes: release, code page, text styles, and every single-line text and
// attribute with its stored bytes, wherever it is.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/json.h"
#include "cli/text_table.h"
#include "support/hex.h"
#include "dwg/drawing/drawing.h"
#include "dwg/drawing/text_codec.h"
#include "dwg/objects/registry.h"
#include "support/code_pages.h"

namespace cli {
namespace {

constexpr const char* kInspectUsage =
    "Usage: corvelin-cli inspect [--json] [--all] DRAWING\n"
    "\n"
    "Lists a drawing's release, code page, reading warnings, text styles, and every\n"
    "TEXT and ATTRIB (of model space, every layout and every block definition),\n"
    "each with its handle, owner, style, string, stored bytes in hexadecimal,\n"
    "generation flags, alignment, height and insertion point. Nothing is changed.\n"
    "\n"
    "  --json  print the same as one JSON document\n"
    "  --all   also list every object of the drawing in handle order with every\n"
    "          field of its type by name (handles as the absolute handle they name,\n"
    "          strings as their stored bytes, with \\xNN for bytes outside ASCII);\n"
    "          an object of a type whose fields the engine does not know lists its\n"
    "          bits as stored\n"
    "\n"
    "Strings are printed in UTF-8. Texts converted for \"Left To Right\" are stored in\n"
    "visual order (left to right as they are drawn), as are many legacy texts, so a\n"
    "terminal that applies the bidirectional algorithm shows their Hebrew reversed;\n"
    "the stored bytes give the order exactly.\n"
    "\n"
    "Exit status: 0 when the drawing was listed, 1 when it could not be read, 2 for a\n"
    "wrong command line.\n";

struct InspectOptions {
    bool json = false;
    bool all = false;
    std::string drawing;
};

InspectOptions parse(const std::vector<std::string>& args) {
    InspectOptions options;
    ArgumentReader in(args);
    while (in.nextOption()) {
        if (in.option() == "--json")
            options.json = true;
        else if (in.option() == "--all")
            options.all = true;
        else
            in.unknownOption();
    }
    options.drawing = singleDrawing(in.operands());
    return options;
}

// AutoCAD's name of a DWGCODEPAGE value.
std::string codePageName(std::uint16_t number) {
    const std::string_view name = dwg::dwgCodePageName(number);
    return name.empty() ? "unknown" : std::string(name);
}

std::string generationWords(int generation) {
    std::string words = std::to_string(generation);
    if (generation & 2)
        words += " backward";
    if (generation & 4)
        words += (generation & 2) ? ", upside down" : " upside down";
    return words;
}

// The shortest text that reads back as the same double.
std::string number(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

struct StyleRow {
    std::uint64_t handle = 0;
    std::string name, fontFile, bigFontFile;  // UTF-8
    int generation = 0;
};

struct TextRow {
    std::uint64_t handle = 0;
    std::string type;   // TEXT or ATTRIB
    std::string owner;  // the block record holding the text or its reference
    std::optional<std::uint64_t> insert;
    std::optional<std::string> tag;
    std::string style, text;  // UTF-8
    std::u16string text16;    // for showing control characters
    std::string bytes;        // as stored (UTF-16 little-endian from 2007 on), without the terminating zero
    int generation = 0, horizontalAlignment = 0, verticalAlignment = 0;
    double height = 0.0;
    dwg::Point3 insertion;
};

struct ObjectRow {
    std::uint64_t handle = 0;
    std::string type;
    bool described = false;  // a walk knows the type's fields
    std::vector<dwg::PrintedField> fields;
};

struct Report {
    std::string file, release;
    std::uint16_t codePage = 0;
    std::vector<std::string> warnings;
    std::vector<StyleRow> styles;
    std::vector<TextRow> texts;
    std::vector<ObjectRow> objects;  // with --all
    bool incomplete = false;  // some object could not be read
};

class Inspector {
public:
    explicit Inspector(const dwg::Drawing& drawing) : m_drawing(drawing) {}

    Report run(bool allObjects) {
        Report report;
        report.file = m_drawing.name();
        report.release = std::string(dwg::releaseName(m_drawing.release()));
        report.codePage = m_drawing.codePage();
        for (std::uint64_t handle : m_drawing.textStyles())
            guarded(report, [&] { report.styles.push_back(styleRow(handle)); });
        // Every block record: the spaces and layouts, then the definitions.
        for (std::uint64_t block : m_drawing.blocks()) {
            std::string owner;
            std::vector<std::uint64_t> entities;
            if (!guarded(report, [&] {
                    owner = support::toUtf8(m_drawing.blockName(block));
                    entities = m_drawing.blockEntities(block);
                }))
                continue;
            for (std::uint64_t entity : entities)
                guarded(report, [&] { addEntity(report, owner, entity); });
        }
        // The walk may add warnings of its own (lists recovered from owners);
        // the drawing's come first, then what could not be read.
        const std::vector<std::string>& found = m_drawing.warnings();
        report.warnings.insert(report.warnings.begin(), found.begin(), found.end());
        if (allObjects)
            addObjects(report);
        return report;
    }

private:
    // Runs one step; a damaged object is reported and the rest still listed.
    template <typename Step>
    static bool guarded(Report& report, Step&& step) {
        try {
            step();
            return true;
        } catch (const std::exception& e) {
            report.warnings.push_back(std::string("not read: ") + e.what());
            report.incomplete = true;
            return false;
        }
    }

    void addObjects(Report& report) const {
        const dwg::ObjectStore& store = m_drawing.objects();
        for (std::uint64_t handle : store.handles())
            guarded(report, [&] {
                dwg::Object object = store.decode(handle);
                ObjectRow row;
                row.handle = handle;
                row.type = object.kind != nullptr ? std::string(object.kind->dxfName)
                                                  : std::string(store.dxfNameOf(handle));
                if (row.type.empty())
                    row.type = "type " + std::to_string(object.common.type);
                row.described = object.kind != nullptr;
                row.fields = dwg::describeObject(object, m_drawing.release());
                report.objects.push_back(std::move(row));
            });
    }

    std::string utf8(const dwg::Text& stored) const {
        return support::toUtf8(dwg::decodeText(stored, m_drawing.textCodePage()));
    }

    StyleRow styleRow(std::uint64_t handle) const {
        const dwg::StyleObject s = m_drawing.style(handle);
        return {handle, support::toUtf8(m_drawing.styleName(handle)), support::toUtf8(m_drawing.styleFontFile(handle)),
                utf8(s.bigFontFile), s.generation};
    }

    void addEntity(Report& report, const std::string& owner, std::uint64_t entity) const {
        if (m_drawing.isText(entity)) {
            report.texts.push_back(textRow(entity, owner, std::nullopt));
        } else if (m_drawing.isBlockReference(entity)) {
            for (std::uint64_t attribute : m_drawing.attributes(entity))
                guarded(report, [&] { report.texts.push_back(textRow(attribute, owner, entity)); });
        }
    }

    TextRow textRow(std::uint64_t handle, const std::string& owner, std::optional<std::uint64_t> insert) const {
        TextRow row;
        row.handle = handle;
        row.type = std::string(m_drawing.objects().dxfNameOf(handle));
        row.owner = owner;
        row.insert = insert;
        row.style = support::toUtf8(m_drawing.textStyleName(handle));
        row.text16 = m_drawing.textString(handle);
        row.text = support::toUtf8(row.text16);
        const dwg::TextLineFields t = m_drawing.text(handle);
        if (insert)
            row.tag = support::toUtf8(m_drawing.textTag(handle));
        row.bytes = t.value.bytes;
        for (const char16_t unit : t.value.units) {  // UTF-16 strings as little-endian units
            row.bytes.push_back(static_cast<char>(unit & 0xFF));
            row.bytes.push_back(static_cast<char>(unit >> 8));
        }
        row.generation = t.generation;
        row.horizontalAlignment = t.horizontalAlignment;
        row.verticalAlignment = t.verticalAlignment;
        row.height = t.height;
        row.insertion = {t.insertion.x, t.insertion.y, t.elevation};
        return row;
    }

    const dwg::Drawing& m_drawing;
};

void printText(const Report& report, std::ostream& out) {
    out << "File:       " << report.file << '\n';
    out << "Release:    " << report.release << '\n';
    out << "Code page:  " << report.codePage << " (" << codePageName(report.codePage) << ")\n";
    if (report.warnings.empty()) {
        out << "Warnings:   none\n";
    } else {
        out << "Warnings:   " << report.warnings.size() << '\n';
        for (const std::string& warning : report.warnings)
            out << "  - " << warning << '\n';
    }

    out << "\nText styles: " << report.styles.size() << '\n';
    TextTable styles;
    styles.add({"HANDLE", "NAME", "FONT FILE", "BIG FONT", "GENERATION"});
    for (const StyleRow& s : report.styles)
        styles.add({dwg::handleText(s.handle), s.name, s.fontFile, s.bigFontFile, generationWords(s.generation)});
    styles.print(out, "  ");

    out << "\nTexts and attributes: " << report.texts.size() << '\n';
    TextTable texts;
    texts.add({"HANDLE", "TYPE", "OWNER", "INSERT", "TAG", "STYLE", "GENERATION", "HALIGN", "VALIGN", "HEIGHT",
               "INSERTION", "BYTES", "TEXT"});
    for (const TextRow& t : report.texts)
        texts.add({dwg::handleText(t.handle), t.type, t.owner, t.insert ? dwg::handleText(*t.insert) : "",
                   t.tag.value_or(""), t.style, generationWords(t.generation), std::to_string(t.horizontalAlignment),
                   std::to_string(t.verticalAlignment), number(t.height),
                   number(t.insertion.x) + "," + number(t.insertion.y) + "," + number(t.insertion.z),
                   support::hexBytes(t.bytes), printable(t.text16, true)});
    texts.print(out, "  ");

    if (report.objects.empty())
        return;
    out << "\nObjects: " << report.objects.size() << '\n';
    for (const ObjectRow& o : report.objects) {
        out << "  " << dwg::handleText(o.handle) << ' ' << o.type << (o.described ? "" : " (fields not known)")
            << '\n';
        for (const dwg::PrintedField& f : o.fields)
            out << "    " << f.name << ": " << f.value << '\n';
    }
}

void printJson(const Report& report, std::ostream& out) {
    JsonWriter json(out);
    json.beginObject();
    json.member("file", report.file);
    json.member("release", report.release);
    json.key("codePage").beginObject();
    json.member("number", static_cast<int>(report.codePage));
    json.member("name", codePageName(report.codePage));
    json.endObject();
    json.member("warnings", report.warnings);

    json.key("styles").beginArray();
    for (const StyleRow& s : report.styles) {
        json.beginObject();
        json.member("handle", dwg::handleText(s.handle));
        json.member("name", s.name);
        json.member("fontFile", s.fontFile);
        json.member("bigFontFile", s.bigFontFile);
        json.member("generation", s.generation);
        json.endObject();
    }
    json.endArray();

    json.key("texts").beginArray();
    for (const TextRow& t : report.texts) {
        json.beginObject();
        json.member("handle", dwg::handleText(t.handle));
        json.member("type", t.type);
        json.member("owner", t.owner);
        if (t.insert)
            json.member("insert", dwg::handleText(*t.insert));
        if (t.tag)
            json.member("tag", *t.tag);
        json.member("style", t.style);
        json.member("text", t.text);
        json.member("bytes", support::hexBytes(t.bytes));
        json.member("generation", t.generation);
        json.member("horizontalAlignment", t.horizontalAlignment);
        json.member("verticalAlignment", t.verticalAlignment);
        json.member("height", t.height);
        json.key("insertion").beginArray().value(t.insertion.x).value(t.insertion.y).value(t.insertion.z).endArray();
        json.endObject();
    }
    json.endArray();

    if (!report.objects.empty()) {
        json.key("objects").beginArray();
        for (const ObjectRow& o : report.objects) {
            json.beginObject();
            json.member("handle", dwg::handleText(o.handle));
            json.member("type", o.type);
            json.member("fieldsKnown", o.described);
            json.key("fields").beginArray();
            for (const dwg::PrintedField& f : o.fields)
                json.beginArray().value(f.name).value(f.value).endArray();
            json.endArray();
            json.endObject();
        }
        json.endArray();
    }
    json.endObject();
}

}  // namespace

int runInspect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    InspectOptions options;
    if (auto status = parseCommand(args, out, err, "inspect", kInspectUsage, parse, options))
        return *status;

    Report report;
    try {
        const dwg::Drawing drawing = dwg::Drawing::open(options.drawing);
        report = Inspector(drawing).run(options.all);
    } catch (const std::exception& e) {
        err << "corvelin-cli inspect: " << e.what() << '\n';
        return kExitFailure;
    }

    if (options.json)
        printJson(report, out);
    else
        printText(report, out);
    if (report.incomplete) {
        for (const std::string& warning : report.warnings)
            if (warning.starts_with("not read: "))
                err << "corvelin-cli inspect: " << warning << '\n';
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace cli
