#include "support/Hashes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using support::EHashError;
using support::EHashFindError;
using support::EHashInvalidKeyError;
using support::EHashIterateError;
using support::HashKey;
using support::TIntegerHash;
using support::TObjectHash;
using ::testing::ElementsAre;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

const char* const EmptyKey = "Key cannot be an empty string";
const char* const NextModified = "Cannot get Next as the hash has been modified since Restart was called";
const char* const CurrentModified = "Cannot find CurrentKey as the hash has been modified since Restart was called";
const char* const NoNextYet = "Cannot find CurrentKey as Next has not yet been called after Restart";

static_assert(std::is_base_of_v<std::runtime_error, EHashError>);
static_assert(std::is_base_of_v<EHashError, EHashInvalidKeyError>);
static_assert(std::is_base_of_v<EHashError, EHashFindError>);
static_assert(std::is_base_of_v<EHashError, EHashIterateError>);
static_assert(std::is_abstract_v<support::THash>);

std::vector<std::string> keysOf(support::THash& hash) {
    std::vector<std::string> keys;
    hash.Restart();
    while (hash.Next()) keys.push_back(hash.CurrentKey());
    return keys;
}

TEST(Hashes, HashValuesWorkedOutByHand) {
    EXPECT_EQ(HashKey("abc"), 0x456767C3u);
    EXPECT_EQ(HashKey("abc") & 127u, 67u);
    // One letter: (0x12345670 << 4) + c = 0x234567xx, then OR 0x20 from the top nibble.
    EXPECT_EQ(HashKey("A"), 0x23456761u);
    EXPECT_EQ(HashKey("a"), 0x23456761u);
    // Bytes above 0x7F add as unsigned: 0x23456700 + 0xE0, OR 0x20.
    EXPECT_EQ(HashKey("\xE0"), 0x234567E0u);
    // 0x234567F9 -> 0x34567F90 + 0xEC = 0x3456807C (a carry), OR 0x30 changes nothing.
    EXPECT_EQ(HashKey("\xF9\xEC"), 0x3456807Cu);
    // "Standard", step by step (shift, add the byte, OR in the top nibble >> 24):
    // S 0x23456753|20=0x23456773  t 0x345677A4|30=0x345677B4  a 0x45677BA1|40=0x45677BE1
    // n 0x5677BE7E|50=0x5677BE7E  d 0x677BE844|60=0x677BE864  a 0x77BE86A1|70=0x77BE86F1
    // r 0x7BE86F82|70=0x7BE86FF2  d 0xBE86FF84|B0=0xBE86FFB4: top nibble kept, not cleared.
    EXPECT_EQ(HashKey("Standard"), 0xBE86FFB4u);
    EXPECT_THAT([] { HashKey(""); }, ThrowsMessage<EHashInvalidKeyError>(StrEq(EmptyKey)));
}

TEST(TIntegerHash, StoresReplacesAndComparesKeysByteForByte) {
    TIntegerHash hash;
    EXPECT_FALSE(hash.Exists("A"));
    hash.SetValue("A", 1);
    hash.SetValue("a", 2);                      // same hash value, another key
    // A NUL byte does not end a key: both land in bucket 98 (0x45676362, 0x456763E2).
    const std::string withNulB("a\0b", 3), withNulBet("a\0\xE2", 3);
    hash.SetValue(withNulB, 3);
    hash.SetValue(withNulBet, 4);
    hash.SetValue("A", INT32_MIN);
    EXPECT_EQ(hash.GetValue("A"), INT32_MIN);
    EXPECT_EQ(hash.GetValue("a"), 2);
    EXPECT_EQ(hash.GetValue(withNulB), 3);
    EXPECT_EQ(hash.GetValue(withNulBet), 4);
    EXPECT_FALSE(hash.Exists("ab"));
    EXPECT_EQ(keysOf(hash).size(), 4u);
}

