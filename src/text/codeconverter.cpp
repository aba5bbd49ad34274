#include "text/codeconverter.h"

#include "text/utf8.h"

namespace kolva {

int DecodeUtf16Units(const char16_t*& source, const char16_t* sourceEnd, uint32_t*& target,
                     uint32_t* targetEnd, int mode) {
    const char16_t* s = source;
    uint32_t* t = target;
    int result = kConversionOk;
    while (s < sourceEnd) {
        const std::u16string_view rest(s, size_t(sourceEnd - s));
        char32_t c;
        const size_t units = ReadCodePoint(rest, 0, c);
        if (units == 1 && IsHighSurrogate(c) && rest.size() == 1) {
            result = kSourceExhausted;
            break;
        }
        if (units == 1 && IsSurrogate(c) && mode == kConvertStrict) {
            result = kSourceIllegal;
            break;
        }
        if (t == targetEnd) {
            result = kTargetExhausted;
            break;
        }
        *t++ = c;
        s += units;
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
    for (size_t i = 0; i < n;) {
        char32_t codePoint;
        const size_t units = ReadCodePoint(source, i, codePoint);
        if (units == 1 && IsHighSurrogate(codePoint) && i + 1 == n) return kSourceExhausted;
        if (units == 1 && IsSurrogate(codePoint) && mode == kConvertStrict) return kSourceIllegal;
        AppendCodePointUtf8(codePoint, target);
        i += units;
    }
    return kConversionOk;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    AppendUtf8(text, out, kConvertLenient);
    return out;
}

}  // namespace kolva
