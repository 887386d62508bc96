#include "cli/text_table.h"

#include <algorithm>

#include "support/code_pages.h"

namespace cli {
namespace {

std::size_t width(std::string_view utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

void TextTable::add(std::vector<std::string> row) {
    m_widths.resize(std::max(m_widths.size(), row.size()), 0);
    for (std::size_t c = 0; c < row.size(); ++c)
        m_widths[c] = std::max(m_widths[c], width(row[c]));
    m_rows.push_back(std::move(row));
}

void TextTable::printRow(std::ostream& out, std::size_t index, std::string_view indent) const {
    const auto& row = m_rows.at(index);
    std::string line(indent);
    for (std::size_t c = 0; c < row.size(); ++c) {
        const std::string padding(m_widths[c] - width(row[c]), ' ');
        const bool last = c + 1 == row.size();
        if (c < m_right.size() && m_right[c])
            line += padding + row[c];
        else
            line += last ? row[c] : row[c] + padding;
        if (!last)
            line += "  ";
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    out << line << '\n';
}

void TextTable::print(std::ostream& out, std::string_view indent) const {
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        printRow(out, i, indent);
}

std::string printable(const std::u16string& text, bool quoted) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out = quoted ? "\"" : "";
    std::u16string run;
    auto flush = [&] {
        out += support::toUtf8(run);
        run.clear();
    };
    for (char16_t c : text) {
        if (quoted && (c == u'"' || c == u'\\')) {
            run += u'\\';
            run += c;
        } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            flush();
            out += "\\u00";
            out += kDigits[(c >> 4) & 0xF];
            out += kDigits[c & 0xF];
        } else {
            run += c;
        }
    }
    flush();
    return quoted ? out + "\"" : out;
}

}  // namespace cli
