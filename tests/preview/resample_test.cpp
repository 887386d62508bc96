#include "preview/resample.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace {

using preview::Contributor;
using preview::Picture;
using preview::ResampleBitmap;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

// A picture from rows of B,G,R bytes.
Picture makePicture(int width, int height, std::vector<std::uint8_t> bytes)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.pixels = std::move(bytes);
    return p;
}

Picture resampled(const Picture& source, int width, int height, std::string_view filterName)
{
    const preview::FilterEntry* entry = preview::findFilter(filterName);
    Picture destination;
    destination.width = width;
    destination.height = height;
    ResampleBitmap(source, destination, entry->function, entry->support);
    return destination;
}

const float kPi2 = std::numbers::pi_v<float> * std::numbers::pi_v<float>;

TEST(FilterTable, HoldsTheSevenFiltersInOrder)
{
    const char* names[] = {"Box", "Triangle", "Hermite", "Bell", "B-Spline", "Lanczos3", "Mitchell"};
    const float supports[] = {0.5f, 1.0f, 1.0f, 1.5f, 2.0f, 3.0f, 2.0f};
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(preview::FilterTable[i].name, names[i]);
        EXPECT_EQ(preview::FilterTable[i].support, supports[i]);
        EXPECT_EQ(preview::findFilter(names[i]), &preview::FilterTable[i]);
    }
    EXPECT_EQ(preview::findFilter("lanczos3"), nullptr);
}

TEST(Filters, BoxIsOneOnTheHalfOpenInterval)
{
    EXPECT_EQ(preview::boxFilter(0.0f), 1.0f);
    EXPECT_EQ(preview::boxFilter(0.5f), 1.0f);
    EXPECT_EQ(preview::boxFilter(-0.5f), 0.0f);
    EXPECT_EQ(preview::boxFilter(-0.49f), 1.0f);
    EXPECT_EQ(preview::boxFilter(0.51f), 0.0f);
}

TEST(Filters, TriangleAndHermite)
{
    EXPECT_EQ(preview::triangleFilter(0.0f), 1.0f);
    EXPECT_EQ(preview::triangleFilter(-0.25f), 0.75f);
    EXPECT_EQ(preview::triangleFilter(1.0f), 0.0f);
    EXPECT_EQ(preview::triangleFilter(1.5f), 0.0f);
    EXPECT_EQ(preview::hermiteFilter(0.0f), 1.0f);
    EXPECT_EQ(preview::hermiteFilter(0.5f), 0.5f);       // (1 - 3) / 4 + 1
    EXPECT_EQ(preview::hermiteFilter(-0.25f), 0.84375f); // (0.5 - 3) / 16 + 1
    EXPECT_EQ(preview::hermiteFilter(1.0f), 0.0f);
}

TEST(Filters, Bell)
{
    EXPECT_EQ(preview::bellFilter(0.0f), 0.75f);
    EXPECT_EQ(preview::bellFilter(0.25f), 0.6875f);
    EXPECT_EQ(preview::bellFilter(0.5f), 0.5f);   // second piece: 0.5 x 1^2
    EXPECT_EQ(preview::bellFilter(-1.0f), 0.125f);
    EXPECT_EQ(preview::bellFilter(1.5f), 0.0f);
}

TEST(Filters, BSpline)
{
    EXPECT_FLOAT_EQ(preview::bSplineFilter(0.0f), 2.0f / 3.0f);
    EXPECT_FLOAT_EQ(preview::bSplineFilter(0.5f), 23.0f / 48.0f);
    EXPECT_FLOAT_EQ(preview::bSplineFilter(1.0f), 1.0f / 6.0f);
    EXPECT_FLOAT_EQ(preview::bSplineFilter(-1.5f), 1.0f / 48.0f);
    EXPECT_EQ(preview::bSplineFilter(2.0f), 0.0f);
}

TEST(Filters, Lanczos3)
{
    EXPECT_EQ(preview::lanczos3Filter(0.0f), 1.0f);
    EXPECT_NEAR(preview::lanczos3Filter(1.0f), 0.0f, 1e-6f);
    EXPECT_NEAR(preview::lanczos3Filter(-2.0f), 0.0f, 1e-6f);
    EXPECT_NEAR(preview::lanczos3Filter(0.5f), 6.0f / kPi2, 1e-6f);     // (2/pi)(3/pi)
    EXPECT_NEAR(preview::lanczos3Filter(2.5f), 0.24f / kPi2, 1e-6f);    // (0.4/pi)(0.6/pi)
    EXPECT_NEAR(preview::lanczos3Filter(-1.5f), -(4.0f / 3.0f) / kPi2, 1e-6f);
    EXPECT_EQ(preview::lanczos3Filter(3.0f), 0.0f);
}

