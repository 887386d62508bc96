#include "support/FastStrings.h"

namespace support {
namespace {

std::array<std::uint8_t, 256> makeUpperCaseTable() {
    std::array<std::uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b);
    return table;
}

// A pattern prepared for searching: its skip distances and, for the
// case-insensitive form, its upper-cased bytes.
class Horspool {
public:
    Horspool(std::string_view pattern, bool caseSensitive)
        : m_pattern(pattern), m_caseSensitive(caseSensitive) {
        const auto& upper = upperCaseTable();
        if (!caseSensitive) {
            m_upperPattern.resize(pattern.size());
            for (std::size_t i = 0; i < pattern.size(); ++i)
                m_upperPattern[i] = static_cast<char>(upper[static_cast<std::uint8_t>(pattern[i])]);
            m_pattern = m_upperPattern;
        }
        const std::size_t m = m_pattern.size();
        m_skip.fill(m);
        for (std::size_t i = 0; i + 1 < m; ++i)
            m_skip[static_cast<std::uint8_t>(m_pattern[i])] = m - 1 - i;
    }

    // 0-based offset of the first match at or after `from`, or npos.
    std::size_t find(std::string_view text, std::size_t from) const {
        const std::size_t m = m_pattern.size();
        if (m == 0 || from > text.size() || text.size() - from < m)
            return std::string_view::npos;
        const auto& upper = upperCaseTable();
        auto at = [&](std::size_t i) {
            auto b = static_cast<std::uint8_t>(text[i]);
            return m_caseSensitive ? b : upper[b];
        };
        std::size_t pos = from;
        while (pos + m <= text.size()) {
            std::size_t k = m;
            while (k > 0 && at(pos + k - 1) == static_cast<std::uint8_t>(m_pattern[k - 1]))
                --k;
            if (k == 0)
                return pos;
            pos += m_skip[at(pos + m - 1)];
        }
        return std::string_view::npos;
    }

    std::size_t size() const { return m_pattern.size(); }

private:
    std::string_view m_pattern;
    std::string m_upperPattern;
    bool m_caseSensitive;
    std::array<std::size_t, 256> m_skip{};
};

}  // namespace

const std::array<std::uint8_t, 256>& upperCaseTable() {
    static const auto table = makeUpperCaseTable();
    return table;
}

std::size_t fastPos(std::string_view text, std::string_view pattern, std::size_t start, bool caseSensitive) {
    if (start == 0)
        start = 1;
    std::size_t found = Horspool(pattern, caseSensitive).find(text, start - 1);
    return found == std::string_view::npos ? 0 : found + 1;
}

std::string fastReplace(std::string_view text, std::string_view pattern, std::string_view replacement,
                        bool caseSensitive) {
    Horspool search(pattern, caseSensitive);
    std::string out;
    std::size_t from = 0;
    for (std::size_t found = search.find(text, 0); found != std::string_view::npos;
         found = search.find(text, from)) {
        out.append(text, from, found - from);
        out.append(replacement);
        from = found + search.size();
    }
    out.append(text, from);
    return out;
}

}  // namespace support
