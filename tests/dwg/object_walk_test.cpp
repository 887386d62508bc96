// Every object of every sample drawing, walked: its fields end exactly where
// the object says its data, strings and handles end, and encoding it again
// in its own release gives the stored bytes. Every type the samples hold has
// a walk.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dwg/container/dwg_file.h"
#include "dwg/errors.h"
#include "dwg/objects/classes.h"
#include "dwg/objects/object.h"
#include "dwg/objects/stored_object.h"
#include "dwg/objects/registry.h"
#include "support/hex.h"
#include "tests/dwg/test_support.h"

namespace {

namespace fs = std::filesystem;

using dwg::test::sampleDrawings;

std::string typeName(std::uint16_t type, const dwg::ClassList& classes) {
    if (const dwg::ClassDefinition* c = classes.find(type))
        return std::string(c->name());
    return "type " + std::to_string(type);
}

std::string firstDifference(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return "byte " + std::to_string(i) + " of " + std::to_string(a.size()) + " stored, " + std::to_string(b.size()) +
           " written";
}

TEST(ObjectWalk, EveryObjectOfEverySampleDecodesExactlyAndEncodesToItsBytes) {
    const auto samples = sampleDrawings();
    if (samples.empty())
        GTEST_SKIP() << "no sample drawings in " << CORVELIN_SAMPLES_DIR;
    std::map<std::string, int> undescribed;
    std::map<std::string, int> walked;
    std::vector<std::string> faults;
    for (const fs::path& path : samples) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const dwg::DwgFile file = dwg::readDwgFile(bytes);
        const dwg::ClassList classes = dwg::decodeClasses(file.classes, file.release);
        const std::string name = fs::relative(path, fs::path(CORVELIN_SAMPLES_DIR) / "dwg").string();
        for (const dwg::ObjectLocation& location : file.objects) {
            const auto stored = file.bytesOf(location);
            const std::string where = name + " object " + support::hexNumber(location.handle);
            try {
                dwg::Object object = dwg::decodeObject(stored, file.release, classes);
                if (object.kind == nullptr) {
                    ++undescribed[typeName(object.common.type, classes)];
                } else {
                    ++walked[std::string(object.kind->dxfName)];
                }
                const auto again = dwg::encodeObject(object, file.release, file.release);
                if (!std::equal(again.begin(), again.end(), stored.begin(), stored.end()))
                    faults.push_back(where + " (" + typeName(object.common.type, classes) +
                                     "): encodes to other bytes: " + firstDifference(stored, again));
            } catch (const std::exception& e) {
                faults.push_back(where + " (" + typeName(dwg::storedObjectType(stored, file.release), classes) +
                                 "): " + e.what());
            }
        }
    }
    std::cout << "walked:";
    for (const auto& [type, n] : walked) std::cout << ' ' << type << " x" << n;
    std::cout << "\nwithout a walk:";
    for (const auto& [type, n] : undescribed) std::cout << ' ' << type << " x" << n;
    std::cout << '\n';
    // Two placeholders that another program's writer left damaged: it stood
    // them in for table contents it could not write, with an extended data
    // size and none of its bytes (LibreDWG's own reader refuses them too).
    const std::set<std::string> damaged = {"foreign/rw2000_example_2004.dwg object ADB",
                                           "foreign/rw2004_example_2000.dwg object 9BC"};
    std::set<std::string> damagedFound;
    for (const std::string& fault : faults) {
        const std::string where = fault.substr(0, fault.find(" ("));
        if (damaged.contains(where) && fault.find("eed") != std::string::npos)
            damagedFound.insert(where);
        else
            ADD_FAILURE() << fault;
    }
    EXPECT_EQ(damagedFound, damaged);
    EXPECT_TRUE(undescribed.empty());
}

}  // namespace
