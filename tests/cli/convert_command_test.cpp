// corvelin-cli convert and check over folders of built drawings: outputs,
// in-place backups, failures that leave everything in place, the report, and
// parallel runs.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/cli/cli_test_support.h"
#include "dwg/container/dwg_file.h"
#include "dwg/drawing/builder.h"
#include "dwg/drawing/drawing.h"
#include "filter/batch.h"
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

// A fault of ours during a run (here an index out of range from the
// message hook) fails that drawing with a message that says so; it is
// neither a crash nor a "damaged drawing", and nothing is written.
TEST_F(ConvertCommand, AFaultOfOursIsReportedAsAnInternalError) {
    const auto plan = drawing("plan.dwg");
    hebrew::FontTable fonts;
    fonts.Readfonts(m_fonts);
    filter::RunHooks hooks;
    hooks.started = [](filter::TDWGFileFilter& f) {
        f.ProcessMessages = [] { throw std::out_of_range("vector::at"); };
    };
    const filter::FixedOptions rightToLeft(false);
    const auto output = m_dir / "out.dwg";
    const auto report = filter::convertDrawing(fonts, rightToLeft, {}, plan, output, {}, hooks);
    EXPECT_EQ(report.status, filter::RunStatus::Failed);
    EXPECT_FALSE(report.openFailed);
    ASSERT_FALSE(report.errors.empty());
    EXPECT_THAT(report.errors.front(), HasSubstr("internal error: vector::at"));
    EXPECT_FALSE(fs::exists(output));
}

// The drawing stays under its own name throughout an in-place conversion; a
// backup that an interrupted run left is recognised, not taken as a
// conversion that happened.
TEST_F(ConvertCommand, InPlaceNeverTakesTheDrawingAwayAndMendsWhatAStoppedRunLeft) {
    const auto plan = drawing("plan.dwg");
    const std::string original = support::readFileBytes(plan);
    hebrew::FontTable fonts;
    fonts.Readfonts(m_fonts);
    filter::RunHooks hooks;
    bool seen = false;
    hooks.started = [&](filter::TDWGFileFilter&) {
        seen = true;
        EXPECT_TRUE(support::readFileBytes(plan) == original);
        EXPECT_FALSE(fs::exists(plan.string() + ".bak"));
    };
    const filter::FixedOptions rightToLeft(false);
    const auto report = filter::convertDrawing(fonts, rightToLeft, {}, plan, plan, {}, hooks);
    EXPECT_TRUE(seen);
    EXPECT_EQ(report.status, filter::RunStatus::Done);
    EXPECT_TRUE(support::readFileBytes(plan.string() + ".bak") == original);
    EXPECT_EQ(firstText(plan), u"\u05E9\u05D1\u05EA");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir / "in"), {}), 2);  // no temporary file left

    // Stopped by an older program after moving the drawing away: restored, then converted.
    fs::remove(plan);
    auto restored = runCli({"convert", "--in-place", "--fonts", m_fonts.string(), plan.string()});
    EXPECT_EQ(restored.status, 0) << restored.out << restored.err;
    EXPECT_THAT(restored.err, HasSubstr("restored " + plan.string() + " from " + plan.string() + ".bak"));
    EXPECT_EQ(firstText(plan), u"\u05E9\u05D1\u05EA");
    EXPECT_TRUE(support::readFileBytes(plan.string() + ".bak") == original);

    // Stopped between keeping the backup and putting the result in place.
    fs::remove(plan);
    fs::create_hard_link(plan.string() + ".bak", plan);
    auto resumed = runCli({"convert", "--in-place", "--fonts", m_fonts.string(), plan.string()});
    EXPECT_EQ(resumed.status, 0) << resumed.out << resumed.err;
    EXPECT_EQ(firstText(plan), u"\u05E9\u05D1\u05EA");
    EXPECT_TRUE(support::readFileBytes(plan.string() + ".bak") == original);
}

