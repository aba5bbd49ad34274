#include "text/utf8.h"

#include <cstdint>

#include "text/utf16.h"

namespace kolva {

bool AppendUtf8Decoded(std::string_view bytes, std::u32string* out, size_t& badOffset,
                       bool surrogates) {
    const size_t before = out ? out->size() : 0;
    if (out) out->resize(before + bytes.size());  // one code point a byte at most
    char32_t* const start = out ? out->data() + before : nullptr;
    char32_t* to = start;
    const auto fail = [&](size_t at) {
        if (out) out->resize(before);
        badOffset = at;
        return false;
    };
    for (size_t i = 0; i < bytes.size();) {
        const uint8_t b = uint8_t(bytes[i]);
        size_t n;
        char32_t c;
        if (b < 0x80) {
            if (to) *to++ = b;
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            n = 2, c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 3, c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 4, c = b & 0x07;
        } else {
            return fail(i);
        }
        if (i + n > bytes.size()) return fail(i);
        for (size_t k = 1; k < n; ++k) {
            const uint8_t t = uint8_t(bytes[i + k]);
            if ((t & 0xC0) != 0x80) return fail(i);
            c = c << 6 | (t & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
            (c >= 0xD800 && c <= 0xDFFF && !surrogates))
            return fail(i);
        if (to) *to++ = c;
        i += n;
    }
    if (out) out->resize(before + size_t(to - start));
    return true;
}

bool DecodeUtf8(std::string_view bytes, std::u32string& out, size_t& badOffset, bool surrogates) {
    out.clear();
    return AppendUtf8Decoded(bytes, &out, badOffset, surrogates);
}

void AppendCodePointUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

std::string ToUtf8(std::u32string_view codePoints) {
    std::string out;
    out.reserve(3 * codePoints.size());
    for (char32_t c : codePoints) AppendCodePointUtf8(c, out);
    return out;
}

bool Utf8ToUtf16(std::string_view bytes, std::u16string& out, size_t& badOffset, bool surrogates) {
    std::u32string codePoints;
    if (!DecodeUtf8(bytes, codePoints, badOffset, surrogates)) {
        out.clear();
        return false;
    }
    out = CodePointsToUtf16(codePoints);
    return true;
}

char32_t DecodeUtf8Lenient(std::string_view s, size_t& i) {
    constexpr char32_t kReplacement = 0xFFFD;
    const auto b = uint8_t(s[i]);
    if (b < 0x80) {
        ++i;
        return b;
    }
    const size_t length = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 && b <= 0xEF ? 3
                          : b >= 0xC2 && b <= 0xDF ? 2 : 0;
    if (length == 0 || i + length > s.size()) {
        ++i;
        return kReplacement;
    }
    char32_t c = b & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        const auto next = uint8_t(s[i + k]);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        c = (c << 6) | (next & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || c > 0x10FFFF) {
        ++i;
        return kReplacement;
    }
    i += length;
    return c;
}

}  // namespace kolva
