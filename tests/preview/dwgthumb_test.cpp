#include "preview/dwgthumb.h"

#include "preview/bmp.h"
#include "preview/png.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace preview {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t get32(const Bytes& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8)
           | (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

struct Color {
    std::uint8_t b, g, r;
};
constexpr Color kRed{0, 0, 255}, kGreen{0, 255, 0}, kBlue{255, 0, 0}, kYellow{0, 255, 255};

// A 24-bit bottom-up bitmap without file header, split into four coloured
// quarters: red top left, green top right, blue bottom left, yellow bottom right.
Bytes quarteredDib(int width, int height)
{
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    Bytes b(40 + stride * static_cast<std::size_t>(height), 0);
    put32(b, 0, 40);
    put32(b, 4, static_cast<std::uint32_t>(width));
    put32(b, 8, static_cast<std::uint32_t>(height));
    b[12] = 1;
    b[14] = 24;
    put32(b, 20, static_cast<std::uint32_t>(stride * static_cast<std::size_t>(height)));
    for (int row = 0; row < height; ++row) {   // row 0 is the bottom one
        const bool top = row >= height / 2;
        for (int x = 0; x < width; ++x) {
            const bool left = x < width / 2;
            const Color c = top ? (left ? kRed : kGreen) : (left ? kBlue : kYellow);
            std::uint8_t* px = &b[40 + stride * static_cast<std::size_t>(row) + static_cast<std::size_t>(x) * 3];
            px[0] = c.b;
            px[1] = c.g;
            px[2] = c.r;
        }
    }
    return b;
}

// A 4 x 2 palette PNG: red green blue green / blue blue red red.
const Bytes kPng = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
                    0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x02, 0x08, 0x03, 0x00, 0x00, 0x00, 0x48, 0x76, 0x8D,
                    0x51, 0x00, 0x00, 0x00, 0x09, 0x50, 0x4C, 0x54, 0x45, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00,
                    0x00, 0xFF, 0x2D, 0x4A, 0xCD, 0x8A, 0x00, 0x00, 0x00, 0x12, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C,
                    0x63, 0x60, 0x60, 0x64, 0x62, 0x64, 0x62, 0x62, 0xFC, 0xF7, 0x1F, 0x00, 0x03, 0x36, 0x02, 0x07,
                    0xDD, 0x0A, 0x85, 0x79, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

struct EntryData {
    std::uint8_t code;
    Bytes data;
};

const Bytes kSentinel = {0x1F, 0x25, 0x6D, 0x07, 0xD4, 0x36, 0x28, 0x28, 0x9D, 0x57, 0xCA, 0x3F, 0x9D, 0x44, 0x10, 0x2B};
constexpr std::size_t kBlockAt = 0x20;

// A file with the version at 0, the image block's address at 13, and the
// block at 0x20: sentinel, size, count, entries, then the entries' data.
Bytes makeDwg(const std::vector<EntryData>& entries, std::string_view version = "AC1015", bool sentinel = true)
{
    Bytes f(kBlockAt, 0);
    std::copy(version.begin(), version.end(), f.begin());
    put32(f, 13, kBlockAt);
    f.insert(f.end(), kSentinel.begin(), kSentinel.end());
    if (!sentinel)
        f[kBlockAt + 5] ^= 0xFF;
    f.resize(kBlockAt + 21 + 9 * entries.size(), 0);
    f[kBlockAt + 20] = static_cast<std::uint8_t>(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t at = kBlockAt + 21 + 9 * i;
        f[at] = entries[i].code;
        put32(f, at + 1, static_cast<std::uint32_t>(f.size()));
        put32(f, at + 5, static_cast<std::uint32_t>(entries[i].data.size()));
        f.insert(f.end(), entries[i].data.begin(), entries[i].data.end());
    }
    put32(f, kBlockAt + 16, static_cast<std::uint32_t>(f.size() - kBlockAt));
    return f;
}

const Bytes kHeaderData(80, 0);
const Bytes kMetafile(60, 0x5A);

class DwgThumb : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path()
                / ("corvelin_dwgthumb_" + std::to_string(::getpid()) + "_"
                   + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
        m_target = Picture::blank(180, 113);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path write(const std::string& name, const Bytes& bytes)
    {
        const fs::path p = m_dir / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
        return p;
    }

    void expectColor(int x, int y, Color c, int tolerance = 1)
    {
        const std::uint8_t* px = m_target.row(y) + 3 * x;
        EXPECT_NEAR(px[0], c.b, tolerance) << "blue at " << x << "," << y;
        EXPECT_NEAR(px[1], c.g, tolerance) << "green at " << x << "," << y;
        EXPECT_NEAR(px[2], c.r, tolerance) << "red at " << x << "," << y;
    }

    bool isPlaceholder() const
    {
        Picture expected = Picture::blank(m_target.width, m_target.height);
        drawPlaceholder(expected);
        return expected.pixels == m_target.pixels;
    }

    // The 20 x 10 quartered bitmap fitted into 180 x 113: 180 x 90 at y 11.
    void expectQuarteredPreview()
    {
        EXPECT_FALSE(isPlaceholder());
        for (int x : {0, 90, 179}) {
            expectColor(x, 0, {255, 255, 255}, 0);
            expectColor(x, 10, {255, 255, 255}, 0);
            expectColor(x, 101, {255, 255, 255}, 0);
            expectColor(x, 112, {255, 255, 255}, 0);
        }
        // The corners of the fitted rectangle sample the source's corner pixels.
        expectColor(0, 11, kRed);
        expectColor(179, 11, kGreen);
        expectColor(0, 100, kBlue);
        expectColor(179, 100, kYellow);
        expectColor(40, 30, kRed, 4);
        expectColor(140, 80, kYellow, 4);
    }

    fs::path m_dir;
    Picture m_target;
};

TEST(FitRect, WiderTargetCentresHorizontally)
{
    const Rect target{0, 0, 179, 112};
    const Rect square = FitRect(target, {0, 0, 99, 99});
    EXPECT_EQ(square.left, 33);
    EXPECT_EQ(square.top, 0);
    EXPECT_EQ(square.right - square.left + 1, 113);
    EXPECT_EQ(square.bottom, 112);
    // 113 x 4/3 = 150.67, rounded up to 151; (180 - 151) / 2 = 14.
    const Rect fourThree = FitRect(target, {0, 0, 399, 299});
    EXPECT_EQ(fourThree.left, 14);
    EXPECT_EQ(fourThree.right, 14 + 151 - 1);
    EXPECT_EQ(fourThree.bottom, 112);
}

TEST(FitRect, NarrowerTargetCentresVertically)
{
    const Rect wide = FitRect({0, 0, 179, 112}, {0, 0, 179, 109});
    EXPECT_EQ(wide.left, 0);
    EXPECT_EQ(wide.right, 179);
    EXPECT_EQ(wide.top, 1);
    EXPECT_EQ(wide.bottom, 110);
    // A tall target at an offset: 100 x 100 in 100 x 200 from (10, 20) sits 50 lower.
    const Rect tall = FitRect({10, 20, 109, 219}, {0, 0, 99, 99});
    EXPECT_EQ(tall.left, 10);
    EXPECT_EQ(tall.top, 70);
    EXPECT_EQ(tall.right, 109);
    EXPECT_EQ(tall.bottom, 169);
    // A tall source in the wide target: 113 x 50/200 = 28.25, up to 29; (180 - 29) / 2 = 75.
    const Rect thin = FitRect({0, 0, 179, 112}, {0, 0, 49, 199});
    EXPECT_EQ(thin.left, 75);
    EXPECT_EQ(thin.right, 75 + 29 - 1);
}

TEST_F(DwgThumb, ThreeEntriesWithSentinelShowTheBitmapEntry)
{
    const Bytes dib = quarteredDib(20, 10);
    const fs::path p = write("three.dwg", makeDwg({{1, kHeaderData}, {2, dib}, {3, kMetafile}}));
    const DwgThumbnail t = LoadDwgThumbnail(p);
    EXPECT_TRUE(t.versionAccepted);
    EXPECT_FALSE(t.unavailable);
    // The entry copied unchanged behind a 14-byte BMP file header.
    ASSERT_EQ(t.bmp.size(), 14 + dib.size());
    EXPECT_EQ(t.bmp[0], 'B');
    EXPECT_EQ(t.bmp[1], 'M');
    EXPECT_EQ(get32(t.bmp, 2), 14 + dib.size());
    EXPECT_EQ(get32(t.bmp, 10), 14u + 40u);   // total - biSizeImage
    EXPECT_TRUE(std::equal(dib.begin(), dib.end(), t.bmp.begin() + 14));

    DrawDwgThumbnail(p, m_target);
    expectQuarteredPreview();
}

// An 8-bit run-length bitmap of `width` x `height` with a two-colour palette
// (black, white): each of `rowsStored` rows in runs of white pixels, then
// end of line.
Bytes rle8Dib(int width, int height, int rowsStored)
{
    Bytes b(40 + 8, 0);
    put32(b, 0, 40);
    put32(b, 4, static_cast<std::uint32_t>(width));
    put32(b, 8, static_cast<std::uint32_t>(height));
    b[12] = 1;
    b[14] = 8;
    b[16] = 1;   // BI_RLE8
    put32(b, 32, 2);
    put32(b, 44, 0x00FFFFFF);
    for (int row = 0; row < rowsStored; ++row) {
        for (int x = 0; x < width; x += 255) {
            b.push_back(static_cast<std::uint8_t>(std::min(255, width - x)));
            b.push_back(1);
        }
        b.push_back(0);
        b.push_back(0);   // end of line
    }
    b.push_back(0);
    b.push_back(1);   // end of bitmap
    put32(b, 20, static_cast<std::uint32_t>(b.size() - 48));
    return b;
}

// A preview may declare no more than its bytes can hold and no more than any
// drawing program stores; beyond that it is damage (or a trap), never decoded.
TEST_F(DwgThumb, PreviewsLargerThanTheirBytesCanHoldGiveThePlaceholder)
{
    const std::vector<std::pair<std::string, Bytes>> refused = {
        {"8192-square.dwg", rle8Dib(8192, 8192, 0)},   // a side beyond any stored preview
        {"2000-square.dwg", rle8Dib(2000, 2000, 1)},   // 4 MB of pixels from 70 bytes
    };
    for (const auto& [name, dib] : refused) {
        SCOPED_TRACE(name);
        const fs::path p = write(name, makeDwg({{1, kHeaderData}, {2, dib}, {3, kMetafile}}));
        m_target = Picture::blank(180, 113);
        DrawDwgThumbnail(p, m_target);
        EXPECT_TRUE(isPlaceholder());
    }
    // A real run-length preview, 400 x 200 of white runs, is still shown.
    const fs::path p = write("rle.dwg", makeDwg({{1, kHeaderData}, {2, rle8Dib(400, 200, 200)}, {3, kMetafile}}));
    DrawDwgThumbnail(p, m_target);
    expectColor(90, 56, {255, 255, 255}, 4);
    EXPECT_FALSE(isPlaceholder());
}

// Selecting a FIFO or a device named *.dwg must not wait for a writer or read on without end.
TEST_F(DwgThumb, FilesThatAreNoRegularFilesAreNeverRead)
{
    const fs::path fifo = m_dir / "pipe.dwg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    for (const fs::path& p : {fifo, fs::path("/dev/zero")}) {
        SCOPED_TRACE(p.string());
        EXPECT_FALSE(LoadDwgThumbnail(p).versionAccepted);
        m_target = Picture::blank(180, 113);
        DrawDwgThumbnail(p, m_target);
        EXPECT_TRUE(isPlaceholder());
    }
}

