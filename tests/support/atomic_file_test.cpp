#include "support/atomic_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::ThrowsMessage;

class AtomicFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "corvelin-atomic-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(m_dir);
    }
    static void put(const fs::path& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static unsigned mode(const fs::path& file) {
        struct stat info {};
        EXPECT_EQ(::stat(file.c_str(), &info), 0);
        return info.st_mode & 07777;
    }

    fs::path m_dir;
};

const std::string kBinary("a\0b\r\n\xFF\x80z", 8);

TEST_F(AtomicFile, CreatesAndReplacesBinaryContentLeavingNoTempFile) {
    mode_t saved = ::umask(027);
    support::writeFileAtomically(m_dir / "f.txt", kBinary);
    ::umask(saved);
    EXPECT_EQ(support::readFileBytes(m_dir / "f.txt"), kBinary);
    EXPECT_EQ(mode(m_dir / "f.txt"), 0640u);  // 0644 less the umask 027

    support::writeFileAtomically(m_dir / "f.txt", "new");
    EXPECT_EQ(support::readFileBytes(m_dir / "f.txt"), "new");
    support::writeFileAtomically(m_dir / "f.txt", "");
    EXPECT_EQ(support::readFileBytes(m_dir / "f.txt"), "");
    EXPECT_THAT(entries(), ElementsAre("f.txt"));
}

TEST_F(AtomicFile, ReplacingKeepsPermissionBits) {
    put(m_dir / "f.txt", "old");
    fs::permissions(m_dir / "f.txt", fs::perms(0751));
    support::writeFileAtomically(m_dir / "f.txt", "new");
    EXPECT_EQ(mode(m_dir / "f.txt"), 0751u);
}

TEST_F(AtomicFile, WritesThroughASymbolicLink) {
    put(m_dir / "real.txt", "old");
    fs::create_symlink("real.txt", m_dir / "link.txt");
    support::writeFileAtomically(m_dir / "link.txt", "new");
    EXPECT_TRUE(fs::is_symlink(m_dir / "link.txt"));
    EXPECT_EQ(support::readFileBytes(m_dir / "real.txt"), "new");
    EXPECT_THAT(entries(), ElementsAre("link.txt", "real.txt"));
}

TEST_F(AtomicFile, MissingFolderIsReportedWithTheTarget) {
    fs::path target = m_dir / "missing" / "f.txt";
    EXPECT_THAT([&] { support::writeFileAtomically(target, "x"); },
                ThrowsMessage<support::WriteError>(
                    "Unable to write to " + target.string() + ": No such file or directory"));
}

// A target that cannot be replaced fails only at the rename: the temporary
// file, already written, must go again.
TEST_F(AtomicFile, FailedRenameRemovesTheTempFile) {
    fs::create_directory(m_dir / "f.txt");
    put(m_dir / "f.txt" / "inside", "kept");
    EXPECT_THAT([&] { support::writeFileAtomically(m_dir / "f.txt", "x"); },
                ThrowsMessage<support::WriteError>(
                    "Unable to write to " + (m_dir / "f.txt").string() + ": Is a directory"));
    EXPECT_THAT(entries(), ElementsAre("f.txt"));
    EXPECT_EQ(support::readFileBytes(m_dir / "f.txt" / "inside"), "kept");
}

// A failing write (here: over the file size limit) keeps the old target.
TEST_F(AtomicFile, FailedWriteKeepsTheOldTarget) {
    put(m_dir / "f.txt", "old");
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message;
    try {
        support::writeFileAtomically(m_dir / "f.txt", "longer than four bytes");
    } catch (const support::WriteError& error) {
        message = error.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(message, "Unable to write to " + (m_dir / "f.txt").string() + ": File too large");
    EXPECT_EQ(support::readFileBytes(m_dir / "f.txt"), "old");
    EXPECT_THAT(entries(), ElementsAre("f.txt"));
}

TEST_F(AtomicFile, ReadOnlyFolderKeepsTheOldTarget) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root ignores folder permissions";
    put(m_dir / "f.txt", "old");
    fs::permissions(m_dir, fs::perms(0555));
    EXPECT_THAT([&] { support::writeFileAtomically(m_dir / "f.txt", "new"); },
                ThrowsMessage<support::WriteError>(
                    "Unable to write to " + (m_dir / "f.txt").string() + ": Permission denied"));
    EXPECT_EQ(support::readFileBytes(m_dir / "f.txt"), "old");
}

TEST_F(AtomicFile, ReadingReportsTheFileAndTheReason) {
    fs::path missing = m_dir / "none.txt";
    EXPECT_THAT([&] { support::readFileBytes(missing); },
                ThrowsMessage<support::OpenError>(
                    "Cannot open file \"" + missing.string() + "\". No such file or directory"));
    EXPECT_EQ(support::readFileBytesIfExists(missing), std::nullopt);
    EXPECT_THAT([&] { support::readFileBytesIfExists(m_dir); },
                ThrowsMessage<support::OpenError>(
                    "Cannot open file \"" + m_dir.string() + "\". Is a directory"));
}

}  // namespace
