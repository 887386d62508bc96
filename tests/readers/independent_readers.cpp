#include "tests/readers/independent_readers.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef CORVELIN_SOURCE_DIR
#error "CORVELIN_SOURCE_DIR must name the source tree, which holds tools/readers"
#endif

extern char** environ;

namespace readers {
namespace {

// A reader that takes longer than this on a test drawing has hung.
constexpr const char* kTimeoutSeconds = "120";
constexpr int kTimedOut = 124;  // timeout(1)'s exit status
constexpr int kMinimumNodeMajor = 20;  // what the WebAssembly packages declare

std::filesystem::path readersDir() {
    return std::filesystem::path(CORVELIN_SOURCE_DIR) / "tools" / "readers";
}

struct Finished {
    int status = -1;  // exit status, or 128 + signal number
    std::string out, err;
};

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { close(); }
    int get() const { return m_fd; }
    void close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
private:
    int m_fd;
};

struct Pipe {
    Pipe() {
        std::array<int, 2> ends{};
        // Close-on-exec keeps our ends out of the child; dup2 clears it on its copies.
        if (::pipe2(ends.data(), O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe2");
        read = std::make_unique<Descriptor>(ends[0]);
        write = std::make_unique<Descriptor>(ends[1]);
    }
    std::unique_ptr<Descriptor> read, write;
};

// Runs a program found on PATH with standard input from /dev/null and collects
// both output streams; reading them together keeps a chatty child from
// blocking on a full pipe.
Finished run(std::vector<std::string> args) {
    Pipe out, err;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write->get(), 1);
    posix_spawn_file_actions_adddup2(&actions, err.write->get(), 2);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    out.write->close();
    err.write->close();
    if (spawned != 0) throw std::system_error(spawned, std::generic_category(), "cannot start " + args[0]);

    Finished finished;
    std::array<pollfd, 2> fds{pollfd{out.read->get(), POLLIN, 0}, pollfd{err.read->get(), POLLIN, 0}};
    std::array<std::string*, 2> sinks{&finished.out, &finished.err};
    int open = 2;
    std::array<char, 65536> buffer{};
    while (open > 0) {
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t got = ::read(fds[i].fd, buffer.data(), buffer.size());
            if (got > 0) {
                sinks[i]->append(buffer.data(), static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                fds[i].fd = -1;  // poll ignores negative descriptors
                --open;
            }
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "waitpid");
    }
    finished.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return finished;
}

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (true) {
        const auto colon = rest.find(':');
        std::filesystem::path dir(std::string(rest.substr(0, colon)));
        if (dir.empty()) dir = ".";
        if (::access((dir / program).c_str(), X_OK) == 0) return true;
        if (colon == std::string_view::npos) return false;
        rest.remove_prefix(colon + 1);
    }
}

constexpr std::string_view kInstallHint = "; run scripts/install-readers.sh";

std::string nodeMissing() {
    static const std::string reason = [] {
        if (!onPath("node")) return std::string("Node.js (node) is not on PATH").append(kInstallHint);
        const Finished version = run({"node", "--version"});
        int major = 0;
        const std::string_view text = version.out;  // "v20.20.2"
        if (text.size() > 1) std::from_chars(text.data() + 1, text.data() + text.size(), major);
        if (version.status != 0 || major < kMinimumNodeMajor) {
            return "Node.js " + std::to_string(kMinimumNodeMajor) + " or later is needed, found '" +
                   std::string(text.substr(0, text.find('\n'))) + "'";
        }
        return std::string();
    }();
    return reason;
}

std::string fileMissing(const std::filesystem::path& file) {
    if (std::filesystem::is_regular_file(file)) return {};
    return file.string() + " is missing" + std::string(kInstallHint);
}

std::string ogrMissing() {
    static const std::string reason = [] {
        if (!onPath("ogrinfo")) return std::string("GDAL's ogrinfo is not on PATH").append(kInstallHint);
        const Finished formats = run({"ogrinfo", "--formats"});
        // Its driver list has lines such as "  CAD -raster,vector- (rovs): AutoCAD Driver".
        if (formats.status != 0 || formats.out.find("\n  CAD -") == std::string::npos) {
            return std::string("ogrinfo lists no CAD driver, so it cannot read DWG");
        }
        return std::string();
    }();
    return reason;
}

std::string_view scriptName(Reader reader) {
    return reader == Reader::LibreDwg ? "libredwg" : "libdxfrw";
}

std::vector<std::string_view> split(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    while (true) {
        const auto at = line.find(separator);
        fields.push_back(line.substr(0, at));
        if (at == std::string_view::npos) return fields;
        line.remove_prefix(at + 1);
    }
}

[[noreturn]] void malformed(std::string_view line, std::string_view why) {
    throw std::runtime_error("malformed reader record (" + std::string(why) + "): " + std::string(line));
}

std::string fromHex(std::string_view hex, std::string_view line) {
    if (hex.size() % 2 != 0) malformed(line, "odd number of hexadecimal digits");
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
        if (ec != std::errc() || end != hex.data() + i + 2) malformed(line, "not hexadecimal");
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}

// An empty field is a number the reader does not give.
double number(std::string_view field, std::string_view line) {
    double value = 0;
    if (field.empty()) return value;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc() || end != field.data() + field.size()) malformed(line, "not a number");
    return value;
}