TEST_F(DwgThumb, WrongSentinelGivesThePlaceholder)
{
    const fs::path p = write("bad.dwg", makeDwg({{1, kHeaderData}, {2, quarteredDib(20, 10)}, {3, kMetafile}},
                                                "AC1015", false));
    const DwgThumbnail t = LoadDwgThumbnail(p);
    EXPECT_TRUE(t.versionAccepted);
    EXPECT_TRUE(t.unavailable);
    EXPECT_TRUE(t.bmp.empty());
    DrawDwgThumbnail(p, m_target);
    EXPECT_TRUE(isPlaceholder());
    expectColor(90, 10, {128, 128, 128}, 0);
    expectColor(5, 60, {128, 128, 128}, 0);
    // Both diagonals, corner to corner; at x 90 the first one is at 90 x 112 / 179 = 56.3.
    for (auto [x, y] : {std::pair{0, 0}, {179, 112}, {179, 0}, {0, 112}, {90, 56}, {89, 56}})
        expectColor(x, y, {0, 0, 0}, 0);
}

TEST_F(DwgThumb, TwoEntriesDrawTheSecondWhateverItsCode)
{
    // No sentinel and a second entry marked as a metafile: still drawn.
    const fs::path p = write("two.dwg", makeDwg({{1, kHeaderData}, {3, quarteredDib(20, 10)}}, "AC1015", false));
    const DwgThumbnail t = LoadDwgThumbnail(p);
    EXPECT_TRUE(t.versionAccepted);
    EXPECT_FALSE(t.unavailable);
    EXPECT_FALSE(t.bmp.empty());
    DrawDwgThumbnail(p, m_target);
    expectQuarteredPreview();
}

