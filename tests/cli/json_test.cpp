// The JSON writer of the tool's reports: layout of both forms, nesting,
// escaping and numbers, against documents written out by hand.

#include "cli/json.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>

namespace {

using cli::JsonWriter;

// One document with every kind of value, nested two levels deep.
void writeSample(JsonWriter& w) {
    w.beginObject();
    w.member("name", "plan");
    w.member("count", 3);
    w.key("list").beginArray().value(true).null().value(2.5).endArray();
    w.key("empty").beginObject().endObject();
    w.key("none").beginArray().endArray();
    w.key("inner").beginObject().member("flag", false).key("deep").beginArray().beginObject().member("x", -1);
    w.endObject().endArray().endObject();
    w.endObject();
}

TEST(JsonWriter, PrettyFormIndentsTwoSpacesPerLevelAndEndsWithANewline) {
    std::ostringstream out;
    JsonWriter w(out);
    writeSample(w);
    EXPECT_EQ(out.str(),
              "{\n"
              "  \"name\": \"plan\",\n"
              "  \"count\": 3,\n"
              "  \"list\": [\n"
              "    true,\n"
              "    null,\n"
              "    2.5\n"
              "  ],\n"
              "  \"empty\": {},\n"
              "  \"none\": [],\n"
              "  \"inner\": {\n"
              "    \"flag\": false,\n"
              "    \"deep\": [\n"
              "      {\n"
              "        \"x\": -1\n"
              "      }\n"
              "    ]\n"
              "  }\n"
              "}\n");
}

TEST(JsonWriter, CompactFormHasNoBlanksAtAll) {
    std::ostringstream out;
    JsonWriter w(out, false);
    writeSample(w);
    EXPECT_EQ(out.str(),
              "{\"name\":\"plan\",\"count\":3,\"list\":[true,null,2.5],\"empty\":{},\"none\":[],"
              "\"inner\":{\"flag\":false,\"deep\":[{\"x\":-1}]}}");
}

TEST(JsonWriter, TopLevelArrayAndScalars) {
    std::ostringstream out;
    JsonWriter(out, false).beginArray().value("a").beginArray().endArray().value(0).endArray();
    EXPECT_EQ(out.str(), "[\"a\",[],0]");
}

TEST(JsonWriter, StringsEscapeQuotesBackslashesAndControlCharacters) {
    std::ostringstream out;
    JsonWriter w(out, false);
    w.beginArray();
    w.value("say \"hi\" to C:\\dwg");
    w.value("a\nb\rc\td");
    w.value(std::string_view("\x01\x1f\x00|", 4));  // the zero byte is part of the text
    w.value("\x7f");                                 // DEL needs no escape
    w.endArray();
    EXPECT_EQ(out.str(),
              "[\"say \\\"hi\\\" to C:\\\\dwg\","
              "\"a\\nb\\rc\\td\","
              "\"\\u0001\\u001f\\u0000|\","
              "\"\x7f\"]");
}

TEST(JsonWriter, KeysAreEscapedAndUtf8PassesThrough) {
    std::ostringstream out;
    JsonWriter(out, false).beginObject().member("a\"b", "\xD7\xA9\xD7\x91\xD7\xAA").endObject();
    EXPECT_EQ(out.str(), "{\"a\\\"b\":\"\xD7\xA9\xD7\x91\xD7\xAA\"}");
}

TEST(JsonWriter, NumbersInShortestExactFormAndNonFiniteAsNull) {
    std::ostringstream out;
    JsonWriter w(out, false);
    w.beginArray();
    w.value(100.0).value(0.1).value(-2.25).value(1e21).value(5e-324);
    w.value(std::numeric_limits<double>::quiet_NaN()).value(std::numeric_limits<double>::infinity());
    w.value(std::numeric_limits<std::int64_t>::min()).value(std::int64_t{9007199254740993});
    w.endArray();
    EXPECT_EQ(out.str(), "[100,0.1,-2.25,1e+21,5e-324,null,null,-9223372036854775808,9007199254740993]");
}

TEST(JsonWriter, HexBytesAreLowerCaseTwoDigitsEach) {
    EXPECT_EQ(support::hexBytes(std::string_view("\x00\x9a\xff\x0A", 4)), "009aff0a");
    EXPECT_EQ(support::hexBytes(""), "");
}

}  // namespace
