// corvelin-cli convert and check over folders of built drawings: outputs,
// in-place backups, failures that leave everything in place, the report, and
// parallel runs.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include <unistd.h>

#include "tests/cli/cli_test_support.h"
#include "dwg/drawing/builder.h"
#include "dwg/drawing/drawing.h"
#include "support/atomic_file.h"

namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

using cli::test::Result;
using cli::test::runCli;

class ConvertCommand : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("corvelin-convert-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir / "in");
        m_fonts = m_dir / "fonts.txt";
        std::ofstream(m_fonts, std::ios::binary) << "[Fonts]\r\nHEBREW=DosHebrew\r\n";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path drawing(const std::string& name, dwg::Release release = dwg::Release::R2000) {
        dwg::DrawingBuilder b(release);
        const auto style = b.addTextStyle("Hebrew", "hebrew.shx");
        dwg::DrawingBuilder::TextSpec t;
        t.value = "\x9A\x81\x99";
        t.style = style;
        b.addText(dwg::DrawingBuilder::Space::Model, t);
        const auto bytes = b.bytes();
        const auto path = m_dir / "in" / name;
        support::writeFileAtomically(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        return path;
    }

    std::u16string firstText(const fs::path& file) {
        dwg::Drawing d = dwg::Drawing::open(file);
        return d.textString(d.selectAll("TEXT").front());
    }

    fs::path m_dir, m_fonts;
};

TEST_F(ConvertCommand, ConvertsAFolderIntoTheOutputFolderWithAReport) {
    drawing("a.dwg");
    drawing("B.DWG", dwg::Release::R2004);
    fs::create_directories(m_dir / "in" / "folder.dwg");  // a folder is no drawing
    std::ofstream(m_dir / "in" / "notes.txt") << "not a drawing";
    const auto report = m_dir / "report.json";
    auto r = runCli({"convert", "--output-dir", (m_dir / "out").string(), "--fonts", m_fonts.string(), "--report",
                     report.string(), (m_dir / "in").string()});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(firstText(m_dir / "out" / "a.dwg"), u"\u05E9\u05D1\u05EA");
    EXPECT_EQ(firstText(m_dir / "out" / "B.DWG"), u"\u05E9\u05D1\u05EA");
    EXPECT_FALSE(fs::exists(m_dir / "out" / "folder.dwg"));
    const std::string json = support::readFileBytes(report);
    EXPECT_THAT(json, HasSubstr("\"drawings\": 2"));
    EXPECT_THAT(json, HasSubstr("\"failed\": 0"));
    EXPECT_THAT(json, HasSubstr("\"releaseRead\": \"2004\""));
    EXPECT_THAT(json, HasSubstr("\"kind\": \"DosHebrew\""));
    EXPECT_THAT(json, HasSubstr("\"textsConverted\": 1"));
}

TEST_F(ConvertCommand, InPlaceKeepsTheOriginalAsBakAndNeverConvertsTwice) {
    const auto plan = drawing("plan.dwg");
    const std::string original = support::readFileBytes(plan);
    auto r = runCli({"convert", "--in-place", "--fonts", m_fonts.string(), plan.string()});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(support::readFileBytes(plan.string() + ".bak"), original);
    EXPECT_EQ(firstText(plan), u"\u05E9\u05D1\u05EA");

    const std::string converted = support::readFileBytes(plan);
    auto again = runCli({"convert", "--in-place", "--fonts", m_fonts.string(), plan.string()});
    EXPECT_EQ(again.status, 1);
    EXPECT_THAT(again.out, HasSubstr("already converted: backup exists"));
    EXPECT_EQ(support::readFileBytes(plan), converted);
    EXPECT_EQ(support::readFileBytes(plan.string() + ".bak"), original);
}

TEST_F(ConvertCommand, AFailedDrawingIsReportedAndLosesNothing) {
    drawing("good.dwg");
    const auto broken = m_dir / "in" / "broken.dwg";
    std::ofstream(broken) << "AC1015 and nothing else";
    auto r = runCli({"convert", "--in-place", "--jobs", "1", "--fonts", m_fonts.string(), (m_dir / "in").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.out, HasSubstr("FAILED " + broken.string() + ": Problem with opening file: "));
    EXPECT_THAT(r.out, HasSubstr("converted " + (m_dir / "in" / "good.dwg").string()));
    // The broken drawing is back under its own name, with no backup left over.
    EXPECT_EQ(support::readFileBytes(broken), "AC1015 and nothing else");
    EXPECT_FALSE(fs::exists(broken.string() + ".bak"));
}

TEST_F(ConvertCommand, CheckChangesAndCreatesNothing) {
    const auto plan = drawing("plan.dwg");
    std::ofstream(m_dir / "in" / "broken.dwg") << "junk";
    const std::string before = support::readFileBytes(plan);
    auto r = runCli({"check", (m_dir / "in").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.out, HasSubstr("checked " + plan.string()));
    EXPECT_THAT(r.out, HasSubstr("FAILED " + (m_dir / "in" / "broken.dwg").string()));
    EXPECT_EQ(support::readFileBytes(plan), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir / "in"), {}), 2);
}

TEST_F(ConvertCommand, ParallelRunsGiveTheSameReport) {
    for (int i = 0; i < 6; ++i)
        drawing("d" + std::to_string(i) + ".dwg", i % 2 ? dwg::Release::R2004 : dwg::Release::R2000);
    std::string reports[2];
    for (int jobs : {1, 2}) {
        const auto report = m_dir / ("report" + std::to_string(jobs) + ".json");
        auto r = runCli({"convert", "--output-dir", (m_dir / ("out" + std::to_string(jobs))).string(), "--jobs",
                         std::to_string(jobs), "--fonts", m_fonts.string(), "--report", report.string(),
                         (m_dir / "in").string()});
        ASSERT_EQ(r.status, 0) << r.err;
        // Times and output folders differ; everything else must agree.
        reports[jobs - 1] = std::regex_replace(support::readFileBytes(report),
                                               std::regex("\"seconds\": [^\\n]*|out[12]"), "");
    }
    EXPECT_EQ(reports[0], reports[1]);
}

TEST_F(ConvertCommand, UsageErrors) {
    EXPECT_EQ(runCli({"convert", "x.dwg"}).status, 2);
    EXPECT_EQ(runCli({"convert", "--in-place", "--output-dir", "o", "x.dwg"}).status, 2);
    EXPECT_EQ(runCli({"convert", "--in-place", "--jobs", "0", "x.dwg"}).status, 2);
    EXPECT_EQ(runCli({"convert", "--in-place"}).status, 2);
    EXPECT_EQ(runCli({"check", "--in-place", "x.dwg"}).status, 2);
    EXPECT_THAT(runCli({"convert", "--help"}).out, HasSubstr("--output-dir DIR"));
}

}  // namespace
