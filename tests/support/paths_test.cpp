#include "support/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include <unistd.h>

namespace {

TEST(Paths, SplitsWindowsAndUnixPaths) {
    EXPECT_EQ(support::folderPart("C:\\Fonts\\telvos.shx"), "C:\\Fonts\\");
    EXPECT_EQ(support::fileNamePart("C:\\Fonts\\telvos.shx"), "telvos.shx");
    EXPECT_EQ(support::fileNamePart("C:telvos.shx"), "telvos.shx");
    EXPECT_EQ(support::fileNamePart("fonts/a.b.shx"), "a.b.shx");
    EXPECT_EQ(support::fileNamePart("C:\\Fonts\\"), "");
    EXPECT_EQ(support::fileNamePart("plain"), "plain");
    EXPECT_EQ(support::folderPart("plain"), "");
}

TEST(Paths, ExtensionIsTakenFromTheFileNameOnly) {
    EXPECT_EQ(support::extensionPart("a.b.ttf"), ".ttf");
    EXPECT_EQ(support::extensionPart("dir.v2\\font"), "");
    EXPECT_EQ(support::withoutExtension("dir.v2\\font"), "dir.v2\\font");
    EXPECT_EQ(support::withoutExtension("C:\\x\\telvos1.shx"), "C:\\x\\telvos1");
    EXPECT_EQ(support::extensionPart("name."), ".");
}

TEST(Paths, AsciiCaseHelpersLeaveOtherBytesAlone) {
    EXPECT_EQ(support::upperAscii("Telvos\xE0z"), "TELVOS\xE0Z");
    EXPECT_TRUE(support::equalsIgnoringAsciiCase("Hebrew", "HEBREW"));
    EXPECT_FALSE(support::equalsIgnoringAsciiCase("Hebrew", "HEBREW "));
    EXPECT_LT(support::compareIgnoringAsciiCase("a", "B"), 0);
    EXPECT_LT(support::compareIgnoringAsciiCase("", "a"), 0);
    EXPECT_EQ(support::compareIgnoringAsciiCase("abc", "ABC"), 0);
}

class DocumentsFolder : public ::testing::Test {
protected:
    void SetUp() override {
        m_home = std::filesystem::temp_directory_path() / ("corvelin-home-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_home / ".config");
        m_savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
        ::setenv("HOME", m_home.c_str(), 1);
        ::unsetenv("XDG_CONFIG_HOME");
    }
    void TearDown() override {
        ::setenv("HOME", m_savedHome.c_str(), 1);
        std::filesystem::remove_all(m_home);
    }
    std::filesystem::path m_home;
    std::string m_savedHome;
};

TEST_F(DocumentsFolder, ComesFromTheXdgUserDirsFile) {
    std::ofstream(m_home / ".config" / "user-dirs.dirs")
        << "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Mes documents\"\n";
    EXPECT_EQ(support::documentsFolder(), m_home / "Mes documents");
}

TEST_F(DocumentsFolder, FallsBackToTheHomeFolder) {
    EXPECT_EQ(support::documentsFolder(), m_home);
    ::unsetenv("HOME");
    EXPECT_EQ(support::documentsFolder(), std::filesystem::path());
}

}  // namespace