TEST(Filters, MitchellUsesExactThirds)
{
    // 16/3 or 32/3 rounded to three decimals would be off by about 6e-5; the
    // float cancellation in the outer piece costs about 1e-7.
    EXPECT_FLOAT_EQ(preview::mitchellFilter(0.0f), 8.0f / 9.0f);
    EXPECT_NEAR(preview::mitchellFilter(1.0f), 1.0f / 18.0f, 1e-6f);
    EXPECT_NEAR(preview::mitchellFilter(0.5f), 77.0f / 144.0f, 1e-6f);
    EXPECT_NEAR(preview::mitchellFilter(-1.5f), -5.0f / 144.0f, 1e-6f);
    EXPECT_EQ(preview::mitchellFilter(2.0f), 0.0f);
}

TEST(MirrorIndex, MirrorsAboutPixelZeroAndTheHighBorder)
{
    EXPECT_EQ(preview::mirrorIndex(-1, 5), 1);
    EXPECT_EQ(preview::mirrorIndex(-4, 5), 4);
    EXPECT_EQ(preview::mirrorIndex(5, 5), 4);
    EXPECT_EQ(preview::mirrorIndex(8, 5), 1);
    EXPECT_EQ(preview::mirrorIndex(3, 5), 3);
    // Still outside after one mirroring: mirrored again.
    EXPECT_EQ(preview::mirrorIndex(-3, 2), 0);   // -3 -> 3 -> 0
    EXPECT_EQ(preview::mirrorIndex(4, 2), 1);    // 4 -> -1 -> 1
    EXPECT_EQ(preview::mirrorIndex(-5, 2), 1);   // -5 -> 5 -> -2 -> 2 -> 1
    EXPECT_EQ(preview::mirrorIndex(-3, 1), 0);
    EXPECT_EQ(preview::mirrorIndex(7, 1), 0);
}

TEST(ContributorLists, ShrinkingWidensTheFilterAndKeepsUnmirroredOrder)
{
    // 4 -> 2 with Triangle: scale 1/3, column 1 centred on source pixel 3,
    // weights triangle((3 - j) / 3) / 3 for j = 0 .. 6.
    const auto lists = preview::contributorLists(4, 2, preview::triangleFilter, 1.0f);
    ASSERT_EQ(lists.size(), 2u);
    const std::vector<std::pair<int, float>> expected{
        {1, 1.0f / 9}, {2, 2.0f / 9}, {3, 3.0f / 9}, {3, 2.0f / 9}, {2, 1.0f / 9}};
    ASSERT_EQ(lists[1].size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(lists[1][k].index, expected[k].first) << k;
        EXPECT_NEAR(lists[1][k].weight, expected[k].second, 1e-6f) << k;
    }
    // Column 0 centred on pixel 0: j = -2 .. 2, -1 and -2 mirrored to 1 and 2.
    ASSERT_EQ(lists[0].size(), 5u);
    EXPECT_EQ(lists[0][0].index, 2);
    EXPECT_EQ(lists[0][1].index, 1);
    EXPECT_EQ(lists[0][2].index, 0);
    EXPECT_NEAR(lists[0][2].weight, 1.0f / 3, 1e-6f);
}

TEST(ContributorLists, EqualSizeBoxHoldsOnePixelEach)
{
    const auto lists = preview::contributorLists(3, 3, preview::boxFilter, 0.5f);
    ASSERT_EQ(lists.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(lists[static_cast<std::size_t>(i)].size(), 1u);
        EXPECT_EQ(lists[static_cast<std::size_t>(i)][0].index, i);
        EXPECT_EQ(lists[static_cast<std::size_t>(i)][0].weight, 1.0f);
    }
}

