#pragma once
// Text for the terminal: aligned tables and strings with their control
// characters made visible.

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// Columns as wide as their widest cell (counted in characters, not UTF-8
// bytes); lines end without blanks.
class TextTable {
public:
    // Columns marked true are aligned right; the others left.
    explicit TextTable(std::vector<bool> rightAligned = {}) : m_right(std::move(rightAligned)) {}

    void add(std::vector<std::string> row);
    std::size_t size() const { return m_rows.size(); }
    void printRow(std::ostream& out, std::size_t index, std::string_view indent) const;
    void print(std::ostream& out, std::string_view indent) const;

private:
    std::vector<bool> m_right;
    std::vector<std::size_t> m_widths;
    std::vector<std::vector<std::string>> m_rows;
};

// UTF-8 of a text with control characters (C0, DEL, C1: how DOS Hebrew
// letters read in Windows code pages) as \u00XX; `quoted` also escapes
// quotes and backslashes and puts the text in quotes.
std::string printable(const std::u16string& text, bool quoted = false);

}  // namespace cli
