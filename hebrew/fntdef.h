#pragma once
// Font kinds and the font table: which way each font file stores Hebrew, kept
// between runs in the font definition file "HebFonts.txt" (an INI file with
// one section "Fonts" of lines "fontname=mapping").

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hebrew {

enum class TFontKind : std::uint8_t {
    DosHebrew = 0,    // code page 862 letters, possibly as "%%128" codes
    DosEnglish = 1,   // English-keyboard keys of the Hebrew letters
    DosEnglishR = 2,  // the same, not reversed by the conversions
    Windows = 3,      // Windows-1255 letters
    TrueType = 4,     // a TrueType font's Windows-1255 text
};

inline constexpr TFontKind kAllFontKinds[] = {TFontKind::DosHebrew, TFontKind::DosEnglish, TFontKind::DosEnglishR,
                                              TFontKind::Windows, TFontKind::TrueType};

// "DosHebrew", "DosEnglish", "DosEnglishR", "Windows", "TrueType".
std::string_view FontKindName(TFontKind kind);
// The kind a name stands for, ignoring ASCII case; nothing for other texts.
std::optional<TFontKind> FontKindFromName(std::string_view name);

// One row of the table. Any mapping text is kept, also one naming no kind.
struct FontRow {
    std::string name;
    std::string mapping;
    bool operator==(const FontRow&) const = default;
};

class FontTable {
public:
    static constexpr std::string_view kSection = "Fonts";

    // The per-user folder: the documents folder followed by "Hesmar/Corvelin/".
    static std::filesystem::path UserFolder();
    static std::filesystem::path defaultDefinitionFile();

    const std::vector<FontRow>& rows() const { return m_rows; }
    // The font names the last load took from its file: sorted ignoring ASCII
    // case, names equal ignoring case kept once (the first one met).
    const std::vector<std::string>& FontNames() const { return m_fontNames; }

    // Editing as the fonts dialog's grid allows it. Names must not contain
    // "=" and must be unique ignoring case (rows still without a name may be
    // several); std::invalid_argument otherwise,
    // with the grid's message, and the table unchanged.
    void insertRow(std::size_t index, FontRow row);
    void appendRow(FontRow row) { insertRow(m_rows.size(), std::move(row)); }
    void setName(std::size_t index, std::string name);
    void setMapping(std::size_t index, std::string mapping);
    void deleteRow(std::size_t index);
    void clear() { m_rows.clear(); }

    // The kind of a font file name as a text style gives it (possibly with
    // folder and extension): TELVOS fonts are Windows, ".TTF" files TrueType,
    // otherwise the first row naming the font decides, DosHebrew by default.
    TFontKind FontKindOf(std::string_view fontFile) const;
    // Whether a row of the table gave that kind: false when the font's name
    // decided (TELVOS, ".TTF"), when no row names the font, or when the first
    // row naming it maps to no kind that changes anything.
    bool KindFromTable(std::string_view fontFile) const;
    // Sets the mapping of the font's row, adding a row when there is none.
    void SetFontKind(std::string_view fontFile, std::uint8_t kind);

    // Loads the table from a definition file (its first line is taken to be
    // the section header and dropped); an empty file is an empty table.
    // support::OpenError when the file cannot be read; the rows then stay as
    // they were.
    void Readfonts(const std::filesystem::path& file);
    // Loads the default definition file; a missing one (the usual first run)
    // just leaves the table empty. False when it is missing.
    bool loadDefault();

    // Writes the rows into section "Fonts" of `file`, keeping its other
    // sections. `eraseSection` first removes the section's old lines;
    // `skipEmptyNames` leaves out rows without a font name. The section's
    // header is written also for an empty table.
    // support::WriteError "Unable to write to ..." on failure.
    void write(const std::filesystem::path& file, bool skipEmptyNames, bool eraseSection = true) const;

private:
    struct Lookup {
        TFontKind kind;
        bool fromTable;
    };
    Lookup lookUp(std::string_view fontFile) const;
    std::optional<std::size_t> findRow(std::string_view name) const;
    void checkName(std::string_view name, std::optional<std::size_t> except) const;

    std::vector<FontRow> m_rows;
    std::vector<std::string> m_fontNames;
};

}  // namespace hebrew