TEST(ResampleBitmap, EmptySourceIsRefusedAndChangesNothing)
{
    const Picture before = makePicture(2, 1, {1, 2, 3, 4, 5, 6});
    for (const auto& [w, h] : {std::pair{0, 3}, std::pair{3, 0}, std::pair{0, 0}}) {
        Picture source;
        source.width = w;
        source.height = h;
        Picture destination = before;
        EXPECT_THAT([&] { ResampleBitmap(source, destination, preview::boxFilter, 0.5f); },
                    ThrowsMessage<std::runtime_error>(HasSubstr("Source bitmap too small")));
        EXPECT_EQ(destination.width, 2);
        EXPECT_EQ(destination.height, 1);
        EXPECT_EQ(destination.pixels, before.pixels);
    }
}

TEST(ResampleBitmap, SameSizeBoxCopiesExactly)
{
    const Picture source = makePicture(3, 2, {0, 1, 2, 50, 100, 150, 255, 254, 253,
                                              7, 77, 177, 128, 129, 130, 9, 8, 255});
    EXPECT_EQ(resampled(source, 3, 2, "Box").pixels, source.pixels);
}

TEST(ResampleBitmap, TriangleDoublingAveragesWithHalvesToEven)
{
    // Columns 0 and 2 take source columns 0 and 1; column 1 is their mean.
    const Picture source = makePicture(2, 2, {10, 0, 11, 21, 255, 22,
                                              1, 2, 200, 2, 3, 100});
    const Picture out = resampled(source, 3, 2, "Triangle");
    const std::vector<std::uint8_t> expected{
        10, 0, 11, 16, 128, 16, 21, 255, 22,    // 15.5 -> 16, 127.5 -> 128, 16.5 -> 16
        1, 2, 200, 2, 2, 150, 2, 3, 100};       // 1.5 -> 2, 2.5 -> 2
    EXPECT_EQ(out.pixels, expected);
}

// A filter that weighs the two source pixels around the middle of a 2 -> 3
// enlargement (distances +0.5 and -0.5) with 1 and g_secondWeight, and is the
// identity for the other columns and for the one-row vertical pass.
float g_secondWeight = 0.0f;
float chosenWeights(float x)
{
    if (x == 0.0f || x == 0.5f)
        return 1.0f;
    if (x == -0.5f)
        return g_secondWeight;
    return 0.0f;
}

std::vector<std::uint8_t> middleColumn(float secondWeight, std::vector<std::uint8_t> first,
                                       std::vector<std::uint8_t> second)
{
    g_secondWeight = secondWeight;
    Picture source = makePicture(2, 1, first);
    source.pixels.insert(source.pixels.end(), second.begin(), second.end());
    Picture destination;
    destination.width = 3;
    destination.height = 1;
    ResampleBitmap(source, destination, chosenWeights, 1.0f);
    EXPECT_EQ(std::vector(destination.pixels.begin(), destination.pixels.begin() + 3), first);
    EXPECT_EQ(std::vector(destination.pixels.begin() + 6, destination.pixels.end()), second);
    return {destination.pixels.begin() + 3, destination.pixels.begin() + 6};
}

TEST(ResampleBitmap, SumsAreClampedThenRoundedHalfToEven)
{
    // 255 + 0.2 x 2 = 255.4, 255 + 0.2 x 3 = 255.6, 255 + 0.2 x 255 = 306.
    EXPECT_EQ(middleColumn(0.2f, {255, 255, 255}, {2, 3, 255}),
              (std::vector<std::uint8_t>{255, 255, 255}));
    // 254.5, 253.5, 0.5.
    EXPECT_EQ(middleColumn(0.5f, {254, 253, 0}, {1, 1, 1}),
              (std::vector<std::uint8_t>{254, 254, 0}));
    // -3, -1, 255 - 3.
    EXPECT_EQ(middleColumn(-1.0f, {0, 2, 255}, {3, 3, 3}),
              (std::vector<std::uint8_t>{0, 0, 252}));
}

TEST(ResampleBitmap, OneRowAndOneColumnPictures)
{
    // 3 -> 5 with Triangle: scale 2, so columns 1 and 3 are means.
    const Picture row = makePicture(3, 1, {10, 0, 0, 20, 0, 0, 40, 0, 0});
    EXPECT_EQ(resampled(row, 5, 1, "Triangle").pixels,
              (std::vector<std::uint8_t>{10, 0, 0, 15, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0}));
    const Picture column = makePicture(1, 3, {10, 0, 0, 20, 0, 0, 40, 0, 0});
    EXPECT_EQ(resampled(column, 1, 5, "Triangle").pixels,
              (std::vector<std::uint8_t>{10, 0, 0, 15, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0}));
}