// Another link to the input is another name: it is replaced by the result,
// and the input is never touched. Names as long as the file system allows
// convert too, and nothing but regular files is ever read.
TEST_F(ConvertCommand, LinksLongNamesAndFilesThatAreNoFiles) {
    const auto a = drawing("a.dwg");
    const auto b = drawing("b.dwg");
    const std::string originalA = support::readFileBytes(a), originalB = support::readFileBytes(b);
    fs::create_directories(m_dir / "out");
    fs::create_hard_link(a, m_dir / "out" / "a.dwg");
    fs::create_symlink(b, m_dir / "out" / "b.dwg");
    auto r = runCli({"convert", "--output-dir", (m_dir / "out").string(), "--fonts", m_fonts.string(), a.string(),
                     b.string()});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_THAT(r.out, HasSubstr(a.string() + " -> " + (m_dir / "out" / "a.dwg").string()));
    EXPECT_TRUE(support::readFileBytes(a) == originalA && support::readFileBytes(b) == originalB);
    for (const auto& input : {a, b}) {
        const auto output = m_dir / "out" / input.filename();
        EXPECT_FALSE(fs::is_symlink(output));
        EXPECT_EQ(fs::hard_link_count(input), 1u);
        EXPECT_EQ(firstText(output), u"\u05E9\u05D1\u05EA");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir / "in"), {}), 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir / "out"), {}), 2);

    const auto longName = drawing(std::string(240, 'x') + ".dwg");  // 244 bytes, as long as ".bak" allows
    auto intoFolder = runCli({"convert", "--output-dir", (m_dir / "out").string(), "--fonts", m_fonts.string(),
                              longName.string()});
    EXPECT_EQ(intoFolder.status, 0) << intoFolder.out << intoFolder.err;
    auto inPlace = runCli({"convert", "--in-place", "--fonts", m_fonts.string(), longName.string()});
    EXPECT_EQ(inPlace.status, 0) << inPlace.out << inPlace.err;
    EXPECT_EQ(firstText(longName), u"\u05E9\u05D1\u05EA");

    // A FIFO in a folder is no drawing; named, it is refused without waiting for a writer.
    fs::create_directories(m_dir / "fifo");
    const auto fifo = m_dir / "fifo" / "pipe.dwg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    auto folder = runCli({"check", (m_dir / "fifo").string()});
    EXPECT_EQ(folder.err, "corvelin-cli check: no drawings in " + (m_dir / "fifo").string() + "\n");
    auto named = runCli({"check", fifo.string(), "/dev/zero"});
    EXPECT_EQ(named.status, 1);
    EXPECT_THAT(named.err, HasSubstr(fifo.string() + "\". Not a regular file"));
    EXPECT_THAT(named.err, HasSubstr("/dev/zero\". Not a regular file"));
}

TEST_F(ConvertCommand, AFailedDrawingIsReportedAndLosesNothing) {
    drawing("good.dwg");
    const auto broken = m_dir / "in" / "broken.dwg";
    std::ofstream(broken) << "AC1015 and nothing else";
    auto r = runCli({"convert", "--in-place", "--jobs", "1", "--fonts", m_fonts.string(), (m_dir / "in").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("FAILED " + broken.string() + ": Problem with opening file: "));
    EXPECT_THAT(r.out, HasSubstr("converted " + (m_dir / "in" / "good.dwg").string()));
    // The broken drawing is back under its own name, with no backup left over.
    EXPECT_EQ(support::readFileBytes(broken), "AC1015 and nothing else");
    EXPECT_FALSE(fs::exists(broken.string() + ".bak"));
}

// A 2007-2018 drawing is read and checked; converting it is refused before
// anything is changed, and nothing is written.
// The converted drawing keeps its code page, where Hebrew letters of an
// ANSI_1252 drawing are \U+ escapes; --code-page ANSI_1255 declares that
// page and stores the letters as its bytes, and the report says which.
TEST_F(ConvertCommand, TheCodePageWrittenCanBeChosen) {
    const auto plan = drawing("plan.dwg");
    const auto stored = [](const fs::path& file) {
        dwg::Drawing d = dwg::Drawing::open(file);
        return std::make_pair(d.codePage(), d.text(d.selectAll("TEXT").front()).value.bytes);
    };
    auto own = runCli({"convert", "--output-dir", (m_dir / "own").string(), "--fonts", m_fonts.string(),
                       "--report", (m_dir / "own.json").string(), plan.string()});
    EXPECT_EQ(own.status, 0) << own.err;
    EXPECT_EQ(stored(m_dir / "own" / "plan.dwg"), std::make_pair(std::uint16_t{30}, std::string("\\U+05E9\\U+05D1\\U+05EA")));
    EXPECT_THAT(support::readFileBytes(m_dir / "own.json"), HasSubstr("\"codePageWritten\": \"ANSI_1252\""));

    auto hebrew = runCli({"convert", "--output-dir", (m_dir / "hebrew").string(), "--fonts", m_fonts.string(),
                          "--code-page", "ansi_1255", "--report", (m_dir / "hebrew.json").string(), plan.string()});
    EXPECT_EQ(hebrew.status, 0) << hebrew.err;
    EXPECT_EQ(stored(m_dir / "hebrew" / "plan.dwg"), std::make_pair(std::uint16_t{34}, std::string("\xF9\xE1\xFA")));
    EXPECT_THAT(support::readFileBytes(m_dir / "hebrew.json"), HasSubstr("\"codePageWritten\": \"ANSI_1255\""));

    // A 2004 drawing, which a conversion otherwise writes back in place.
    const auto of2004 = drawing("of2004.dwg", dwg::Release::R2004);
    auto again = runCli({"convert", "--output-dir", (m_dir / "hebrew").string(), "--fonts", m_fonts.string(),
                         "--code-page", "ANSI_1255", of2004.string()});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(stored(m_dir / "hebrew" / "of2004.dwg"), std::make_pair(std::uint16_t{34}, std::string("\xF9\xE1\xFA")));

    auto wrong = runCli({"convert", "--output-dir", (m_dir / "x").string(), "--code-page", "UTF-8", plan.string()});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_THAT(wrong.err, HasSubstr("--code-page takes the name of a single-byte code page"));
    EXPECT_FALSE(fs::exists(m_dir / "x" / "plan.dwg"));
}

TEST_F(ConvertCommand, CheckChangesAndCreatesNothing) {
    const auto plan = drawing("plan.dwg");
    std::ofstream(m_dir / "in" / "broken.dwg") << "junk";
    const std::string before = support::readFileBytes(plan);
    auto r = runCli({"check", (m_dir / "in").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.out, HasSubstr("checked " + plan.string()));
    EXPECT_THAT(r.err, HasSubstr("FAILED " + (m_dir / "in" / "broken.dwg").string()));
    EXPECT_EQ(support::readFileBytes(plan), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir / "in"), {}), 2);
}

