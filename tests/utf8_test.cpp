// Strict UTF-8 decoding of outside text: source files, catalogue lines, command-line keywords.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace kolva
