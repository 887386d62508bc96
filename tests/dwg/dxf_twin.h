#pragma once
// The parts of a DXF file that the dwg tests compare a drawing with: its text
// styles, TEXT entities and ATTRIBs, read straight from the text file.

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace dwg::test {

struct DxfEntity {
    std::string type;
    // The first value of each group code (enough for TEXT, ATTRIB, STYLE).
    std::map<int, std::string> values;

    std::string text(int code, std::string fallback = {}) const {
        auto it = values.find(code);
        return it == values.end() ? fallback : it->second;
    }
    double number(int code, double fallback = 0.0) const {
        auto it = values.find(code);
        return it == values.end() ? fallback : std::strtod(it->second.c_str(), nullptr);
    }
};

// Every TEXT, ATTRIB and STYLE record of the file, in file order.
inline std::optional<std::vector<DxfEntity>> readDxfTwin(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<DxfEntity> out;
    std::optional<DxfEntity> current;
    std::string codeLine, value;
    auto trim = [](std::string s) {
        while (!s.empty() && (s.back() == '\r' || s.back() == ' '))
            s.pop_back();
        return s;
    };
    while (std::getline(in, codeLine) && std::getline(in, value)) {
        const int code = std::atoi(trim(codeLine).c_str());
        value = trim(value);
        if (code == 0) {
            if (current)
                out.push_back(*current);
            current.reset();
            if (value == "TEXT" || value == "ATTRIB" || value == "STYLE")
                current = DxfEntity{value, {}};
        } else if (current) {
            current->values.emplace(code, value);
        }
    }
    if (current)
        out.push_back(*current);
    return out;
}

}  // namespace dwg::test
