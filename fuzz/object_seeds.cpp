// Seeds for the objects target: the objects of drawings, each written as
// that target reads it (a release byte, then the stored object), with class
// types renumbered to the target's class list. Keeps a few of each release
// and kind, of sizes spread from the smallest to the largest; and each walked
// kind with its fields at their defaults.
//
//   fuzz_object_seeds OUT_DIR DRAWING_OR_FOLDER...

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dwg/container/dwg_file.h"
#include "dwg/errors.h"
#include "dwg/objects/classes.h"
#include "dwg/objects/object.h"
#include "dwg/objects/registry.h"
#include "fuzz/targets.h"
#include "support/atomic_file.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPerKind = 5;
// Objects up to kLargest bytes; of a walked kind that has none so small,
// its smallest up to kLargestKept.
constexpr std::size_t kLargest = 4096;
constexpr std::size_t kLargestKept = 65536;

int releaseByte(dwg::Release r) {
    switch (r) {
    case dwg::Release::R13: return 0;
    case dwg::Release::R14: return 1;
    case dwg::Release::R2000: return 2;
    case dwg::Release::R2004: return 3;
    default: return -1;
    }
}

// The type of a class's objects in the target's class list, or 0.
std::uint16_t targetType(const std::string& dxfName) {
    const std::string name = dxfName.substr(0, dxfName.find('\0'));
    std::uint16_t type = 500;
    for (const fuzz::ObjectClass& c : fuzz::kObjectClasses) {
        if (c.dxfName == name)
            return type;
        ++type;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: fuzz_object_seeds OUT_DIR DRAWING_OR_FOLDER...\n");
        return 2;
    }
    const fs::path out = argv[1];
    std::vector<fs::path> drawings;
    for (int i = 2; i < argc; ++i) {
        const fs::path p = argv[i];
        if (fs::is_directory(p)) {
            for (const auto& e : fs::recursive_directory_iterator(p))
                if (e.is_regular_file() && e.path().extension() == ".dwg")
                    drawings.push_back(e.path());
        } else {
            drawings.push_back(p);
        }
    }
    std::sort(drawings.begin(), drawings.end());
    std::map<std::string, std::vector<std::vector<std::uint8_t>>> kept;
    std::set<std::vector<std::uint8_t>> seen;
    for (const fs::path& path : drawings) {
        try {
            const std::string text = support::readFileBytes(path);
            const std::vector<std::uint8_t> bytes(text.begin(), text.end());
            const dwg::DwgFile file = dwg::readDwgFile(bytes);
            const int rb = releaseByte(file.release);
            if (rb < 0)
                continue;
            const dwg::ClassList classes = dwg::decodeClasses(file.classes, file.release);
            for (const dwg::ObjectLocation& location : file.objects) {
                try {
                    const auto stored = file.bytesOf(location);
                    if (stored.size() > kLargestKept)
                        continue;
                    dwg::Object object = dwg::decodeObject(stored, file.release, classes);
                    if (object.common.type >= 500) {
                        const dwg::ClassDefinition* c = classes.find(object.common.type);
                        const std::uint16_t type = c != nullptr ? targetType(c->dxfName) : 0;
                        if (type == 0)
                            continue;
                        object.common.type = type;
                    }
                    std::vector<std::uint8_t> seed{static_cast<std::uint8_t>(rb)};
                    const auto written = dwg::encodeObject(object, file.release, file.release);
                    seed.insert(seed.end(), written.begin(), written.end());
                    dwg::Object check = dwg::decodeObject(written, file.release, fuzz::objectClassList());
                    const std::string kind = check.kind != nullptr ? std::string(check.kind->dxfName)
                                                                   : "type" + std::to_string(check.common.type);
                    if (check.kind == nullptr && seed.size() > kLargest)
                        continue;
                    auto& list = kept[std::to_string(rb) + "-" + kind];
                    if (!seen.insert(seed).second)
                        continue;
                    list.push_back(std::move(seed));
                } catch (const std::exception&) {
                }
            }
        } catch (const dwg::UnsupportedRelease&) {
            // 2007 and later: no objects to cut out yet.
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), e.what());
        }
    }
    // Every walked kind, with its fields at their defaults, in each release:
    // a start for the kinds no drawing holds.
    for (const dwg::ObjectKind& k : dwg::objectKinds()) {
        const std::uint16_t type = k.type != 0 ? k.type : targetType(std::string(k.dxfName));
        if (type == 0)
            continue;
        for (const dwg::Release r : {dwg::Release::R13, dwg::Release::R14, dwg::Release::R2000, dwg::Release::R2004}) {
            dwg::Object object;
            object.common.type = type;
            object.common.isEntity = k.entity;
            object.common.handle = {0, 0x42};
            object.kind = &k;
            object.body = k.make();
            try {
                const auto written = dwg::encodeObject(object, r, r);
                dwg::decodeObject(written, r, fuzz::objectClassList());
                std::vector<std::uint8_t> seed{static_cast<std::uint8_t>(releaseByte(r))};
                seed.insert(seed.end(), written.begin(), written.end());
                if (seen.insert(seed).second)
                    kept[std::to_string(releaseByte(r)) + "-default-" + std::string(k.dxfName) + "-" +
                         std::to_string(type)]
                        .push_back(std::move(seed));
            } catch (const std::exception&) {
            }
        }
    }
    fs::create_directories(out);
    std::size_t count = 0;
    for (auto& [kind, list] : kept) {
        // The smallest, the largest and others spread between them by size:
        // small objects mutate fastest, large ones hold the lists.
        std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.size() < b.size(); });
        while (list.size() > 1 && list.back().size() > kLargest)
            list.pop_back();
        const std::size_t n = std::min(list.size(), kPerKind);
        for (std::size_t i = 0; i < n; ++i) {
            const auto& seed = list[n == 1 ? 0 : i * (list.size() - 1) / (n - 1)];
            std::ofstream f(out / (kind + "-" + std::to_string(i) + ".obj"), std::ios::binary);
            f.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
            ++count;
        }
    }
    std::printf("%zu seeds of %zu kinds in %s\n", count, kept.size(), out.c_str());
    return 0;
}
