#include "cli/json.h"

#include <charconv>
#include <cmath>

namespace cli {

void JsonWriter::newline() {
    if (!m_pretty)
        return;
    m_out << '\n';
    for (std::size_t i = 0; i < m_hasElement.size(); ++i)
        m_out << "  ";
}

void JsonWriter::separate() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_hasElement.empty()) {
        if (m_hasElement.back())
            m_out << ',';
        m_hasElement.back() = true;
        newline();
    }
}

JsonWriter& JsonWriter::beginObject() {
    separate();
    m_out << '{';
    m_hasElement.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    const bool any = m_hasElement.back();
    m_hasElement.pop_back();
    if (any)
        newline();
    m_out << '}';
    if (m_hasElement.empty() && m_pretty)
        m_out << '\n';
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    separate();
    m_out << '[';
    m_hasElement.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    const bool any = m_hasElement.back();
    m_hasElement.pop_back();
    if (any)
        newline();
    m_out << ']';
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    value(name);
    m_out << (m_pretty ? ": " : ":");
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text) {
    separate();
    static constexpr char kDigits[] = "0123456789abcdef";
    m_out << '"';
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
            case '"': m_out << "\\\""; break;
            case '\\': m_out << "\\\\"; break;
            case '\n': m_out << "\\n"; break;
            case '\r': m_out << "\\r"; break;
            case '\t': m_out << "\\t"; break;
            default:
                if (b < 0x20)
                    m_out << "\\u00" << kDigits[b >> 4] << kDigits[b & 0xF];
                else
                    m_out << c;
        }
    }
    m_out << '"';
    return *this;
}

JsonWriter& JsonWriter::value(double number) {
    separate();
    if (!std::isfinite(number)) {
        m_out << "null";
        return *this;
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    m_out.write(buffer, result.ptr - buffer);
    return *this;
}

JsonWriter& JsonWriter::value(std::int64_t number) {
    separate();
    m_out << number;
    return *this;
}

JsonWriter& JsonWriter::value(bool flag) {
    separate();
    m_out << (flag ? "true" : "false");
    return *this;
}

JsonWriter& JsonWriter::null() {
    separate();
    m_out << "null";
    return *this;
}

}  // namespace cli
