#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "tests/cli/cli_test_support.h"

namespace {

using ::testing::HasSubstr;

using cli::test::Result;
using cli::test::runCli;

TEST(TextCommand, ConvertsEachHexTextOnALineOfItsOwn) {
    auto r = runCli({"text", "--kind", "DosHebrew", "9a8199", "28" "80" "29", ""});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "f9e1fa\n28e029\n\n");
}

TEST(TextCommand, OptionsSelectOrderBackwardAndRepair) {
    EXPECT_EQ(runCli({"text", "--kind", "dosenglish", "616b756f"}).out, "ede5ecf9\n");
    EXPECT_EQ(runCli({"text", "--kind", "DosEnglishR", "--rtl", "616b756f"}).out, "f9ece5ed\n");
    EXPECT_EQ(runCli({"text", "--kind", "Windows", "--backward", "e0e1e2"}).out, "e0e1e2\n");
    EXPECT_EQ(runCli({"text", "--kind", "Windows", "--ltr", "f9ece5ed"}).out, "ede5ecf9\n");
    // A DOS letter in a Windows text: repaired first only when asked to.
    EXPECT_EQ(runCli({"text", "--kind", "Windows", "80e1"}).out, "e180\n");
    EXPECT_EQ(runCli({"text", "--kind", "Windows", "--auto-correct", "80e1"}).out, "e1e0\n");
}

TEST(TextCommand, BadArgumentsGiveUsageErrors) {
    auto odd = runCli({"text", "--kind", "Windows", "e0e"});
    EXPECT_EQ(odd.status, 2);
    EXPECT_THAT(odd.err, HasSubstr("'e0e'"));
    auto nonHex = runCli({"text", "--kind", "Windows", "e0", "zz"});
    EXPECT_EQ(nonHex.status, 2);
    EXPECT_THAT(nonHex.err, HasSubstr("'zz'"));
    EXPECT_TRUE(nonHex.out.empty());
    EXPECT_EQ(runCli({"text", "--kind", "Latin", "e0"}).status, 2);
    EXPECT_EQ(runCli({"text", "e0"}).status, 2);
    EXPECT_EQ(runCli({"text", "--kind"}).status, 2);
    EXPECT_EQ(runCli({"text", "--kind", "Windows", "--ltr", "--rtl", "e0"}).status, 2);
    EXPECT_EQ(runCli({"text", "--kind", "Windows", "--bogus", "e0"}).status, 2);
    EXPECT_EQ(runCli({"nonsense"}).status, 2);
    EXPECT_EQ(runCli({}).status, 2);
}

TEST(TextCommand, KindOfReadsTheGivenDefinitionFile) {
    auto path = std::filesystem::temp_directory_path() / ("corvelin-cli-fonts-" + std::to_string(::getpid()));
    std::ofstream(path, std::ios::binary) << "[Fonts]\r\nHebrew=Windows\r\nisocp=DosEnglish\r\n";
    auto r = runCli({"text", "--fonts", path.string(), "--kind-of", "hebrew.shx", "C:\\f\\ISOCP.SHX", "telvos1",
                     "arial.ttf", "romans.shx"});
    std::filesystem::remove(path);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Windows\nDosEnglish\nWindows\nTrueType\nDosHebrew\n");

    auto missing = runCli({"text", "--fonts", path.string(), "--kind-of", "a.shx"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_THAT(missing.err, HasSubstr("Cannot open file \"" + path.string() + "\""));
}

TEST(TextCommand, HelpAndVersion) {
    auto help = runCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("text"));
    EXPECT_THAT(runCli({"text", "--help"}).out, HasSubstr("--kind KIND"));
    auto version = runCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_THAT(version.out, HasSubstr("corvelin-cli "));
}

}  // namespace