TEST_F(DwgThumb, PngEntriesOfLaterReleases)
{
    // 4 x 2 fitted to 180 x 90 at y 11; the corners sample the PNG's corners.
    for (auto [name, dwg] : {std::pair<std::string, Bytes>{"full.dwg", makeDwg({{1, kHeaderData}, {6, kPng}, {3, kMetafile}}, "AC1027")},
                             {"short.dwg", makeDwg({{1, kHeaderData}, {6, kPng}}, "AC1032")}}) {
        SCOPED_TRACE(name);
        DrawDwgThumbnail(write(name, dwg), m_target);
        EXPECT_FALSE(isPlaceholder());
        expectColor(0, 11, kRed);
        expectColor(179, 11, kGreen);
        expectColor(0, 100, kBlue);
        expectColor(179, 100, kRed);
        expectColor(90, 5, {255, 255, 255}, 0);
    }
}

TEST_F(DwgThumb, NoUsableEntryGivesThePlaceholder)
{
    struct Case {
        std::string name;
        Bytes dwg;
        bool unavailable;
    };
    const std::vector<Case> cases = {
        {"none.dwg", makeDwg({}), false},
        {"nobitmap.dwg", makeDwg({{1, kHeaderData}, {3, kMetafile}, {4, kMetafile}}), false},
        {"headeronly.dwg", makeDwg({{1, kHeaderData}}), true},
        {"onewide.dwg", makeDwg({{1, kHeaderData}, {2, quarteredDib(1, 10)}}), false},
        {"onehigh.dwg", makeDwg({{1, kHeaderData}, {2, quarteredDib(10, 1)}}), false},
        {"zerowide.dwg", makeDwg({{1, kHeaderData}, {2, quarteredDib(0, 10)}}), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path p = write(c.name, c.dwg);
        const DwgThumbnail t = LoadDwgThumbnail(p);
        EXPECT_TRUE(t.versionAccepted);
        EXPECT_EQ(t.unavailable, c.unavailable);
        m_target = Picture::blank(180, 113);
        DrawDwgThumbnail(p, m_target);
        EXPECT_TRUE(isPlaceholder());
    }
}

TEST_F(DwgThumb, VersionsAndFilesThatAreNoDrawings)
{
    const std::vector<EntryData> entries = {{1, kHeaderData}, {2, quarteredDib(20, 10)}};
    for (std::string_view v : {"AC1012", "AC1013", "AC1014", "AC1015", "AC1018", "AC1021", "AC1024", "AC1027",
                               "AC1032"}) {
        const DwgThumbnail t = LoadDwgThumbnail(write(std::string(v) + ".dwg", makeDwg(entries, v)));
        EXPECT_TRUE(t.versionAccepted) << v;
        EXPECT_FALSE(t.bmp.empty()) << v;
    }
    Bytes notTerminated = makeDwg(entries);
    notTerminated[6] = '0';
    const std::vector<std::pair<std::string, Bytes>> refused = {
        {"r12.dwg", makeDwg(entries, "AC1009")},
        {"ac1015x.dwg", notTerminated},
        {"text.dwg", Bytes{'h', 'e', 'l', 'l', 'o'}},
        {"empty.dwg", Bytes{}},
    };
    for (const auto& [name, bytes] : refused) {
        SCOPED_TRACE(name);
        const fs::path p = write(name, bytes);
        const DwgThumbnail t = LoadDwgThumbnail(p);
        EXPECT_FALSE(t.versionAccepted);
        EXPECT_TRUE(t.bmp.empty());
        m_target = Picture::blank(180, 113);
        DrawDwgThumbnail(p, m_target);
        EXPECT_TRUE(isPlaceholder());
    }
    const DwgThumbnail missing = LoadDwgThumbnail(m_dir / "missing.dwg");
    EXPECT_FALSE(missing.versionAccepted);
    EXPECT_FALSE(missing.unavailable);
    DrawDwgThumbnail(m_dir / "missing.dwg", m_target);
    EXPECT_TRUE(isPlaceholder());
}

TEST_F(DwgThumb, ValidFileAfterAnUnavailableOneShowsItsOwnPreview)
{
    const std::vector<EntryData> entries = {{1, kHeaderData}, {2, quarteredDib(20, 10)}, {3, kMetafile}};
    const fs::path bad = write("bad.dwg", makeDwg(entries, "AC1015", false));
    const fs::path good = write("good.dwg", makeDwg(entries));
    EXPECT_TRUE(LoadDwgThumbnail(bad).unavailable);
    const DwgThumbnail t = LoadDwgThumbnail(good);
    EXPECT_FALSE(t.unavailable);
    EXPECT_FALSE(t.bmp.empty());
    DrawDwgThumbnail(bad, m_target);
    DrawDwgThumbnail(good, m_target);
    expectQuarteredPreview();
}

TEST_F(DwgThumb, CutAndFlippedFilesNeverCrash)
{
    const Bytes full = makeDwg({{1, kHeaderData}, {2, quarteredDib(20, 10)}, {3, kMetafile}});
    const Bytes twoPng = makeDwg({{1, kHeaderData}, {6, kPng}}, "AC1032");
    const fs::path p = m_dir / "damaged.dwg";
    for (std::size_t n = 0; n < full.size(); n += 5) {
        write("damaged.dwg", Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n)));
        const DwgThumbnail t = LoadDwgThumbnail(p);
        // Cut anywhere before the end of the bitmap entry, the preview is gone.
        if (n >= 7 && n < kBlockAt + 21 + 27 + 80 + 40 + 600) {
            EXPECT_TRUE(t.unavailable) << n;
        }
        DrawDwgThumbnail(p, m_target);
    }
    std::mt19937 random(20240601);
    for (int round = 0; round < 400; ++round) {
        Bytes b = round % 2 ? full : twoPng;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i)
            b[random() % b.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
        write("damaged.dwg", b);
        DrawDwgThumbnail(p, m_target);
    }
}