TEST(ResampleBitmap, OnePixelSourceIsEnlarged)
{
    const Picture source = makePicture(1, 1, {10, 100, 250});
    const Picture triangle = resampled(source, 4, 3, "Triangle");
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(std::vector(triangle.row(y) + 3 * x, triangle.row(y) + 3 * x + 3),
                      (std::vector<std::uint8_t>{10, 100, 250})) << x << "," << y;

    // Lanczos3 does not sum to 1 between pixels: at distance 0.5 the weights
    // are 2 (L(0.5) + L(1.5) + L(2.5)) = 2 x 4.90667 / pi^2 = 0.99430.
    const Picture lanczos = resampled(source, 2, 1, "Lanczos3");
    EXPECT_EQ(lanczos.pixels, (std::vector<std::uint8_t>{10, 100, 250, 10, 99, 249}));
}

TEST(ResampleBitmap, SourceSmallerThanTheLanczosReachStaysInRange)
{
    // Indexes up to 3 pixels out mirror past the far edge of a 2-pixel source.
    // At equal size only the weight at distance 0 is not negligible.
    const Picture source = makePicture(2, 2, {0, 255, 30, 40, 50, 60, 70, 80, 90, 255, 0, 120});
    EXPECT_EQ(resampled(source, 2, 2, "Lanczos3").pixels, source.pixels);
    const Picture shrunk = resampled(source, 1, 1, "Lanczos3");
    EXPECT_EQ(shrunk.pixels.size(), 3u);
}

TEST(ResampleBitmap, EveryFilterOnTinyPicturesStaysInsideTheSource)
{
    // Run under the address sanitizer, this proves every mirrored index in range.
    for (const preview::FilterEntry& entry : preview::FilterTable)
        for (int sw = 1; sw <= 3; ++sw)
            for (int sh = 1; sh <= 3; ++sh)
                for (int dw = 1; dw <= 5; ++dw)
                    for (int dh = 1; dh <= 5; ++dh) {
                        Picture source = Picture::blank(sw, sh);
                        Picture destination;
                        destination.width = dw;
                        destination.height = dh;
                        ResampleBitmap(source, destination, entry.function, entry.support);
                        EXPECT_EQ(destination.pixels.size(), static_cast<std::size_t>(dw * dh * 3));
                    }
}

TEST(ResampleBitmap, OnePixelDestinationFiltersTheWholeSource)
{
    // 3 -> 1 with Triangle: scale 1/3 centred on pixel 1; j = -1 .. 3 weigh
    // 1/9, 2/9, 3/9, 2/9, 1/9 and mirror to 1, 0, 1, 2, 2: shares 2/9, 4/9, 3/9.
    const Picture row = makePicture(3, 1, {90, 0, 0, 0, 90, 0, 0, 0, 90});
    EXPECT_EQ(resampled(row, 1, 1, "Triangle").pixels, (std::vector<std::uint8_t>{20, 40, 30}));

    // 4 x 4 -> 1 x 1 with Box: the mean of each row, then of the row means.
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            bytes.insert(bytes.end(), {static_cast<std::uint8_t>(10 * y + 4 * x), 200, 0});
    EXPECT_EQ(resampled(makePicture(4, 4, bytes), 1, 1, "Box").pixels,
              (std::vector<std::uint8_t>{21, 200, 0}));
}

TEST(ResampleBitmap, DestinationSizeIsTheCallers)
{
    const Picture source = makePicture(2, 1, {1, 2, 3, 4, 5, 6});
    Picture destination = makePicture(1, 1, {9, 9, 9});
    destination.width = 0;
    ResampleBitmap(source, destination, preview::boxFilter, 0.5f);
    EXPECT_TRUE(destination.pixels.empty());

    destination.width = -1;
    EXPECT_THROW(ResampleBitmap(source, destination, preview::boxFilter, 0.5f), std::invalid_argument);
    Picture broken = source;
    broken.pixels.pop_back();
    destination.width = 2;
    EXPECT_THROW(ResampleBitmap(broken, destination, preview::boxFilter, 0.5f), std::invalid_argument);
}

}  // namespace
