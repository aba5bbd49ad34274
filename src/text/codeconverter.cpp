#include "text/codeconverter.h"

namespace kolva {

namespace {

constexpr bool IsHighSurrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool IsLowSurrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

constexpr uint32_t CombineSurrogates(uint32_t high, uint32_t low) {
    return 0x10000 + (high - 0xD800) * 0x400 + (low - 0xDC00);
}

// Writes the UTF-8 bytes of codePoint to out and returns their number (1 to 4).
int EncodeUtf8(uint32_t codePoint, char* out) {
    // Nothing above U+10FFFF can come out of UTF-16; should it ever, the replacement character
    // keeps the output well-formed.
    if (codePoint > 0x10FFFF) codePoint = 0xFFFD;
    if (codePoint < 0x80) {
        out[0] = char(codePoint);
        return 1;
    }
    if (codePoint < 0x800) {
        out[0] = char(0xC0 | codePoint >> 6);
        out[1] = char(0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint < 0x10000) {
        out[0] = char(0xE0 | codePoint >> 12);
        out[1] = char(0x80 | (codePoint >> 6 & 0x3F));
        out[2] = char(0x80 | (codePoint & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | codePoint >> 18);
    out[1] = char(0x80 | (codePoint >> 12 & 0x3F));
    out[2] = char(0x80 | (codePoint >> 6 & 0x3F));
    out[3] = char(0x80 | (codePoint & 0x3F));
    return 4;
}

}  // namespace

int DecodeUtf16Units(const char16_t*& source, const char16_t* sourceEnd, uint32_t*& target,
                     uint32_t* targetEnd, int mode) {
    const char16_t* s = source;
    uint32_t* t = target;
    int result = kConversionOk;
    while (s < sourceEnd) {
        const char16_t* unitStart = s;
        uint32_t codePoint = *s++;
        if (IsHighSurrogate(codePoint)) {
            if (s == sourceEnd) {
                s = unitStart;
                result = kSourceExhausted;
                break;
            }
            if (IsLowSurrogate(*s)) {
                codePoint = CombineSurrogates(codePoint, *s++);
            } else if (mode == kConvertStrict) {
                s = unitStart;
                result = kSourceIllegal;
                break;
            }
        } else if (IsLowSurrogate(codePoint) && mode == kConvertStrict) {
            s = unitStart;
            result = kSourceIllegal;
            break;
        }
        if (t == targetEnd) {
            s = unitStart;
            result = kTargetExhausted;
            break;
        }
        *t++ = codePoint;
    }
    source = s;
    target = t;
    return result;
}

int AppendUtf8(std::u16string_view source, std::string& target, int mode) {
    // Four bytes per unit covers every case, so a text without supplementary characters
    // grows the target at most once.
    target.reserve(target.size() + 4 * source.size());
    const size_t n = source.size();
    for (size_t i = 0; i < n; ++i) {
        uint32_t codePoint = source[i];
        if (IsHighSurrogate(codePoint)) {
            if (i + 1 == n) return kSourceExhausted;
            if (IsLowSurrogate(source[i + 1])) {
                codePoint = CombineSurrogates(codePoint, source[i + 1]);
                ++i;
            } else if (mode == kConvertStrict) {
                return kSourceIllegal;
            }
        } else if (IsLowSurrogate(codePoint) && mode == kConvertStrict) {
            return kSourceIllegal;
        }
        char bytes[4];
        target.append(bytes, size_t(EncodeUtf8(codePoint, bytes)));
    }
    return kConversionOk;
}

std::u16string CodePointsToUtf16(std::u32string_view codePoints) {
    std::u16string out;
    out.reserve(codePoints.size());
    for (char32_t c : codePoints) {
        if (c >= 0x10000) {
            out += char16_t(0xD800 + ((c - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
    return out;
}

}  // namespace kolva
