// Character slots: the key of every index table. A character with a slot is indexed; its slot is
// its place in the tables' rows, 0 to kSlotCount - 1. Variant group g (the g-th line of the
// variant table) has slot kVariantSlotBase + g, which holds the merged positions of its members.
//
//   code points            slots
//   U+3400..U+9FFF         0 .. 27,647       (CJK extension A and the unified ideographs)
//   U+F900..U+FAFF         27,904 .. 28,415  (compatibility ideographs)
//   U+20000..U+2A6DF       32,512 .. 75,231  (extension B)
//   U+2F800..U+2FA1F       75,232 .. 75,775  (compatibility supplement)
//   U+3042..U+30F6         75,776 .. 75,956  (kana)
//   U+E000..U+FFFF         75,957 .. 84,148  (private use and the rest of the plane; the row of
//                                              U+F900..U+FAFF is the one above)
#pragma once

#include <cstdint>
#include <vector>

#include "index/postings_format.h"

namespace kolva {

constexpr int kVariantSlotBase = 88065;
constexpr int kMaxVariantGroups = kSlotCount - kVariantSlotBase;  // 11,935

// The members of one line of the variant table, in the order of the line.
using VariantGroup = std::vector<uint32_t>;

// The slot of a code point, or -1 when the character is not indexed.
inline int32_t CharToSlot(uint32_t c) {
    if (c >= 0x3400 && c <= 0x9FFF) return int32_t(c - 0x3400);
    if (c >= 0xF900 && c <= 0xFAFF) return int32_t(c - 0x8C00);
    if (c >= 0x20000 && c <= 0x2A6DF) return int32_t(c - 0x18100);
    if (c >= 0x2F800 && c <= 0x2FA1F) return int32_t(c - 0x1D220);
    if (c >= 0x3042 && c <= 0x30F6) return int32_t(c + 0xF7BE);
    if (c >= 0xE000 && c <= 0xFFFF) return int32_t(c + 0x48B5);
    return -1;
}

// The code point whose slot is slot, or UINT32_MAX when no code point has it (CharToSlot's
// inverse).
inline uint32_t SlotToCodePoint(int32_t s) {
    if (s < 0) return UINT32_MAX;
    const uint32_t slot = uint32_t(s);
    if (slot <= 27647) return slot + 0x3400;
    if (slot >= 27904 && slot <= 28415) return slot + 0x8C00;
    if (slot >= 32512 && slot <= 75231) return slot + 0x18100;
    if (slot >= 75232 && slot <= 75775) return slot + 0x1D220;
    if (slot >= 75776 && slot <= 75956) return slot - 0xF7BE;
    if (slot >= 75957 && slot <= 84148) {
        const uint32_t c = slot - 0x48B5;
        return c >= 0xF900 && c <= 0xFAFF ? UINT32_MAX : c;  // those take the row above
    }
    return UINT32_MAX;
}

}  // namespace kolva
