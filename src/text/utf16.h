// UTF-16 as the program reads it: surrogates, one code point at a time, and code points back to
// UTF-16 units. Keywords, titles and names are UTF-16 inside the program.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kolva {

// Code points to UTF-16 units: a surrogate pair above U+FFFF, a single unit below (a surrogate
// code point stays the single unpaired unit it names).
std::u16string CodePointsToUtf16(std::u32string_view codePoints);

constexpr bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
constexpr bool IsSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDFFF; }

// The one way the program reads a character from UTF-16: the code point at text[i] (i below
// text.size()) into c, and how many units it takes: 2 for a surrogate pair, else 1 (an unpaired
// surrogate reads as its own value).
inline size_t ReadCodePoint(std::u16string_view text, size_t i, char32_t& c) {
    const char16_t u = text[i];
    if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
        c = 0x10000 + (char32_t(u) - 0xD800) * 0x400 + (char32_t(text[i + 1]) - 0xDC00);
        return 2;
    }
    c = u;
    return 1;
}

}  // namespace kolva