TEST_F(DwgThumb, SampleDrawings)
{
    const fs::path dir = fs::path(CORVELIN_SAMPLES_DIR) / "dwg";
    if (!fs::is_directory(dir))
        GTEST_SKIP() << "no sample drawings in " << dir;
    // Drawings whose image block holds only the header entry and no picture.
    const std::vector<std::string> withoutPicture = {"text_2018.dwg"};
    int seen = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".dwg")
            continue;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        ++seen;
        const DwgThumbnail t = LoadDwgThumbnail(entry.path());
        EXPECT_TRUE(t.versionAccepted);
        m_target = Picture::blank(180, 113);
        DrawDwgThumbnail(entry.path(), m_target);
        const bool expectPicture =
            std::find(withoutPicture.begin(), withoutPicture.end(), name) == withoutPicture.end();
        EXPECT_EQ(!isPlaceholder(), expectPicture);
        EXPECT_EQ(!t.bmp.empty(), expectPicture);
    }
    EXPECT_GT(seen, 0);
    // Sizes as the files' information headers and PNG headers declare them.
    for (auto [name, w, h] : {std::tuple{"example_2000.dwg", 184, 126}, {"entities-2d.dwg", 180, 92},
                              {"example_2007.dwg", 672, 448}, {"example_2013.dwg", 670, 448},
                              {"text_2013.dwg", 256, 107}}) {
        if (!fs::exists(dir / name))
            continue;
        const Picture picture = decodeBmp(LoadDwgThumbnail(dir / name).bmp);
        EXPECT_EQ(picture.width, w) << name;
        EXPECT_EQ(picture.height, h) << name;
    }
}

