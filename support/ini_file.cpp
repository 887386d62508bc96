#include "support/ini_file.h"

#include <cassert>
#include <optional>
#include <utility>

#include "support/atomic_file.h"
#include "support/paths.h"

namespace support {

namespace {

constexpr std::string_view kNewLine = "\r\n";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The name of a section header ("[name]", blanks allowed around the name and
// before the bracket), or nothing for any other line. A header without "]"
// names the rest of its line.
std::optional<std::string_view> headerName(std::string_view text) {
    text = trimBlanks(text);
    if (text.empty() || text.front() != '[')
        return std::nullopt;
    text.remove_prefix(1);
    return trimBlanks(text.substr(0, text.find(']')));
}

// The key of a line inside a section: the text before the first "=", or the
// whole line when it has none. A blank line has no key.
std::optional<std::string_view> keyName(std::string_view text) {
    if (trimBlanks(text).empty())
        return std::nullopt;
    return trimBlanks(text.substr(0, text.find('=')));
}

// The value of a key line: the text after the first "=", trimmed, without one
// pair of matching enclosing quotes.
std::string_view valueOf(std::string_view text) {
    std::size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        return {};
    std::string_view value = trimBlanks(text.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

// A value as written, so that valueOf gives it back: one with blanks at an
// end, or enclosed in a pair of matching quotes, goes inside double quotes
// (which reading removes); any other value is written as it is.
std::string storedValue(std::string_view value) {
    const bool blankEnds = !value.empty() && (isBlank(value.front()) || isBlank(value.back()));
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    if (!blankEnds && !quoted)
        return std::string(value);
    return "\"" + std::string(value) + "\"";
}

// The lines of a file and where its sections lie. It views the bytes, so it
// must not outlive a change to them.
class Lines {
public:
    struct Line {
        std::size_t begin = 0;
        std::size_t end = 0;   // end of the text, before the line ending
        std::size_t next = 0;  // start of the following line
    };
    // Line indexes: the header, and the next header or the line count.
    struct Section {
        std::size_t header = 0;
        std::size_t end = 0;
    };

    explicit Lines(std::string_view bytes) : m_bytes(bytes) {
        std::size_t pos = 0;
        while (pos < bytes.size()) {
            std::size_t newLine = bytes.find('\n', pos);
            if (newLine == std::string_view::npos) {
                m_lines.push_back({pos, bytes.size(), bytes.size()});
                break;
            }
            std::size_t end = newLine > pos && bytes[newLine - 1] == '\r' ? newLine - 1 : newLine;
            m_lines.push_back({pos, end, newLine + 1});
            pos = newLine + 1;
        }
    }

    std::size_t count() const { return m_lines.size(); }
    const Line& operator[](std::size_t index) const { return m_lines[index]; }
    std::string_view text(std::size_t index) const {
        return m_bytes.substr(m_lines[index].begin, m_lines[index].end - m_lines[index].begin);
    }
    // Where line `index` starts, or the end of the bytes past the last line.
    std::size_t offset(std::size_t index) const {
        return index < m_lines.size() ? m_lines[index].begin : m_bytes.size();
    }

    std::optional<Section> findSection(std::string_view name) const {
        for (std::size_t i = 0; i < m_lines.size(); ++i) {
            auto header = headerName(text(i));
            if (header && equalsIgnoringAsciiCase(*header, name))
                return Section{i, nextHeader(i + 1)};
        }
        return std::nullopt;
    }

    std::optional<std::size_t> findKey(const Section& section, std::string_view key) const {
        for (std::size_t i = section.header + 1; i < section.end; ++i) {
            auto name = keyName(text(i));
            if (name && equalsIgnoringAsciiCase(*name, key))
                return i;
        }
        return std::nullopt;
    }

private:
    std::size_t nextHeader(std::size_t from) const {
        while (from < m_lines.size() && !headerName(text(from)))
            ++from;
        return from;
    }

    std::string_view m_bytes;
    std::vector<Line> m_lines;
};

void addOnce(std::vector<std::string>& names, std::string_view name) {
    for (const std::string& present : names)
        if (equalsIgnoringAsciiCase(present, name))
            return;
    names.emplace_back(name);
}

}  // namespace

IniFile IniFile::load(const std::filesystem::path& file) {
    IniFile ini;
    ini.m_path = file;
    if (std::optional<std::string> bytes = readFileBytesIfExists(file))
        ini.m_bytes = std::move(*bytes);
    return ini;
}

IniFile IniFile::fromBytes(std::string bytes) {
    IniFile ini;
    ini.m_bytes = std::move(bytes);
    return ini;
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    const Lines lines(m_bytes);
    if (auto found = lines.findSection(trimBlanks(section)))
        if (auto line = lines.findKey(*found, trimBlanks(key)))
            return std::string(valueOf(lines.text(*line)));
    while (!defaultValue.empty() && defaultValue.back() == ' ')
        defaultValue.remove_suffix(1);
    return std::string(defaultValue);
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view text) {
    section = trimBlanks(section);
    key = trimBlanks(key);
    const std::string stored = storedValue(text);
    const std::string_view value = stored;
    const Lines lines(m_bytes);
    auto found = lines.findSection(section);
    if (!found) {
        addSection(section);
        m_bytes.append(key).append("=").append(value).append(kNewLine);
        return;
    }
    if (auto line = lines.findKey(*found, key)) {
        // The key keeps its spelling from the file; the line keeps its ending.
        std::string replacement(*keyName(lines.text(*line)));
        replacement.append("=").append(value);
        m_bytes.replace(lines[*line].begin, lines[*line].end - lines[*line].begin, replacement);
        return;
    }
    // After the section's last non-blank line, so that blank lines separating
    // it from the next section stay after it.
    std::size_t last = found->header;
    for (std::size_t i = found->header + 1; i < found->end; ++i)
        if (keyName(lines.text(i)))
            last = i;
    std::string added;
    if (lines[last].next == lines[last].end)  // the last line of a file without a final line ending
        added += kNewLine;
    added.append(key).append("=").append(value).append(kNewLine);
    m_bytes.insert(lines[last].next, added);
}

void IniFile::eraseSection(std::string_view section) {
    const Lines lines(m_bytes);
    if (auto found = lines.findSection(trimBlanks(section))) {
        std::size_t begin = lines.offset(found->header);
        m_bytes.erase(begin, lines.offset(found->end) - begin);
    }
}

void IniFile::addSection(std::string_view section) {
    section = trimBlanks(section);
    if (Lines(m_bytes).findSection(section))
        return;
    if (!m_bytes.empty() && m_bytes.back() != '\n')
        m_bytes += kNewLine;
    m_bytes.append("[").append(section).append("]").append(kNewLine);
}

std::vector<std::string> IniFile::sectionNames() const {
    const Lines lines(m_bytes);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < lines.count(); ++i)
        if (auto name = headerName(lines.text(i)))
            addOnce(names, *name);
    return names;
}

std::vector<std::string> IniFile::keys(std::string_view section) const {
    const Lines lines(m_bytes);
    std::vector<std::string> names;
    if (auto found = lines.findSection(trimBlanks(section)))
        for (std::size_t i = found->header + 1; i < found->end; ++i)
            if (auto name = keyName(lines.text(i)))
                addOnce(names, *name);
    return names;
}

void IniFile::save() const {
    assert(!m_path.empty() && "an IniFile made from bytes has no file to save to");
    saveAs(m_path);
}

void IniFile::saveAs(const std::filesystem::path& file) const { writeFileAtomically(file, m_bytes); }

}  // namespace support
