#pragma once
// Runs DWG readers that share no code with ours (LibreDWG and libdxfrw built for
// WebAssembly, run with Node.js from tools/readers, and GDAL's ogrinfo) as
// separate processes, so that tests can check the drawings Corvelin writes
// against them. scripts/install-readers.sh installs them; tests skip without them.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace readers {

// Strings are UTF-8 as the reader decoded them. A field the reader does not
// give is empty (numbers stay 0); README.md in tools/readers lists which.
struct Style {
    std::string name, fontFile, generation;
};
struct Text {
    std::string handle;  // upper-case hexadecimal, as in DXF group 5
    std::string owner;   // name of the block record (or space) holding the entity
    std::string style;
    double x = 0, y = 0;  // first alignment point
    std::string text;
    std::string generation;  // bit 2: backward, bit 4: upside down
};
struct Attribute {
    std::string handle, insert, tag, style;  // insert: handle of the owning INSERT
    double x = 0, y = 0;
    std::string text;
};
struct Insert {
    std::string handle, owner, block;
    double x = 0, y = 0;
};

struct Dump {
    std::string version;   // "AC1015", "AC1018", ...
    std::string codePage;  // the drawing's code page number, when the reader tells it
    std::vector<Style> styles;
    std::vector<Text> texts;
    std::vector<Attribute> attributes;
    std::vector<Insert> inserts;
    std::vector<std::pair<std::string, int>> blocks;  // name, number of entities the reader delivered
    std::map<std::string, int> entityTypes;           // "block|TYPE" -> how many the block holds
    std::vector<std::string> layers;
    std::vector<std::string> warnings;                // defects the reader read past
};

enum class Reader { LibreDwg, LibDxfRw, Ogr };

std::string_view readerName(Reader reader);

// Empty when the reader can run here, else why not (to show in GTEST_SKIP).
std::string missingReason(Reader reader);

// std::nullopt, with the reason in *whyMissing, when the reader is not installed.
// Throws std::runtime_error carrying the reader's message when it is installed
// but cannot read the file.
std::optional<Dump> dump(Reader reader, const std::filesystem::path& dwg, std::string* whyMissing);

// Parse the readers' output; public so that the parsing itself can be tested.
// parseRecords takes what tools/readers/dump.mjs prints and throws on an ERROR
// record or a malformed line; parseOgrInfo takes `ogrinfo -ro -al` output.
Dump parseRecords(std::string_view output);
Dump parseOgrInfo(std::string_view output);

}  // namespace readers
