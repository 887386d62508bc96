#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "app/param_ini.h"

namespace fs = std::filesystem;

TEST(ParamIni, BooleansReadTheWordsAndLettersInAnyCase) {
    for (const char* yes : {"TRUE", "true", "Yes", "y", "Y"})
        EXPECT_EQ(app::parseBoolean(yes), true) << yes;
    for (const char* no : {"FALSE", "False", "no", "N", "n"})
        EXPECT_EQ(app::parseBoolean(no), false) << no;
    for (const char* other : {"", "1", "0", "T", "yess", "on"})
        EXPECT_EQ(app::parseBoolean(other), std::nullopt) << other;
}

TEST(ParamIni, NumbersAndPositionsMustBeWhole) {
    EXPECT_EQ(app::parseInteger("-12"), -12);
    EXPECT_EQ(app::parseInteger("+7"), 7);
    EXPECT_EQ(app::parseInteger("7x"), std::nullopt);
    EXPECT_EQ(app::parseInteger(""), std::nullopt);
    EXPECT_EQ(app::parseFour("293,115,973,713"), (std::array<int, 4>{293, 115, 973, 713}));
    EXPECT_EQ(app::parseFour("-1, -1, -8 ,-8"), (std::array<int, 4>{-1, -1, -8, -8}));
    EXPECT_EQ(app::parseFour("1,2,3"), std::nullopt);
    EXPECT_EQ(app::parseFour("1,2,3,4,5"), std::nullopt);
    EXPECT_EQ(app::parseFour("1,2,,4"), std::nullopt);
}

TEST(ParamIni, WritesEveryKeyInItsOrderAndKeepsOtherSections) {
    auto file = support::IniFile::fromBytes(
        "[Other]\r\nkeep=1\r\n[Form1]\r\ncbxBack_Checked=TRUE\r\nStale=1\r\n[Tail]\r\nx=2\r\n");
    app::FormSettings s;
    s.FormVersion = 0;
    s.ShowCmd = 1;
    s.Flags = 0;
    s.PixelsPerInch = 96;
    s.MinMaxPos = std::array<int, 4>{-1, -1, -1, -1};
    s.NormPos = std::array<int, 4>{293, 115, 973, 713};
    s.OpenDialog1_InitialDir = "";
    s.tree_SelectedFolder = "/home/dana/plans/PLAN.DWG";
    s.CheckBox1_Checked = true;
    s.JamPathEdit2_Path = "/tmp/out";
    s.cbxAuto_Checked = true;
    s.rdHeb_ItemIndex = 1;
    s.cbxBack_Checked = false;
    app::writeFormSettings(file, s);
    EXPECT_EQ(file.bytes(),
              "[Other]\r\nkeep=1\r\n[Tail]\r\nx=2\r\n"
              "[Form1]\r\n"
              "FormVersion=0\r\nShowCmd=1\r\nFlags=0\r\nPixelsPerInch=96\r\nMinMaxPos=-1,-1,-1,-1\r\n"
              "NormPos=293,115,973,713\r\nOpenDialog1_InitialDir=\r\n"
              "tree_SelectedFolder=/home/dana/plans/PLAN.DWG\r\nCheckBox1_Checked=TRUE\r\n"
              "JamPathEdit2_Path=/tmp/out\r\ncbxAuto_Checked=TRUE\r\nrdHeb_ItemIndex=1\r\n"
              "cbxBack_Checked=FALSE\r\n");
    EXPECT_EQ(app::readFormSettings(file), s);
}

TEST(ParamIni, MissingAndMalformedKeysAreLeftOut) {
    const auto file = support::IniFile::fromBytes(
        "[Form1]\r\nCheckBox1_Checked=maybe\r\nrdHeb_ItemIndex=one\r\nNormPos=1,2\r\nJamPathEdit2_Path=\r\n");
    const app::FormSettings s = app::readFormSettings(file);
    EXPECT_EQ(s.FormVersion, std::nullopt);
    EXPECT_EQ(s.CheckBox1_Checked, std::nullopt);
    EXPECT_EQ(s.rdHeb_ItemIndex, std::nullopt);
    EXPECT_EQ(s.NormPos, std::nullopt);
    EXPECT_EQ(s.JamPathEdit2_Path, std::string());  // present and empty is not missing
    EXPECT_EQ(s.tree_SelectedFolder, std::nullopt);
}

TEST(ParamIni, LivesBesideTheProgramUnlessThatFolderCannotBeWritten) {
    const fs::path dir = fs::temp_directory_path() / ("corvelin-paramini-" + std::to_string(::getpid()));
    fs::create_directories(dir / "program");
    EXPECT_EQ(app::paramIniLocation(dir / "program", dir / "config"), dir / "program" / "Param.ini");
    EXPECT_FALSE(fs::exists(dir / "program" / ".Param.ini.probe"));
    // A program "folder" that is no folder cannot take the file, even for root.
    std::ofstream(dir / "plain-file") << "x";
    EXPECT_EQ(app::paramIniLocation(dir / "plain-file", dir / "config"), dir / "config" / "Param.ini");
    EXPECT_EQ(app::paramIniLocation(dir / "missing", dir / "config"), dir / "config" / "Param.ini");
    fs::remove_all(dir);
}
