#pragma once
// A small JSON writer for reports and dumps: objects and arrays written in
// order, strings escaped, numbers in their shortest exact form.

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out, bool pretty = true) : m_out(out), m_pretty(pretty) {}

    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    // The name of the next member of an object.
    JsonWriter& key(std::string_view name);

    JsonWriter& value(std::string_view text);  // UTF-8
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(double number);
    JsonWriter& value(std::int64_t number);
    JsonWriter& value(int number) { return value(static_cast<std::int64_t>(number)); }
    JsonWriter& value(bool flag);
    JsonWriter& null();

    // key(name).value(v)
    template <typename T>
    JsonWriter& member(std::string_view name, const T& v) {
        key(name);
        return value(v);
    }

    // key(name) and an array of the texts.
    JsonWriter& member(std::string_view name, const std::vector<std::string>& texts) {
        key(name).beginArray();
        for (const std::string& text : texts)
            value(text);
        return endArray();
    }

private:
    void separate();
    void newline();

    std::ostream& m_out;
    bool m_pretty;
    // Per open container: whether it has an element yet.
    std::vector<bool> m_hasElement;
    bool m_afterKey = false;
};

}  // namespace cli