// A drawing of another program's writer: check names its release, its
// writer, what was repaired and what a save rebuilds, on standard output
// and in the report; an intact drawing has nothing of the kind.
TEST_F(ConvertCommand, CheckReportsTheWriterWarningsAndWhatASaveRebuilds) {
    const fs::path foreign = fs::path(CORVELIN_SAMPLES_DIR) / "dwg" / "foreign" / "rw2000_sample_2000.dwg";
    if (!fs::exists(foreign))
        GTEST_SKIP() << "no foreign sample drawing " << foreign;
    fs::copy_file(foreign, m_dir / "in" / "foreign.dwg");
    const auto plan = drawing("plan.dwg");
    const auto report = m_dir / "report.json";
    auto r = runCli({"check", "--jobs", "1", "--fonts", m_fonts.string(), "--report", report.string(),
                     (m_dir / "in").string()});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_THAT(r.out, HasSubstr("checked " + (m_dir / "in" / "foreign.dwg").string() +
                                 "\n  release 2000, written by a program of AC1018 (2004), maintenance 0\n"
                                 "  warning: second file header: expected its end sentinel"));
    EXPECT_THAT(r.out, HasSubstr("  a save rebuilds: second file header: a fresh one\n"));
    EXPECT_THAT(r.out, HasSubstr("checked " + plan.string() +
                                 "\n  release 2000, written by a program of AC1015 (2000), maintenance 0\n2 checked"));
    const std::string json = support::readFileBytes(report);
    EXPECT_THAT(json, HasSubstr("\"writer\": \"a program of AC1018 (2004), maintenance 0\""));
    EXPECT_THAT(json, HasSubstr("\"second file header: a fresh one\""));
    EXPECT_THAT(json, HasSubstr("\"rebuiltOnSave\""));
    EXPECT_THAT(json, HasSubstr("\"readWarnings\""));
}

