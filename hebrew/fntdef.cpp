#include "hebrew/fntdef.h"

#include <algorithm>
#include <stdexcept>

#include "support/atomic_file.h"
#include "support/ini_file.h"
#include "support/paths.h"

namespace hebrew {
namespace {

constexpr std::string_view kKindNames[] = {"DosHebrew", "DosEnglish", "DosEnglishR", "Windows", "TrueType"};

// The lines of the file as the INI reader sees them: each ends at a line
// feed, a carriage return before it included.
std::vector<std::string_view> splitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
        if (end == std::string_view::npos)
            end = bytes.size();
        if (end > start && bytes[end - 1] == '\r')
            --end;
        lines.push_back(bytes.substr(start, end - start));
        start = next;
    }
    return lines;
}

// The file-name part of a font file without its extension, upper-cased.
std::string fontKey(std::string_view fontFile) {
    return support::upperAscii(support::withoutExtension(support::fileNamePart(fontFile)));
}

}  // namespace

std::string_view FontKindName(TFontKind kind) { return kKindNames[static_cast<std::size_t>(kind)]; }

std::optional<TFontKind> FontKindFromName(std::string_view name) {
    for (TFontKind kind : kAllFontKinds)
        if (support::equalsIgnoringAsciiCase(name, FontKindName(kind)))
            return kind;
    return std::nullopt;
}

std::filesystem::path FontTable::UserFolder() {
    return support::documentsFolder() / "Hesmar" / "Corvelin" / "";
}

std::filesystem::path FontTable::defaultDefinitionFile() { return UserFolder() / "HebFonts.txt"; }

std::optional<std::size_t> FontTable::findRow(std::string_view name) const {
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (support::equalsIgnoringAsciiCase(m_rows[i].name, name))
            return i;
    return std::nullopt;
}

void FontTable::checkName(std::string_view name, std::optional<std::size_t> except) const {
    if (name.find('=') != std::string_view::npos)
        throw std::invalid_argument("Key may not contain equals sign (\"=\")");
    // Rows still without a name may be several, as new rows in the grid are.
    if (name.empty())
        return;
    auto existing = findRow(name);
    if (existing && existing != except)
        throw std::invalid_argument("A key with the name of \"" + std::string(name) + "\" already exists");
}

void FontTable::insertRow(std::size_t index, FontRow row) {
    if (index > m_rows.size())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    checkName(row.name, std::nullopt);
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
}

void FontTable::setName(std::size_t index, std::string name) {
    checkName(name, index);
    m_rows.at(index).name = std::move(name);
}

void FontTable::setMapping(std::size_t index, std::string mapping) { m_rows.at(index).mapping = std::move(mapping); }

void FontTable::deleteRow(std::size_t index) {
    if (index >= m_rows.size())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(index));
}

FontTable::Lookup FontTable::lookUp(std::string_view fontFile) const {
    TFontKind kind = TFontKind::DosHebrew;
    if (support::fileNamePart(fontFile).empty())
        kind = TFontKind::TrueType;
    // A font file given with a folder does not begin with the prefix.
    if (support::upperAscii(support::withoutExtension(fontFile)).starts_with("TELVOS"))
        return {TFontKind::Windows, false};
    if (support::upperAscii(support::extensionPart(fontFile)) == ".TTF")
        return {TFontKind::TrueType, false};
    std::string key = fontKey(fontFile);
    for (const FontRow& row : m_rows) {
        if (support::upperAscii(row.name) != key)
            continue;
        // Only the first row naming the font counts; "TrueType" or any other
        // text leaves the kind as it is.
        auto mapped = FontKindFromName(row.mapping);
        if (mapped && *mapped != TFontKind::TrueType)
            return {*mapped, true};
        break;
    }
    return {kind, false};
}

TFontKind FontTable::FontKindOf(std::string_view fontFile) const { return lookUp(fontFile).kind; }

bool FontTable::KindFromTable(std::string_view fontFile) const { return lookUp(fontFile).fromTable; }

void FontTable::SetFontKind(std::string_view fontFile, std::uint8_t kind) {
    std::string name = fontKey(fontFile);
    std::string mapping(kind < 4 ? kKindNames[kind] : kKindNames[4]);
    if (auto row = findRow(name))
        m_rows[*row].mapping = std::move(mapping);
    else
        m_rows.push_back({std::move(name), std::move(mapping)});
}

void FontTable::Readfonts(const std::filesystem::path& file) {
    m_fontNames.clear();
    std::string bytes = support::readFileBytes(file);
    // An empty file is an empty table, as write() of one gives only the header.
    auto lines = splitLines(bytes);

    std::vector<std::string> names;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        std::size_t equals = line.find('=');
        // Blanks around a name are no part of it, as for any key of the file.
        std::string name(support::trimBlanks(equals == std::string_view::npos ? std::string_view() : line.substr(0, equals)));
        auto at = std::lower_bound(names.begin(), names.end(), name, [](const std::string& a, const std::string& b) {
            return support::compareIgnoringAsciiCase(a, b) < 0;
        });
        if (at == names.end() || !support::equalsIgnoringAsciiCase(*at, name))
            names.insert(at, std::move(name));
    }

    auto ini = support::IniFile::fromBytes(std::move(bytes));
    std::vector<FontRow> rows;
    rows.reserve(names.size());
    for (const std::string& name : names)
        rows.push_back({name, ini.readString(kSection, name, "")});
    m_rows = std::move(rows);
    m_fontNames = std::move(names);
}

bool FontTable::loadDefault() {
    std::filesystem::path file = defaultDefinitionFile();
    std::error_code error;
    if (!std::filesystem::exists(file, error))
        return false;
    Readfonts(file);
    return true;
}

void FontTable::write(const std::filesystem::path& file, bool skipEmptyNames, bool eraseSection) const {
    auto ini = support::IniFile::load(file);
    if (eraseSection)
        ini.eraseSection(kSection);
    // The header goes first even without rows: reading drops the first line.
    ini.addSection(kSection);
    for (const FontRow& row : m_rows)
        if (!(skipEmptyNames && row.name.empty()))
            ini.writeString(kSection, row.name, row.mapping);
    ini.saveAs(file);
}

}  // namespace hebrew
