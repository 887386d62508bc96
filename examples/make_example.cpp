// Makes the bundled example drawing examples/hebrew_example.dwg with the
// engine's builder: Hebrew texts of every font kind, a backward style,
// mirrored texts, and block references with attributes. Its font kinds come
// from examples/HebFonts.txt.
//
//   make_example OUTPUT.dwg

#include <cstdio>
#include <string>

#include "dwg/drawing/builder.h"
#include "support/atomic_file.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_example OUTPUT.dwg\n");
        return 2;
    }
    using dwg::DrawingBuilder;
    DrawingBuilder b(dwg::Release::R2000, 34);  // ANSI_1255
    const auto dosHebrew = b.addTextStyle("DOS_HEBREW", "hebrew.shx");
    const auto keys = b.addTextStyle("KEYBOARD", "keyboard.shx");
    const auto keysR = b.addTextStyle("KEYBOARD_R", "keyboardr.shx");
    const auto windows = b.addTextStyle("WINDOWS", "telvos1.shx");
    const auto trueType = b.addTextStyle("ARIAL", "arial.ttf");
    const auto mirrored = b.addTextStyle("MIRRORED", "hebrew.shx", 2);

    auto text = [&](std::string value, double x, double y, std::uint64_t style, std::int16_t generation = 0) {
        DrawingBuilder::TextSpec t;
        t.value = std::move(value);
        t.insertion = {x, y, 0};
        t.height = 2.5;
        t.style = style;
        t.generation = generation;
        return t;
    };
    const auto model = DrawingBuilder::Space::Model;
    // "shalom 123" and codes for alef bet, in DOS letters.
    b.addText(model, text("\x99\x8C\x85\x8D 123", 0, 100, dosHebrew));
    b.addText(model, text("%%128%%129 (2)", 0, 95, dosHebrew));
    // The same word typed on an English keyboard, for both keyboard kinds.
    b.addText(model, text("akuo", 0, 90, keys));
    b.addText(model, text("akuo", 0, 85, keysR));
    // Windows-1255 letters of a TELVOS font and of a TrueType font.
    b.addText(model, text("\xF9\xEC\xE5\xED", 0, 80, windows));
    b.addText(model, text("\xF9\xEC\xE5\xED (Tel Aviv)", 0, 75, trueType));
    // Mirrored: a style that writes backward, and a text mirrored on its own.
    b.addText(model, text("\x8D\x85\x8C\x99", 0, 70, mirrored));
    b.addText(model, text("\x8D\x85\x8C\x99", 0, 65, dosHebrew, 2));
    b.addText(DrawingBuilder::Space::Paper, text("\x81\x80 1:500", 10, 10, dosHebrew));

    const auto parcel = b.addBlock("PARCEL");
    b.addLineToBlock(parcel, {0, 0, 0}, {30, 0, 0});
    b.addLineToBlock(parcel, {30, 0, 0}, {30, 15, 0});
    b.addTextToBlock(parcel, text("\x87\x8C\x97\x84", 2, 10, dosHebrew));  // "helka"
    b.addAttributeDefinition(parcel, "NUMBER", "Parcel number", text("0", 2, 5, dosHebrew));
    b.addAttributeDefinition(parcel, "OWNER", "Owner", text("", 2, 2, mirrored));
    for (int i = 0; i < 3; ++i) {
        const double x = 50 + 40 * i;
        b.addInsert(model, parcel, {x, 50, 0}, {1, 1, 1}, 0,
                    {{"NUMBER", text(std::to_string(100 + i), x + 2, 55, dosHebrew)},
                     {"OWNER", text("\x89\x8F\x8D\x85\x82", x + 2, 52, mirrored)}});
    }

    const auto bytes = b.bytes();
    try {
        support::writeFileAtomically(argv[1], std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_example: %s\n", e.what());
        return 1;
    }
    return 0;
}