// A drawing whose object map points two handles at each other's objects:
// check refuses it, and with --recover checks it with the recovery listed
// and converts it to a drawing that opens without a warning, with the
// texts an intact copy converts to.
TEST_F(ConvertCommand, RecoverOpensADrawingWithADamagedObjectMapAndSaysSo) {
    drawing("intact.dwg");
    const auto damaged = drawing("damaged.dwg");
    {
        const std::string bytes = support::readFileBytes(damaged);
        dwg::DwgFile file = dwg::readDwgFile(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        ASSERT_GT(file.objects.size(), 4U);
        std::swap(file.objects[2].handle, file.objects[3].handle);
        const auto written = dwg::writeDwgFile(file);
        support::writeFileAtomically(damaged, std::string_view(reinterpret_cast<const char*>(written.data()), written.size()));
    }
    auto refused = runCli({"check", "--fonts", m_fonts.string(), damaged.string()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, HasSubstr("FAILED " + damaged.string() + ": Problem with opening file: " +
                                       damaged.string() + ": object "));
    EXPECT_THAT(refused.err, HasSubstr(": the object map points at object "));

    const auto report = m_dir / "report.json";
    auto checked = runCli({"check", "--recover", "--fonts", m_fonts.string(), "--report", report.string(), damaged.string()});
    EXPECT_EQ(checked.status, 0) << checked.err;
    EXPECT_THAT(checked.out, HasSubstr("\n  warning: object map: the entries of 2 handles do not point at objects of "
                                       "their handles ("));
    EXPECT_THAT(checked.out, HasSubstr("); recovered 2 objects by scanning; a save writes a fresh one\n"
                                       "  a save rebuilds: object map: a fresh one\n"));
    const std::string json = support::readFileBytes(report);
    EXPECT_THAT(json, HasSubstr("recovered 2 objects by scanning"));
    EXPECT_THAT(json, HasSubstr("\"object map: a fresh one\""));

    auto converted = runCli({"convert", "--recover", "--jobs", "1", "--fonts", m_fonts.string(), "--output-dir",
                             (m_dir / "out").string(), (m_dir / "in").string()});
    EXPECT_EQ(converted.status, 0) << converted.err;
    EXPECT_THAT(converted.out, HasSubstr("  rebuilt: object map: a fresh one\n"));
    const dwg::Drawing again = dwg::Drawing::open(m_dir / "out" / "damaged.dwg");
    EXPECT_TRUE(again.warnings().empty());
    EXPECT_EQ(firstText(m_dir / "out" / "damaged.dwg"), firstText(m_dir / "out" / "intact.dwg"));
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

TEST_F(ConvertCommand, RecursiveRunsMirrorTheTreeAndCollisionsAreRefusedFirst) {
    fs::create_directories(m_dir / "in" / "a");
    fs::create_directories(m_dir / "in" / "b");
    drawing("a/plan.dwg");
    drawing("b/plan.dwg");
    const auto out = m_dir / "out";
    auto r = runCli({"convert", "-r", "--output-dir=" + out.string(), "-j", "2", "--fonts", m_fonts.string(),
                     (m_dir / "in").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(firstText(out / "a" / "plan.dwg"), u"\u05E9\u05D1\u05EA");
    EXPECT_EQ(firstText(out / "b" / "plan.dwg"), u"\u05E9\u05D1\u05EA");
    EXPECT_THAT(r.out, HasSubstr("(1 text, 0 attributes)\n"));
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\n2 converted, 0 failed, 0 skipped in [0-9]+\\.[0-9] s\n$")))
        << r.out;

    // Two operands' drawings of one name, and one drawing given twice: nothing
    // is written, and the message names both.
    const auto other = m_dir / "other";
    const std::string a = (m_dir / "in" / "a" / "plan.dwg").string(), b = (m_dir / "in" / "b" / "plan.dwg").string();
    const std::string a2 = (m_dir / "in" / "a" / "." / "plan.dwg").string();
    for (const auto& [first, second] : {std::pair{(m_dir / "in" / "a").string(), (m_dir / "in" / "b").string()},
                                        std::pair{a, a2}}) {
        auto refused = runCli({"convert", "--output-dir", other.string(), "--fonts", m_fonts.string(), first, second});
        EXPECT_EQ(refused.status, 1);
        EXPECT_THAT(refused.err, HasSubstr(a + " and " + (first == a ? a2 : b) +
                                           " would both be written to " + (other / "plan.dwg").string()));
        EXPECT_FALSE(fs::exists(other));
    }
    auto twice = runCli({"convert", "--in-place", "--fonts", m_fonts.string(), (m_dir / "in" / "a").string(),
                         (m_dir / "in" / "a" / "plan.dwg").string()});
    EXPECT_EQ(twice.status, 1);
    EXPECT_FALSE(fs::exists(m_dir / "in" / "a" / "plan.dwg.bak"));
}

TEST_F(ConvertCommand, OutputFolderAndReportAreCheckedBeforeAnyWork) {
    const auto plan = drawing("plan.dwg");
    const std::string before = support::readFileBytes(plan);
    auto underAFile = runCli({"convert", "--output-dir", (plan / "y").string(), plan.string()});
    EXPECT_EQ(underAFile.status, 1);
    EXPECT_THAT(underAFile.err, HasSubstr("cannot create the output folder " + (plan / "y").string()));
    auto noReport = runCli({"convert", "--in-place", "--report", (m_dir / "x" / "r.json").string(), plan.string()});
    EXPECT_EQ(noReport.status, 1);
    EXPECT_THAT(noReport.err, HasSubstr("cannot write the report"));
    EXPECT_EQ(support::readFileBytes(plan), before);
    EXPECT_FALSE(fs::exists(plan.string() + ".bak"));
    EXPECT_EQ(noReport.out, "");
}

TEST_F(ConvertCommand, FilesFromListsAndNamedReports) {
    const auto a = drawing("a.dwg");
    const auto b = drawing("b.dwg");
    const auto list = m_dir / "shard.txt";
    std::ofstream(list) << a.string() << "\r\n\n" << b.string() << "\n";
    const auto report = m_dir / "r.json";
    auto r = runCli({"check", "--files-from", list.string(), "--report", report.string(), "--report-name", "shard-3",
                     "--fonts", m_fonts.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\n2 checked, 0 failed in "));
    const std::string json = support::readFileBytes(report);
    EXPECT_THAT(json, HasSubstr("\"name\": \"shard-3\""));
    EXPECT_THAT(json, HasSubstr("\"kindFrom\": \"table\""));
    EXPECT_THAT(json, HasSubstr("\"kindFrom\": \"default\""));

    // Relative paths of a list keep their folders below the output folder.
    const auto cwd = fs::current_path();
    fs::current_path(m_dir);
    std::ofstream(list) << "in/a.dwg\n";
    auto mirrored = runCli({"convert", "--output-dir", "out", "--files-from", list.string(), "--fonts", m_fonts.string()});
    fs::current_path(cwd);
    EXPECT_EQ(mirrored.status, 0) << mirrored.err;
    EXPECT_TRUE(fs::exists(m_dir / "out" / "in" / "a.dwg"));
}

TEST_F(ConvertCommand, WhatIsNoDrawingIsSaid) {
    fs::create_directories(m_dir / "empty");
    auto none = runCli({"check", (m_dir / "empty").string()});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "corvelin-cli check: no drawings in " + (m_dir / "empty").string() + "\n");

    std::ofstream(m_dir / "in" / "plan.dwg") << "  0\r\nSECTION\r\n  2\r\nHEADER\r\n";
    std::ofstream(m_dir / "in" / "empty.dwg");
    std::ofstream(m_dir / "in" / "new.dwg") << "AC1040" << std::string(200, '\0');
    auto r = runCli({"check", "--jobs=1", "--fonts", m_fonts.string(), (m_dir / "in").string(), (m_dir / "empty").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("plan.dwg: Problem with opening file: " + (m_dir / "in" / "plan.dwg").string() +
                                 ": a DXF file, not a DWG drawing\n"));
    EXPECT_THAT(r.err, HasSubstr("empty.dwg: an empty file, not a DWG drawing\n"));
    EXPECT_THAT(r.err, HasSubstr("DWG version AC1040 is not read; releases read: R13, R14, 2000, 2004"));
    auto folder = runCli({"styles", "--fonts", m_fonts.string(), m_dir.string()});
    EXPECT_THAT(folder.err, HasSubstr("a folder, not a DWG drawing"));
}

TEST_F(ConvertCommand, UsageErrors) {
    EXPECT_EQ(runCli({"convert", "x.dwg"}).status, 2);
    EXPECT_EQ(runCli({"convert", "--in-place", "--output-dir", "o", "x.dwg"}).status, 2);
    EXPECT_EQ(runCli({"convert", "--in-place", "--jobs", "0", "x.dwg"}).status, 2);
    EXPECT_EQ(runCli({"convert", "--in-place"}).status, 2);
    EXPECT_EQ(runCli({"check", "--in-place", "x.dwg"}).status, 2);
    // An unknown option is named, never taken for a file; one line and a pointer to the help.
    const auto unknown = runCli({"convert", "--in-place", "-x", "x.dwg"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "corvelin-cli convert: unknown option '-x'\nTry 'corvelin-cli convert --help'\n");
    EXPECT_THAT(runCli({"convert", "--in-place", "--recursive=yes", "x.dwg"}).err,
                HasSubstr("option '--recursive' takes no value"));
    const std::string help = runCli({"convert", "--help"}).out;
    for (const char* option : {"--output-dir DIR", "--in-place", "--ltr", "--rtl", "--recursive", "--files-from",
                               "--report-name", "--jobs N", "--fonts FILE", "HebFonts.txt", "Exit status"})
        EXPECT_THAT(help, HasSubstr(option));

}

}  // namespace