int integer(std::string_view field, std::string_view line) {
    int value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (field.empty() || ec != std::errc() || end != field.data() + field.size()) malformed(line, "not an integer");
    return value;
}

bool consumePrefix(std::string_view& text, std::string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix) return false;
    text.remove_prefix(prefix.size());
    return true;
}

std::string firstLines(std::string_view text) {
    constexpr std::size_t kLimit = 2000;
    std::string shown(text.substr(0, kLimit));
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r')) shown.pop_back();
    return shown;
}

Dump runNodeReader(Reader reader, const std::filesystem::path& dwg) {
    const Finished finished = run({"timeout", kTimeoutSeconds, "node", (readersDir() / "dump.mjs").string(),
                                   std::string(scriptName(reader)), dwg.string()});
    const std::string who = std::string(readerName(reader)) + " on " + dwg.string();
    if (finished.status == kTimedOut) {
        throw std::runtime_error(who + ": no answer within " + kTimeoutSeconds + " s");
    }
    // Exit status 1 comes with an ERROR record, which parseRecords throws for.
    if (finished.status == 0 || (finished.status == 1 && finished.out.starts_with("ERROR\t"))) {
        try {
            return parseRecords(finished.out);
        } catch (const std::runtime_error& e) {
            throw std::runtime_error(who + ": " + e.what());
        }
    }
    throw std::runtime_error(who + " exited with status " + std::to_string(finished.status) + ": " +
                             firstLines(finished.err + finished.out));
}

Dump runOgr(const std::filesystem::path& dwg) {
    const Finished finished = run({"timeout", kTimeoutSeconds, "ogrinfo", "-ro", "-al", dwg.string()});
    const std::string who = "ogrinfo on " + dwg.string();
    if (finished.status == kTimedOut) {
        throw std::runtime_error(who + ": no answer within " + kTimeoutSeconds + " s");
    }
    if (finished.status != 0) {
        // Its output then lists every driver it tried; the reasons are on a few lines.
        const std::string said = finished.err + finished.out;
        std::string reasons;
        for (const auto line : split(said, '\n')) {
            if (line.starts_with("ERROR") || line.starts_with("Unable")) reasons.append(line).append(" ");
        }
        throw std::runtime_error(who + " exited with status " + std::to_string(finished.status) + ": " +
                                 (reasons.empty() ? firstLines(said) : reasons));
    }
    // Another driver (DXF, say) answering means the file was not taken for DWG.
    if (finished.out.find("using driver `CAD' successful") == std::string::npos) {
        const auto driver = finished.out.find("using driver");
        const std::string opened =
            driver == std::string::npos ? "" : finished.out.substr(driver, finished.out.find('\n', driver) - driver);
        throw std::runtime_error(who + ": the CAD (DWG) driver did not read it (" + opened + ")");
    }
    Dump dump = parseOgrInfo(finished.out);
    for (const auto line : split(finished.err, '\n')) {
        if (!line.empty()) dump.warnings.emplace_back(line);
    }
    return dump;
}

}  // namespace

std::string_view readerName(Reader reader) {
    switch (reader) {
    case Reader::LibreDwg: return "LibreDWG";
    case Reader::LibDxfRw: return "libdxfrw";
    case Reader::Ogr: return "ogrinfo";
    }
    return "unknown reader";
}

std::string missingReason(Reader reader) {
    if (reader == Reader::Ogr) return ogrMissing();
    if (auto reason = nodeMissing(); !reason.empty()) return reason;
    if (auto reason = fileMissing(readersDir() / "dump.mjs"); !reason.empty()) return reason;
    const auto modules = readersDir() / "node_modules" / "@mlightcad";
    return reader == Reader::LibreDwg ? fileMissing(modules / "libredwg-web" / "wasm" / "libredwg-web.wasm")
                                      : fileMissing(modules / "libdxfrw-web" / "dist" / "libdxfrw.wasm");
}

