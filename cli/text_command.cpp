// corvelin-cli text: converts byte strings exactly as a drawing's texts of a
// style of the given kind would convert, or tells the kinds of font files.

#include <optional>
#include <ostream>

#include "cli/cli.h"
#include "hebrew/converter.h"
#include "hebrew/fntdef.h"
#include "support/hex.h"

namespace cli {
namespace {

std::string textUsage() {
    return "Usage: corvelin-cli text --kind KIND [--backward] [--ltr | --rtl] [--auto-correct] HEX...\n"
           "       corvelin-cli text [--fonts FILE] --kind-of FONTFILE...\n"
           "\n"
           "Converts each byte string, given in hexadecimal (e.g. 9a8199), as the text of a\n"
           "style of font kind KIND, and prints the result in hexadecimal, one line each.\n"
           "KIND is DosHebrew, DosEnglish, DosEnglishR, Windows or TrueType.\n"
           "\n"
           "  --kind KIND     the font kind of the texts\n"
           "  --backward      the text is stored backward (mirrored)\n"
           "  --rtl           convert for the \"RightTo Left\" ESRI Hebrew setting (default)\n"
           "  --ltr           convert for the \"Left To Right\" ESRI Hebrew setting\n"
           "  --auto-correct  first move letters of a code page foreign to KIND into its own\n"
           "  --kind-of       print the font kind of each font file name instead\n" +
           fontsOptionHelp("  --fonts FILE    ") + kExitStatusHelp;
}

struct TextOptions {
    std::optional<hebrew::TFontKind> kind;
    bool backward = false;
    bool leftToRight = false;
    bool autoCorrect = false;
    bool kindOf = false;
    std::optional<std::string> fontsFile;
    std::vector<std::string> operands;
    std::vector<std::string> texts;  // the operands' bytes, without --kind-of
};

std::string fromHex(const std::string& hex) {
    if (hex.size() % 2 != 0)
        throw UsageError("'" + hex + "' has an odd number of hexadecimal digits");
    std::string bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int high = support::hexDigitValue(hex[i]);
        int low = support::hexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0)
            throw UsageError("'" + hex + "' is not hexadecimal");
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

TextOptions parse(const std::vector<std::string>& args) {
    TextOptions options;
    ArgumentReader in(args);
    while (in.nextOption()) {
        const std::string& arg = in.option();
        if (arg == "--kind") {
            const std::string& name = in.value();
            options.kind = hebrew::FontKindFromName(name);
            if (!options.kind)
                throw UsageError("unknown font kind '" + name + "'");
        } else if (arg == "--backward") {
            options.backward = true;
        } else if (arg == "--auto-correct") {
            options.autoCorrect = true;
        } else if (arg == "--kind-of") {
            options.kindOf = true;
        } else if (arg == "--fonts") {
            options.fontsFile = in.value();
        } else if (!in.readOrder(options.leftToRight)) {
            in.unknownOption();
        }
    }
    options.operands = in.operands();
    if (options.kindOf) {
        if (options.kind || options.backward || options.autoCorrect || in.sawOrder())
            throw UsageError("--kind-of takes only --fonts and font file names");
    } else {
        if (!options.kind)
            throw UsageError("--kind is required");
        if (options.fontsFile)
            throw UsageError("--fonts goes with --kind-of");
    }
    if (options.operands.empty())
        throw UsageError(options.kindOf ? "no font file given" : "no text given");
    if (!options.kindOf)
        for (const std::string& hex : options.operands)
            options.texts.push_back(fromHex(hex));
    return options;
}

}  // namespace

int runText(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    TextOptions options;
    if (auto status = parseCommand(args, out, err, "text", textUsage(), parse, options))
        return *status;

    hebrew::FontTable fonts;
    if (options.kindOf) {
        if (!loadFontTable(fonts, options.fontsFile, "text", err))
            return kExitFailure;
        for (const std::string& fontFile : options.operands)
            out << hebrew::FontKindName(fonts.FontKindOf(fontFile)) << '\n';
        return kExitOk;
    }

    hebrew::Converter converter(fonts);
    for (std::string& text : options.texts) {
        // The same steps as a drawing's text: repair, then convert.
        if (options.autoCorrect && !hebrew::Converter::TextFitsKind(*options.kind, text))
            text = hebrew::Converter::RepairLetters(*options.kind, text);
        converter.CurrentKind = *options.kind;
        converter.CurrentBackward = options.backward;
        out << support::hexBytes(options.leftToRight ? converter.ConvertForLtr(text) : converter.ConvertForRtl(text)) << '\n';
    }
    return kExitOk;
}

}  // namespace cli
