#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "support/little_endian.h"

TEST(LittleEndian, LowByteFirstInEveryWidth) {
    const std::array<std::uint8_t, 9> bytes{0xFF, 0x01, 0x02, 0x03, 0x84, 0x05, 0x06, 0x07, 0x88};
    EXPECT_EQ(support::loadLE16(bytes, 1), 0x0201);
    EXPECT_EQ(support::loadLE32(bytes, 1), 0x84030201u);
    EXPECT_EQ(support::loadLE64(bytes, 1), 0x8807060584030201ull);

    std::array<std::uint8_t, 10> out{};
    support::storeLE16(out, 0, 0xA1B2);
    support::storeLE32(out, 2, 0x0A0B0C0D);
    EXPECT_EQ(out, (std::array<std::uint8_t, 10>{0xB2, 0xA1, 0x0D, 0x0C, 0x0B, 0x0A, 0, 0, 0, 0}));
    support::storeLE64(out, 2, 0x1122334455667788ull);
    EXPECT_EQ(out, (std::array<std::uint8_t, 10>{0xB2, 0xA1, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));

    std::vector<std::uint8_t> appended;
    support::appendLE16(appended, 0x0102);
    support::appendLE32(appended, 0x03040506);
    support::appendLE64(appended, 0x0708090A0B0C0D0Eull);
    EXPECT_EQ(appended, (std::vector<std::uint8_t>{0x02, 0x01, 0x06, 0x05, 0x04, 0x03, 0x0E, 0x0D, 0x0C, 0x0B,
                                                    0x0A, 0x09, 0x08, 0x07}));
}