// The bytes of a drawing's first preview entry of `code` (2 bitmap, 6 PNG),
// found as the loader finds them: the image block's address at 13, its
// count at 20, the entries after it. Empty without one (or without the file).
Bytes entryOf(const fs::path& path, std::uint8_t code)
{
    std::ifstream in(path, std::ios::binary);
    const Bytes drawing((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (drawing.size() < 17)
        return {};
    const std::size_t block = get32(drawing, 13);
    for (std::size_t i = 0; i < drawing.at(block + 20); ++i) {
        const std::size_t entry = block + 21 + 9 * i;
        const std::uint32_t start = get32(drawing, entry + 1), size = get32(drawing, entry + 5);
        if (drawing.at(entry) == code && std::size_t{start} + size <= drawing.size())
            return Bytes(drawing.begin() + start, drawing.begin() + start + size);
    }
    return {};
}

// AutoCAD's PNG previews as the bitmaps of a 2004 save: 8 bits per pixel
// over the PNG's own 256 colours, which both our decoder and the loader of
// a drawing that stores the bitmap read back to the PNG's pixels.
TEST_F(DwgThumb, PngPreviewsOfTheSamplesBecomeBitmapsOfTheSamePixels)
{
    const fs::path dir = fs::path(CORVELIN_SAMPLES_DIR) / "dwg";
    int seen = 0;
    for (const char* name : {"example_2013.dwg", "example_2018.dwg"}) {
        SCOPED_TRACE(name);
        if (!fs::exists(dir / name))
            continue;
        const Bytes png = entryOf(dir / name, 6);
        ASSERT_TRUE(isPng(png));
        const Picture expected = decodePng(png);

        const Bytes dib = dibFromPng(png);
        EXPECT_EQ(get32(dib, 0), 40u);
        EXPECT_EQ(get32(dib, 8), static_cast<std::uint32_t>(expected.height));   // positive: bottom-up
        EXPECT_EQ(dib[14], 8);
        EXPECT_EQ(get32(dib, 32), 256u);
        const std::size_t stride = (static_cast<std::size_t>(expected.width) + 3) / 4 * 4;
        EXPECT_EQ(dib.size(), 40 + 1024 + stride * static_cast<std::size_t>(expected.height));
        // AutoCAD's background, (33, 40, 48), is colour 0.
        EXPECT_EQ(Bytes(dib.begin() + 40, dib.begin() + 43), (Bytes{48, 40, 33}));
        const Picture fromDib = decodeDib(dib);
        EXPECT_EQ(fromDib.width, expected.width);
        EXPECT_EQ(fromDib.pixels, expected.pixels);

        const DwgThumbnail t = LoadDwgThumbnail(write("converted.dwg", makeDwg({{1, kHeaderData}, {2, dib}}, "AC1018")));
        EXPECT_FALSE(t.unavailable);
        EXPECT_EQ(decodeBmp(t.bmp).pixels, expected.pixels);

        // At most 256 pixels a side: every k-th pixel of every k-th row.
        const Picture small = decodeDib(dibFromPng(png, 256));
        const int k = (std::max(expected.width, expected.height) + 255) / 256;
        ASSERT_EQ(small.width, (expected.width + k - 1) / k);
        ASSERT_EQ(small.height, (expected.height + k - 1) / k);
        EXPECT_LE(std::max(small.width, small.height), 256);
        for (int y = 0; y < small.height; ++y)
            for (int x = 0; x < small.width; ++x)
                ASSERT_TRUE(std::equal(small.row(y) + x * 3, small.row(y) + x * 3 + 3, expected.row(y * k) + x * k * 3))
                    << x << "," << y;
        ++seen;
    }
    if (seen == 0)
        GTEST_SKIP() << "example_2013.dwg and example_2018.dwg are not in " << dir;
}

// The same drawings as AutoCAD 2013 saved them (a PNG preview) and as it
// saved them as 2004 (a bitmap): our bitmap of the PNG is AutoCAD's, byte
// for byte but for the colour table's unused fourth bytes, which AutoCAD
// leaves as they happen to be.
TEST_F(DwgThumb, BitmapsOfAutoCadsPngPreviewsAreAutoCadsBitmaps)
{
    const fs::path dir = fs::path(CORVELIN_SAMPLES_DIR) / "dwg";
    std::vector<std::pair<fs::path, fs::path>> pairs{{dir / "text_2013.dwg", dir / "text_2004.dwg"}};
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir / "series" / "2013", error))
        if (entry.path().extension() == ".dwg")
            pairs.emplace_back(entry.path(), dir / "series" / "2004" / entry.path().filename());
    int compared = 0;
    for (const auto& [with2013, with2004] : pairs) {
        SCOPED_TRACE(with2013.string());
        const Bytes png = entryOf(with2013, 6);
        Bytes autocads = entryOf(with2004, 2);
        if (png.empty() || autocads.empty())
            continue;
        Bytes ours = dibFromPng(png);
        ASSERT_EQ(ours.size(), autocads.size());
        for (std::size_t i = 0; i < 256; ++i)
            ours[40 + 4 * i + 3] = autocads[40 + 4 * i + 3];
        EXPECT_TRUE(ours == autocads);
        ++compared;
    }
    if (compared == 0)
        GTEST_SKIP() << "no drawings saved by AutoCAD as 2013 and as 2004 in " << dir;
}

}  // namespace
}  // namespace preview
