// Every input that ever crashed, hung or blew up a reader, replayed through
// the fuzz target that found it (tests/data/fuzz/<target>/<what it was>).

#include "fuzz/targets.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/atomic_file.h"

namespace {

namespace fs = std::filesystem;

TEST(FuzzReplay, EveryKeptInputPassesItsTarget) {
    const fs::path kept = fs::path(CORVELIN_SOURCE_DIR) / "tests" / "data" / "fuzz";
    int replayed = 0;
    for (const auto& folder : fs::directory_iterator(kept)) {
        // A folder names its target; a misspelt one would never be replayed.
        const fuzz::Target& target = fuzz::targetNamed(folder.path().filename().string());
        for (const auto& entry : fs::directory_iterator(folder.path())) {
            SCOPED_TRACE(entry.path().string());
            const std::string bytes = support::readFileBytes(entry.path());
            EXPECT_NO_THROW(target.run(fuzz::Input(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())));
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0);
}

}  // namespace