TEST(TIntegerHash, BadKeysRaiseAndLeaveTheTableAndIterationAlone) {
    TIntegerHash hash;
    hash.SetValue("abc", 1);
    hash.SetValue("Standard", 2);
    hash.Restart();
    ASSERT_TRUE(hash.Next());
    EXPECT_THAT([&] { hash.Exists(""); }, ThrowsMessage<EHashInvalidKeyError>(StrEq(EmptyKey)));
    EXPECT_THAT([&] { hash.GetValue(""); }, ThrowsMessage<EHashInvalidKeyError>(StrEq(EmptyKey)));
    EXPECT_THAT([&] { hash.SetValue("", 9); }, ThrowsMessage<EHashInvalidKeyError>(StrEq(EmptyKey)));
    EXPECT_THAT([&] { hash.GetValue("Missing"); },
                ThrowsMessage<EHashFindError>(StrEq("Key \"Missing\" not found")));
    EXPECT_THAT([&] { hash.GetValue("\xE0\xE1"); },
                ThrowsMessage<EHashError>(StrEq("Key \"\xE0\xE1\" not found")));
    EXPECT_EQ(hash.CurrentKey(), "Standard");  // bucket 52 comes before bucket 67
    ASSERT_TRUE(hash.Next());
    EXPECT_EQ(hash.CurrentKey(), "abc");
    EXPECT_FALSE(hash.Next());
    EXPECT_EQ(hash.GetValue("abc"), 1);
}

TEST(TIntegerHash, IterationNeedsRestartAndNext) {
    TIntegerHash hash;
    EXPECT_THAT([&] { hash.Next(); }, ThrowsMessage<EHashIterateError>(StrEq(NextModified)));
    EXPECT_THAT([&] { hash.CurrentKey(); }, ThrowsMessage<EHashIterateError>(StrEq(CurrentModified)));
    hash.Restart();
    EXPECT_THAT([&] { hash.CurrentKey(); }, ThrowsMessage<EHashIterateError>(StrEq(NoNextYet)));
    EXPECT_FALSE(hash.Next());  // empty table
    EXPECT_THAT([&] { hash.CurrentKey(); }, ThrowsMessage<EHashIterateError>(StrEq(NoNextYet)));

    hash.SetValue("abc", 1);
    hash.Restart();
    ASSERT_TRUE(hash.Next());
    EXPECT_FALSE(hash.Next());
    EXPECT_FALSE(hash.Next());
    EXPECT_EQ(hash.CurrentKey(), "abc");  // the last key reached stays current
    hash.Restart();                       // an earlier iteration does not count
    EXPECT_THAT([&] { hash.CurrentKey(); }, ThrowsMessage<EHashIterateError>(StrEq(NoNextYet)));
}

TEST(TIntegerHash, IteratesBucketsInOrderThenKeysInInsertionOrder) {
    TIntegerHash hash;
    // Buckets: a, \xE1 and A 97; Standard 52; \xE0 96; abc 67.
    for (const char* key : {"a", "Standard", "\xE0", "\xE1", "abc", "A"}) hash.SetValue(key, 0);
    EXPECT_THAT(keysOf(hash), ElementsAre("Standard", "abc", "\xE0", "a", "\xE1", "A"));

    std::vector<std::string> visited;
    const TIntegerHash& constHash = hash;
    constHash.forEachKey([&](std::string_view key) { visited.emplace_back(key); });
    EXPECT_EQ(visited, keysOf(hash));
}

TEST(TIntegerHash, ManyKeysStayFindableInBucketOrder) {
    TIntegerHash hash;
    for (int i = 0; i < 2000; ++i) hash.SetValue("key" + std::to_string(i), i);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(hash.GetValue("key" + std::to_string(i)), i);
    const auto keys = keysOf(hash);
    ASSERT_EQ(keys.size(), 2000u);
    for (std::size_t i = 1; i < keys.size(); ++i)
        ASSERT_LE(HashKey(keys[i - 1]) & 127u, HashKey(keys[i]) & 127u) << keys[i];
}