std::optional<Dump> dump(Reader reader, const std::filesystem::path& dwg, std::string* whyMissing) {
    if (auto reason = missingReason(reader); !reason.empty()) {
        if (whyMissing) *whyMissing = std::move(reason);
        return std::nullopt;
    }
    return reader == Reader::Ogr ? runOgr(dwg) : runNodeReader(reader, dwg);
}

Dump parseRecords(std::string_view output) {
    Dump dump;
    for (const auto line : split(output, '\n')) {
        if (line.empty()) continue;
        const auto f = split(line, '\t');
        const auto kind = f[0];
        const auto need = [&](std::size_t count) {
            if (f.size() != count) malformed(line, std::to_string(count) + " fields expected");
        };
        if (kind == "ERROR") {
            throw std::runtime_error(std::string(line.substr(std::min(line.size(), kind.size() + 1))));
        } else if (kind == "VERSION") {
            need(2);
            dump.version = f[1];
        } else if (kind == "CODEPAGE") {
            need(2);
            dump.codePage = f[1];
        } else if (kind == "WARNING") {
            dump.warnings.emplace_back(line.substr(std::min(line.size(), kind.size() + 1)));
        } else if (kind == "STYLE") {
            need(4);
            dump.styles.push_back({fromHex(f[1], line), fromHex(f[2], line), std::string(f[3])});
        } else if (kind == "TEXT") {
            need(8);
            dump.texts.push_back({std::string(f[1]), fromHex(f[2], line), fromHex(f[3], line), number(f[4], line),
                                  number(f[5], line), fromHex(f[6], line), std::string(f[7])});
        } else if (kind == "INSERT") {
            need(6);
            dump.inserts.push_back({std::string(f[1]), fromHex(f[2], line), fromHex(f[3], line), number(f[4], line),
                                    number(f[5], line)});
        } else if (kind == "ATTRIB") {
            need(8);
            dump.attributes.push_back({std::string(f[1]), std::string(f[2]), fromHex(f[3], line), fromHex(f[4], line),
                                       number(f[5], line), number(f[6], line), fromHex(f[7], line)});
        } else if (kind == "BLOCK") {
            need(3);
            dump.blocks.emplace_back(fromHex(f[1], line), integer(f[2], line));
        } else if (kind == "ENTITIES") {
            need(4);
            dump.entityTypes[fromHex(f[1], line) + "|" + fromHex(f[2], line)] = integer(f[3], line);
        } else if (kind == "LAYER") {
            need(2);
            dump.layers.push_back(fromHex(f[1], line));
        }
        // Other kinds are left for newer versions of dump.mjs to add.
    }
    return dump;
}

Dump parseOgrInfo(std::string_view output) {
    // The CAD driver gives each entity as a feature with a "cadgeom_type" field;
    // texts carry their value in "text" and their insertion point as a POINT.
    struct Feature {
        std::string type, text;
        double x = 0, y = 0;
    };
    Dump dump;
    std::optional<Feature> feature;
    const auto finish = [&] {
        if (!feature) return;
        if (feature->type == "CADText") {
            dump.texts.push_back({{}, {}, {}, feature->x, feature->y, feature->text, {}});
        } else if (feature->type == "CADAttrib") {
            dump.attributes.push_back({{}, {}, {}, {}, feature->x, feature->y, feature->text});
        }
        feature.reset();
    };
    for (auto line : split(output, '\n')) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (consumePrefix(line, "  $ACADVER=")) {
            dump.version = line;
        } else if (consumePrefix(line, "  $DWGCODEPAGE=")) {
            dump.codePage = line;
        } else if (line.starts_with("OGRFeature(")) {
            finish();
            feature.emplace();
        } else if (line.starts_with("Layer name: ")) {
            finish();
        } else if (!feature) {
            continue;
        } else if (consumePrefix(line, "  cadgeom_type (String) = ")) {
            feature->type = line;
        } else if (consumePrefix(line, "  text (String) = ")) {
            feature->text = line;
        } else if (consumePrefix(line, "  POINT Z (") || consumePrefix(line, "  POINT (")) {
            const auto coordinates = split(line.substr(0, line.find(')')), ' ');
            if (coordinates.size() < 2) malformed(line, "point without two coordinates");
            feature->x = number(coordinates[0], line);
            feature->y = number(coordinates[1], line);
        }
    }
    finish();
    return dump;
}

}  // namespace readers
