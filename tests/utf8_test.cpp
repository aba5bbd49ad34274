// UTF-8 and UTF-16 as the program reads them: strict decoding of outside text (source files,
// catalogue lines, command-line keywords), the lenient decoding of pages as a browser shows them,
// and one code point at a time from UTF-16.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/utf16.h"
#include "text/utf8.h"

namespace kolva {
namespace {

struct DecodeCase {
    const char* name;
    std::string bytes;
    bool surrogates;
    bool ok;
    std::u32string text;  // when ok
    size_t bad;           // when not ok: offset of the bad byte
};

TEST(DecodeUtf8, Cases) {
    const std::vector<DecodeCase> cases = {
        {"empty", "", false, true, U"", 0},
        {"one to four bytes", "A\xC3\xA9\xE4\xB8\xAD\xF0\xA0\x80\x80", false, true,
         U"A\u00E9\u4E2D\U00020000", 0},
        {"largest code point", "\xF4\x8F\xBF\xBF", false, true, U"\U0010FFFF", 0},
        {"past U+10FFFF", "a\xF4\x90\x80\x80", false, false, U"", 1},
        {"overlong two bytes", "ab\xC0\xAF", false, false, U"", 2},
        {"overlong three bytes", "\xE0\x80\xAF", false, false, U"", 0},
        {"overlong four bytes", "\xF0\x8F\xBF\xBF", false, false, U"", 0},
        {"lead byte F5", "\xF5\x80\x80\x80", false, false, U"", 0},
        {"lone continuation", "\xE4\xB8\xAD\x80", false, false, U"", 3},
        {"bad continuation", "\xE4\x41\xAD", false, false, U"", 0},
        {"cut short at the end", "\xE4\xB8\xAD\xE4\xB8", false, false, U"", 3},
        {"surrogate refused", "\xED\xA0\x80", false, false, U"", 0},
        {"surrogate taken", "\xED\xA0\x80\xED\xBF\xBF", true, true,
         std::u32string{char32_t(0xD800), char32_t(0xDFFF)}, 0},
        {"overlong refused with surrogates", "\xC1\xBF", true, false, U"", 0},
    };
    for (const DecodeCase& c : cases) {
        std::u32string out = U"old";
        size_t bad = size_t(-1);
        ASSERT_EQ(DecodeUtf8(c.bytes, out, bad, c.surrogates), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(out, c.text) << c.name;
        } else {
            EXPECT_EQ(bad, c.bad) << c.name;
        }

        // Appending keeps what out held, also on failure; checking alone gives the same answer.
        std::u32string appended = U"old";
        size_t badAppend = size_t(-1), badCheck = size_t(-1);
        EXPECT_EQ(AppendUtf8Decoded(c.bytes, &appended, badAppend, c.surrogates), c.ok) << c.name;
        EXPECT_EQ(appended, c.ok ? U"old" + c.text : U"old") << c.name;
        EXPECT_EQ(AppendUtf8Decoded(c.bytes, nullptr, badCheck, c.surrogates), c.ok) << c.name;
        if (!c.ok) {
            EXPECT_EQ(badAppend, c.bad) << c.name;
            EXPECT_EQ(badCheck, c.bad) << c.name;
        }
    }
}

// The same bytes through the lenient decoder: what a strict decoding refuses reads as U+FFFD a
// byte at a time, the rest as the strict one reads it.
TEST(DecodeUtf8Lenient, Cases) {
    const struct {
        const char* name;
        std::string bytes;
        std::u32string text;
    } cases[] = {
        {"one to four bytes", "A\xC3\xA9\xE4\xB8\xAD\xF0\xA0\x80\x80", U"A\u00E9\u4E2D\U00020000"},
        {"lone continuation", "\x80" "A", U"\uFFFD" "A"},
        {"overlong", "\xC0\xAF", U"\uFFFD\uFFFD"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"lead byte F5", "\xF5" "A", U"\uFFFD" "A"},
        {"bad continuation", "\xE4\x41", U"\uFFFD" "A"},
        {"cut short at the end", "A\xE4\xB8", U"A\uFFFD\uFFFD"},
        {"surrogate kept", "\xED\xA0\x80", std::u32string{char32_t(0xD800)}},
    };
    for (const auto& c : cases) {
        std::u32string text;
        for (size_t i = 0; i < c.bytes.size();) text += DecodeUtf8Lenient(c.bytes, i);
        EXPECT_EQ(text, c.text) << c.name;
    }
}

TEST(ReadCodePoint, PairsAndLoneSurrogates) {
    const struct {
        const char* name;
        std::u16string text;
        std::u32string codePoints;
    } cases[] = {
        {"plain and pair", u"A\U00020000\u4E2D", U"A\U00020000\u4E2D"},
        {"lone high then a letter", std::u16string{0xD800, u'A'}, std::u32string{0xD800, U'A'}},
        {"lone low", std::u16string{0xDC00}, std::u32string{0xDC00}},
        {"high at the end", std::u16string{u'A', 0xD800}, std::u32string{U'A', 0xD800}},
        {"high, high, low", std::u16string{0xD800, 0xD801, 0xDC00}, std::u32string{0xD800, 0x10400}},
    };
    for (const auto& c : cases) {
        std::u32string read;
        for (size_t i = 0; i < c.text.size();) {
            char32_t cp;
            i += ReadCodePoint(c.text, i, cp);
            read += cp;
        }
        EXPECT_EQ(read, c.codePoints) << c.name;
        EXPECT_EQ(CodePointsToUtf16(read), c.text) << c.name;  // and back
    }
}

TEST(Utf8ToUtf16, StrictWithSurrogatesOnRequest) {
    std::u16string out = u"old";
    size_t bad = 0;
    EXPECT_TRUE(Utf8ToUtf16("A\xF0\xA0\x80\x80", out, bad));
    EXPECT_EQ(out, u"A\U00020000");
    EXPECT_FALSE(Utf8ToUtf16("AB\xED\xA0\x80", out, bad));
    EXPECT_EQ(bad, 2u);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(Utf8ToUtf16("AB\xED\xA0\x80", out, bad, true));
    EXPECT_EQ(out, (std::u16string{u'A', u'B', 0xD800}));
    EXPECT_EQ(ToUtf8(U"A\U00020000"), "A\xF0\xA0\x80\x80");
}

}  // namespace
}  // namespace kolva
