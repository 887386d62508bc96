// corvelin-cli styles: the text styles of a drawing as a collecting pass sees
// them (font file, font kind, backward flag), and with --texts every text of
// each style with what the conversion would make of it.

#include <algorithm>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/json.h"
#include "cli/text_table.h"
#include "support/hex.h"
#include "dwg/drawing/text_codec.h"
#include "filter/batch.h"
#include "filter/filterclass.h"
#include "hebrew/converter.h"
#include "hebrew/fntdef.h"
#include "support/code_pages.h"

namespace cli {
namespace {

std::string stylesUsage() {
    return "Usage: corvelin-cli styles [OPTIONS] DRAWING\n"
           "\n"
           "Lists the text styles of a drawing, sorted by name, with their font files, the\n"
           "font kind each font file has, where that kind comes from (\"table\": a row of\n"
           "the font table; \"default\": no row gave it, so the font's name or the default\n"
           "DosHebrew did), and whether the style writes backward. Nothing is changed.\n"
           "\n"
           "  --texts                 under each style, its texts and attributes in the\n"
           "                          order they are met: position, the stored bytes in\n"
           "                          hexadecimal, the text as the drawing's code page\n"
           "                          reads it, and the text exactly as `convert` with the\n"
           "                          same options writes it (a text's own backward flag\n"
           "                          counts, an attribute's does not; letters foreign to\n"
           "                          the kind are repaired first)\n"
           "  --rtl                   convert for the \"RightTo Left\" ESRI Hebrew setting\n"
           "                          (default)\n"
           "  --ltr                   convert for the \"Left To Right\" ESRI Hebrew setting\n"
           "  --no-auto-correct       as for convert: do not repair foreign letters\n"
           "  --keep-windows-mapping  as for convert: leave attributes whose letters do\n"
           "                          not fit as they are\n" +
           fontsOptionHelp("  --fonts FILE            ") +
           "\n"
           "Texts are printed in UTF-8. Texts converted for \"Left To Right\" are stored in\n"
           "visual order (left to right as they are drawn), as are many legacy texts as\n"
           "read, so a terminal that applies the bidirectional algorithm shows their Hebrew\n"
           "reversed; texts converted for \"RightTo Left\" are in reading order.\n"
           "\n"
           "Exit status: 0 when the drawing was listed, 1 when it could not be read, 2 for a\n"
           "wrong command line.\n";
}

struct StylesOptions {
    std::optional<std::string> fontsFile;
    bool leftToRight = false;
    bool texts = false;
    filter::RunSettings settings;
    std::string drawing;
};

StylesOptions parse(const std::vector<std::string>& args) {
    StylesOptions options;
    ArgumentReader in(args);
    while (in.nextOption()) {
        const std::string& arg = in.option();
        if (arg == "--fonts")
            options.fontsFile = in.value();
        else if (arg == "--texts")
            options.texts = true;
        else if (arg == "--no-auto-correct")
            options.settings.autoCorrect = false;
        else if (arg == "--keep-windows-mapping")
            options.settings.keepWindowsMapping = true;
        else if (!in.readOrder(options.leftToRight))
            in.unknownOption();
    }
    options.drawing = singleDrawing(in.operands());
    return options;
}

std::string fixed2(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    return buffer;
}

}  // namespace

int runStyles(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    StylesOptions options;
    if (auto status = parseCommand(args, out, err, "styles", stylesUsage(), parse, options))
        return *status;

    hebrew::FontTable fonts;
    if (!loadFontTable(fonts, options.fontsFile, "styles", err))
        return kExitFailure;

    // The collecting pass: records every style and every text under its style.
    filter::PlainStyleList list;
    const filter::FixedOptions order(options.leftToRight);
    filter::TDWGFileFilter pass(fonts, list, order);
    pass.ConvertTexts = false;
    pass.CheckOnly = false;
    try {
        pass.ProcessDrawing(options.drawing);
    } catch (const std::exception& e) {
        err << "corvelin-cli styles: " << e.what() << '\n';
        return kExitFailure;
    }
    if (!pass.OpenFailure.empty()) {
        err << "Problem with opening file: " << pass.OpenFailure << '\n';
        return kExitFailure;
    }

    // Names, font files and texts are bytes of the drawing's code page.
    const support::CodePage& page = dwg::codePageOf(static_cast<std::uint16_t>(pass.Document->codePage()));
    const support::CodePage& windows1255 = support::CodePage::windows1255();

    TextTable styles({false, false, false, false, false});
    styles.add({"STYLE", "FONT FILE", "KIND", "FROM", "BACKWARD"});
    for (const auto& [name, style] : list.lines())
        styles.add({printable(page.decode(style->Name)), printable(page.decode(style->FontFile)),
                    std::string(hebrew::FontKindName(style->Kind)),
                    fonts.KindFromTable(style->FontFile) ? "table" : "default", style->Backward ? "yes" : "no"});

    // One table for the texts of all styles, so that their columns line up
    // from one style to the next.
    hebrew::Converter converter(fonts);
    TextTable texts({true, true, false, false, false});
    texts.add({"X", "Y", "BYTES", "READ", "CONVERTED"});
    if (options.texts) {
        for (const auto& [name, style] : list.lines()) {
            for (const auto& element : style->Elements) {
                const filter::TextConversion result =
                    filter::ConvertStyleText(converter, *style, element->Text, element->Attribute, element->Backward,
                                             options.leftToRight, options.settings.autoCorrect,
                                             options.settings.keepWindowsMapping);
                // A text left as read keeps the drawing's code page.
                const std::u16string written =
                    result.converted ? windows1255.decode(result.text) : page.decode(element->Text);
                texts.add({fixed2(element->X), fixed2(element->Y), support::hexBytes(element->Text),
                           printable(page.decode(element->Text)), printable(written)});
            }
        }
    }

    styles.printRow(out, 0, "");
    std::size_t textRow = 1;
    for (std::size_t i = 0; i < list.lines().size(); ++i) {
        styles.printRow(out, i + 1, "");
        if (!options.texts)
            continue;
        const auto& elements = list.lines()[i].second->Elements;
        if (elements.empty()) {
            out << "    (no texts)\n";
            continue;
        }
        texts.printRow(out, 0, "    ");
        for (std::size_t e = 0; e < elements.size(); ++e)
            texts.printRow(out, textRow++, "    ");
    }
    for (const std::string& warning : pass.Statistics().warnings)
        err << "corvelin-cli styles: " << warning << '\n';
    return kExitOk;
}

}  // namespace cli