TEST(TIntegerHash, ChangingAValueKeepsTheIterationAddingAKeyEndsIt) {
    TIntegerHash hash;
    for (const char* key : {"a", "A", "abc"}) hash.SetValue(key, 0);
    hash.Restart();
    ASSERT_TRUE(hash.Next());  // abc
    hash.SetValue("abc", 5);
    hash.SetValue("A", 6);
    std::vector<std::string> rest;
    while (hash.Next()) rest.push_back(hash.CurrentKey());
    EXPECT_THAT(rest, ElementsAre("a", "A"));
    EXPECT_EQ(hash.GetValue("A"), 6);

    hash.Restart();
    ASSERT_TRUE(hash.Next());
    hash.SetValue("new", 1);
    EXPECT_THAT([&] { hash.Next(); }, ThrowsMessage<EHashIterateError>(StrEq(NextModified)));
    EXPECT_THAT([&] { hash.Next(); }, ThrowsMessage<EHashIterateError>(StrEq(NextModified)));
    EXPECT_THAT([&] { hash.CurrentKey(); }, ThrowsMessage<EHashIterateError>(StrEq(CurrentModified)));
    hash.Restart();
    hash.SetValue("newer", 1);  // also before the first Next
    EXPECT_THAT([&] { hash.Next(); }, ThrowsMessage<EHashIterateError>(StrEq(NextModified)));
    EXPECT_EQ(keysOf(hash).size(), 5u);
}

struct Tracked {
    Tracked(int ident, int& destroyedCount) : id(ident), destroyed(&destroyedCount) {}
    Tracked(const Tracked&) = delete;
    Tracked& operator=(const Tracked&) = delete;
    ~Tracked() { ++*destroyed; }
    int id;
    int* destroyed;
};

static_assert(!std::is_copy_constructible_v<TObjectHash<Tracked>>);
static_assert(std::is_nothrow_move_constructible_v<TObjectHash<Tracked>>);
static_assert(std::is_nothrow_move_assignable_v<TObjectHash<Tracked>>);

TEST(TObjectHash, OwnsItsObjects) {
    int destroyed = 0;
    {
        TObjectHash<Tracked> hash;
        auto first = std::make_unique<Tracked>(1, destroyed);
        const Tracked* stored = first.get();
        hash.SetValue("Standard", std::move(first));
        EXPECT_EQ(&hash.GetValue("Standard"), stored);
        hash.SetValue("abc", std::make_unique<Tracked>(2, destroyed));
        hash.SetValue("Standard", std::make_unique<Tracked>(3, destroyed));
        EXPECT_EQ(destroyed, 1);  // the replaced object, no other
        EXPECT_EQ(std::as_const(hash).GetValue("Standard").id, 3);

        TObjectHash<Tracked> moved(std::move(hash));
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(moved.GetValue("abc").id, 2);
        EXPECT_THAT(keysOf(moved), ElementsAre("Standard", "abc"));
    }
    EXPECT_EQ(destroyed, 3);  // each object exactly once
}

TEST(TObjectHash, ErrorsAndIterationLeaveTheObjectsAlone) {
    int destroyed = 0;
    TObjectHash<Tracked> hash;
    hash.SetValue("a", std::make_unique<Tracked>(1, destroyed));
    hash.Restart();
    EXPECT_THAT([&] { hash.SetValue("", std::make_unique<Tracked>(2, destroyed)); },
                ThrowsMessage<EHashInvalidKeyError>(StrEq(EmptyKey)));
    EXPECT_THAT([&] { hash.GetValue("b"); }, ThrowsMessage<EHashFindError>(StrEq("Key \"b\" not found")));
    EXPECT_EQ(destroyed, 1);  // only the rejected argument
    hash.SetValue("a", std::make_unique<Tracked>(3, destroyed));
    ASSERT_TRUE(hash.Next());  // replacing an object keeps the iteration valid
    EXPECT_EQ(hash.CurrentKey(), "a");
    EXPECT_EQ(hash.GetValue("a").id, 3);
    hash.SetValue("A", std::make_unique<Tracked>(4, destroyed));
    EXPECT_THAT([&] { hash.Next(); }, ThrowsMessage<EHashIterateError>(StrEq(NextModified)));
    EXPECT_EQ(destroyed, 2);
}

}  // namespace
