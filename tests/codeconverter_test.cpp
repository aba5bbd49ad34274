#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/codeconverter.h"

namespace kolva {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += char(v);
    return out;
}

struct Utf8Case {
    const char* name;
    std::u16string source;
    int mode;
    std::string bytes;
    int result;
};

TEST(AppendUtf8, Cases) {
    const std::vector<Utf8Case> cases = {
        {"ascii", u"A", kConvertStrict, "A", kConversionOk},
        {"two bytes", u"\u00E9", kConvertStrict, Bytes({0xC3, 0xA9}), kConversionOk},
        {"three bytes", u"\u4E2D", kConvertStrict, Bytes({0xE4, 0xB8, 0xAD}), kConversionOk},
        {"boundaries", u"\u007F\u0080\u07FF\u0800\uFFFF", kConvertStrict,
         Bytes({0x7F, 0xC2, 0x80, 0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF}), kConversionOk},
        {"pair", std::u16string{0xD840, 0xDC00}, kConvertStrict, Bytes({0xF0, 0xA0, 0x80, 0x80}),
         kConversionOk},
        {"last code point", std::u16string{0xDBFF, 0xDFFF}, kConvertStrict,
         Bytes({0xF4, 0x8F, 0xBF, 0xBF}), kConversionOk},
        {"nul", std::u16string(1, u'\0'), kConvertStrict, std::string(1, '\0'), kConversionOk},
        {"lone high, lenient", std::u16string{0xD800, 0x41}, kConvertLenient,
         Bytes({0xED, 0xA0, 0x80, 0x41}), kConversionOk},
        {"lone high, strict", std::u16string{0xD800, 0x41}, kConvertStrict, "", kSourceIllegal},
        {"lone low, lenient", std::u16string{0x41, 0xDC00}, kConvertLenient,
         Bytes({0x41, 0xED, 0xB0, 0x80}), kConversionOk},
        {"lone low, strict keeps what came before", std::u16string{0x41, 0xDC00, 0x42},
         kConvertStrict, "A", kSourceIllegal},
        {"high then high, lenient", std::u16string{0xD800, 0xD801, 0xDC00}, kConvertLenient,
         Bytes({0xED, 0xA0, 0x80, 0xF0, 0x90, 0x90, 0x80}), kConversionOk},
        {"ends in high, lenient", std::u16string{0x41, 0x42, 0xD800}, kConvertLenient, "AB",
         kSourceExhausted},
        {"ends in high, strict", std::u16string{0x41, 0xD800}, kConvertStrict, "A",
         kSourceExhausted},
        {"empty", u"", kConvertStrict, "", kConversionOk},
    };
    for (const Utf8Case& c : cases) {
        std::string target;
        EXPECT_EQ(AppendUtf8(c.source, target, c.mode), c.result) << c.name;
        EXPECT_EQ(target, c.bytes) << c.name;
    }
}

TEST(AppendUtf8, KeepsWhatTheTargetHeld) {
    std::string target = "xy";
    EXPECT_EQ(AppendUtf8(u"\u4E2D", target, kConvertLenient), kConversionOk);
    EXPECT_EQ(target, "xy" + Bytes({0xE4, 0xB8, 0xAD}));
}

// Converts all of source into `slots` slots and reports what is left.
struct DecodeOutcome {
    int result;
    size_t consumed;
    std::vector<uint32_t> out;
};

DecodeOutcome Decode(const std::u16string& source, size_t slots, int mode) {
    std::vector<uint32_t> buffer(slots + 1, 0xEEEEEEEE);
    const char16_t* s = source.data();
    uint32_t* t = buffer.data();
    int result = DecodeUtf16Units(s, source.data() + source.size(), t, buffer.data() + slots, mode);
    return {result, size_t(s - source.data()), std::vector<uint32_t>(buffer.data(), t)};
}

struct DecodeCase {
    const char* name;
    std::u16string source;
    size_t slots;
    int mode;
    int result;
    size_t consumed;
    std::vector<uint32_t> out;
};

TEST(DecodeUtf16Units, Cases) {
    const std::vector<DecodeCase> cases = {
        {"pair into one slot", {0xD840, 0xDC00}, 1, kConvertStrict, kConversionOk, 2, {0x20000}},
        {"pair into no slot", {0xD840, 0xDC00}, 0, kConvertStrict, kTargetExhausted, 0, {}},
        {"second char has no slot", {0x41, 0xD840, 0xDC00}, 1, kConvertStrict, kTargetExhausted, 1,
         {0x41}},
        {"lone low, lenient", {0xDC00}, 1, kConvertLenient, kConversionOk, 1, {0xDC00}},
        {"lone low, strict", {0x41, 0xDC00}, 4, kConvertStrict, kSourceIllegal, 1, {0x41}},
        {"high before non-low, lenient", {0xD800, 0x41}, 4, kConvertLenient, kConversionOk, 2,
         {0xD800, 0x41}},
        {"high before non-low, strict", {0xD800, 0x41}, 4, kConvertStrict, kSourceIllegal, 0, {}},
        // The unfinished pair is reported before the missing room.
        {"ends in high", {0x41, 0xD800}, 1, kConvertLenient, kSourceExhausted, 1, {0x41}},
        {"empty", {}, 0, kConvertStrict, kConversionOk, 0, {}},
    };
    for (const DecodeCase& c : cases) {
        DecodeOutcome got = Decode(c.source, c.slots, c.mode);
        EXPECT_EQ(got.result, c.result) << c.name;
        EXPECT_EQ(got.consumed, c.consumed) << c.name;
        EXPECT_EQ(got.out, c.out) << c.name;
    }
}

}  // namespace
}  // namespace kolva
