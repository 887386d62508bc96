#include "support/paths.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "support/FastStrings.h"

namespace support {

bool isPathSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

namespace {

std::size_t fileNameStart(std::string_view path) {
    for (std::size_t i = path.size(); i > 0; --i)
        if (isPathSeparator(path[i - 1]))
            return i;
    return 0;
}

std::size_t extensionStart(std::string_view path) {
    std::size_t nameStart = fileNameStart(path);
    std::size_t dot = path.rfind('.');
    return dot == std::string_view::npos || dot < nameStart ? path.size() : dot;
}

std::string getEnv(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The value of XDG_DOCUMENTS_DIR in a user-dirs file: a quoted path that may
// start with $HOME/. Empty when the file or the line is missing.
std::string xdgDocumentsDir(const std::filesystem::path& userDirs, const std::string& home) {
    std::ifstream in(userDirs);
    std::string line;
    while (std::getline(in, line)) {
        std::string_view view(line);
        while (!view.empty() && (view.front() == ' ' || view.front() == '\t'))
            view.remove_prefix(1);
        constexpr std::string_view key = "XDG_DOCUMENTS_DIR=";
        if (!view.starts_with(key))
            continue;
        view.remove_prefix(key.size());
        if (view.size() < 2 || view.front() != '"')
            return {};
        auto close = view.find('"', 1);
        if (close == std::string_view::npos)
            return {};
        std::string value(view.substr(1, close - 1));
        if (value.starts_with("$HOME"))
            value = home + value.substr(5);
        else if (!value.starts_with("/"))
            return {};
        return value;
    }
    return {};
}

}  // namespace

std::string_view folderPart(std::string_view path) { return path.substr(0, fileNameStart(path)); }

std::string_view fileNamePart(std::string_view path) { return path.substr(fileNameStart(path)); }

std::string_view extensionPart(std::string_view path) { return path.substr(extensionStart(path)); }

std::string_view withoutExtension(std::string_view path) { return path.substr(0, extensionStart(path)); }

std::string upperAscii(std::string_view text) {
    const auto& upper = upperCaseTable();
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(upper[static_cast<std::uint8_t>(c)]);
    return out;
}

int compareIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto& upper = upperCaseTable();
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        int ca = upper[static_cast<std::uint8_t>(a[i])];
        int cb = upper[static_cast<std::uint8_t>(b[i])];
        if (ca != cb)
            return ca - cb;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && compareIgnoringAsciiCase(a, b) == 0;
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool sameDirectoryEntry(const std::filesystem::path& a, const std::filesystem::path& b) {
    if (a.filename() != b.filename())
        return false;
    auto folderOf = [](const std::filesystem::path& p) {
        return p.parent_path().empty() ? std::filesystem::path(".") : p.parent_path();
    };
    std::error_code error;
    const std::filesystem::path fa = folderOf(a), fb = folderOf(b);
    if (std::filesystem::exists(fa, error) && std::filesystem::exists(fb, error))
        return std::filesystem::equivalent(fa, fb, error);
    return std::filesystem::weakly_canonical(fa, error) == std::filesystem::weakly_canonical(fb, error);
}

std::filesystem::path documentsFolder() {
    std::string home = getEnv("HOME");
    if (home.empty())
        return {};
    std::string configHome = getEnv("XDG_CONFIG_HOME");
    std::filesystem::path config = configHome.empty() ? std::filesystem::path(home) / ".config"
                                                      : std::filesystem::path(configHome);
    std::string documents = xdgDocumentsDir(config / "user-dirs.dirs", home);
    return documents.empty() ? std::filesystem::path(home) : std::filesystem::path(documents);
}

}  // namespace support
