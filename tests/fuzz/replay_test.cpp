// Every input that ever crashed, hung or blew up a reader, replayed through
// the fuzz target that found it (tests/data/fuzz/<target>/<what it was>).

#include "fuzz/targets.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/atomic_file.h"

namespace {

namespace fs = std::filesystem;

class FuzzReplay : public ::testing::TestWithParam<fuzz::Target> {};

TEST_P(FuzzReplay, KeptInputsPassTheirTarget) {
    const fs::path folder = fs::path(CORVELIN_SOURCE_DIR) / "tests" / "data" / "fuzz" / GetParam().name;
    if (!fs::is_directory(folder))
        GTEST_SKIP() << "no kept inputs in " << folder;
    int replayed = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        SCOPED_TRACE(entry.path().filename().string());
        const std::string bytes = support::readFileBytes(entry.path());
        EXPECT_NO_THROW(GetParam().run(fuzz::Input(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())));
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(fuzz::kTargets),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
