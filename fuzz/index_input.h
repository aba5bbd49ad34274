// The part of an index header that a search reads, as the index fuzz target builds it from its
// input: the first-block and last-page entries of the slots a keyword string uses, in the order
// the search meets them. The seed generator packs a written index the same way.
#pragma once

#include <algorithm>
#include <set>
#include <string_view>
#include <vector>

#include "index/index.h"

namespace kolva::fuzz {

// The slot the search looks up for each character of keywords, each slot once.
inline std::vector<int32_t> KeywordSlots(std::u16string_view keywords,
                                         const std::vector<VariantGroup>& groups, bool variants) {
    std::vector<int32_t> slots;
    std::set<int32_t> seen;
    for (size_t i = 0; i < keywords.size(); ++i) {
        uint32_t c = keywords[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < keywords.size() && keywords[i + 1] >= 0xDC00 &&
            keywords[i + 1] <= 0xDFFF)
            c = 0x10000 + (c - 0xD800) * 0x400 + (keywords[++i] - 0xDC00u);
        int32_t slot = CharToSlot(c);
        if (slot < 0) continue;
        if (variants) {
            for (size_t g = 0; g < groups.size(); ++g) {
                if (std::find(groups[g].begin(), groups[g].end(), c) != groups[g].end()) {
                    slot = kVariantSlotBase + int32_t(g);
                    break;
                }
            }
        }
        if (seen.insert(slot).second) slots.push_back(slot);
    }
    return slots;
}

}  // namespace kolva::fuzz
