// UTF-8 of single code points, and strict UTF-8 decoding: source texts, catalogue lines and command-line keywords are UTF-8 and
// come from outside the program, so every byte is checked. Decoding takes one pass: the output
// grows once (by one code point a byte at most) and is cut to its length at the end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kolva {

// Decodes strict UTF-8 and appends the code points to out; with out null, only checks. On
// failure out is as before and badOffset is the offset of the first bad byte. Overlong forms,
// values past U+10FFFF and (unless surrogates is set) the three-byte forms of U+D800..U+DFFF are
// not UTF-8; with surrogates set those forms stand for the surrogate values themselves.
bool AppendUtf8Decoded(std::string_view bytes, std::u32string* out, size_t& badOffset,
                       bool surrogates = false);

// Decodes strict UTF-8 into out (emptied first). On failure returns false and the offset of the
// bad byte. With surrogates set, the three-byte forms of U+D800..U+DFFF are taken as those values.
bool DecodeUtf8(std::string_view bytes, std::u32string& out, size_t& badOffset,
                bool surrogates = false);

// The one UTF-8 encoder: appends the UTF-8 form of code point c (at most U+10FFFF; a surrogate
// value is written as its three-byte form) to out.
void AppendCodePointUtf8(char32_t c, std::string& out);

// Code points as UTF-8 (each at most U+10FFFF).
std::string ToUtf8(std::u32string_view codePoints);

// Strict UTF-8 to UTF-16 (out emptied first); with surrogates set, the three-byte form of a
// surrogate stands for that one unpaired unit. False, with the offset of the first bad byte,
// when bytes are not UTF-8.
bool Utf8ToUtf16(std::string_view bytes, std::u16string& out, size_t& badOffset,
                 bool surrogates = false);

// The lenient decoder, for text as a browser shows it: the character at s[i] (i below s.size()),
// i moved past it. A byte that starts no valid sequence (a stray continuation byte, an overlong
// or cut sequence, a value past U+10FFFF) reads as U+FFFD and takes that one byte; the
// three-byte form of a surrogate reads as its own value.
char32_t DecodeUtf8Lenient(std::string_view s, size_t& i);

}  // namespace kolva
