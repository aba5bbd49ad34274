#include "index/pair_narrowing.h"

#include <algorithm>

namespace kolva {

bool PagesByPairs(const PairsFile& file, const PhraseTerm* terms, size_t count,
                  std::vector<uint32_t>& pages) {
    if (!file.IsOpen()) return false;
    for (size_t i = 0; i < count; ++i)
        if (!file.SlotClean(terms[i].slot)) return false;
    std::vector<PageList> lists;
    // Every two terms of one segment one or two positions apart (terms stand in word order).
    for (size_t i = 0; i + 1 < count; ++i) {
        const PhraseTerm& a = terms[i];
        const int32_t ra = file.Rank(file.Key(a.slot));
        for (size_t j = i + 1; ra >= 0 && j < count && j <= i + 2; ++j) {
            const PhraseTerm& b = terms[j];
            const uint32_t distance = b.keyPos - a.keyPos;
            if (a.segment != b.segment || distance > 2) continue;
            const int32_t rb = file.Rank(file.Key(b.slot));
            if (rb < 0 || (distance == 2 && !(file.TakesPartApart(ra) && file.TakesPartApart(rb))))
                continue;
            PageList list;
            switch (file.Find(ra, rb, list, distance)) {
                case PairsFile::Lookup::kAbsent:
                    pages.clear();
                    return true;
                case PairsFile::Lookup::kDamaged:
                    return false;
                case PairsFile::Lookup::kFound:
                    lists.push_back(list);
                    break;
            }
        }
    }
    if (lists.empty()) return false;
    // The shortest list first; each later one only keeps or drops what is left.
    std::sort(lists.begin(), lists.end(),
              [](const PageList& x, const PageList& y) { return x.count < y.count; });
    lists.erase(std::unique(lists.begin(), lists.end(),  // the same pair twice
                            [](const PageList& x, const PageList& y) { return x.bytes == y.bytes; }),
                lists.end());
    // Bitmaps (the pairs on many pages) are intersected a word at a time first, so that a
    // phrase of frequent characters never lists the pages of one of its pairs alone.
    const uint32_t limit = file.PageLimit();
    std::vector<uint64_t> bits;
    size_t bitmaps = 0;
    for (const PageList& list : lists) {
        if (list.kind != kPairBitmap) continue;
        if (bitmaps++ == 0) bits.assign((uint64_t(limit) + 63) / 64, ~uint64_t(0));
        if (!AndBitmapList(list, limit, bits)) return false;
    }
    pages.clear();
    if (bitmaps == lists.size()) {
        for (size_t w = 0; w < bits.size(); ++w)
            for (uint64_t b = bits[w]; b != 0; b &= b - 1)
                pages.push_back(uint32_t(w * 64 + size_t(__builtin_ctzll(b))));
        return true;
    }
    bool first = true;  // the shortest list that is not a bitmap gives the first pages
    for (const PageList& list : lists) {
        if (list.kind == kPairBitmap) continue;
        if (!(first ? DecodePageList(list, limit, pages) : KeepListedPages(list, limit, pages)))
            return false;
        if (first && bitmaps != 0) {
            size_t kept = 0;
            for (uint32_t page : pages)
                if (bits[page / 64] >> (page % 64) & 1) pages[kept++] = page;
            pages.resize(kept);
        }
        first = false;
        if (pages.empty()) break;
    }
    return true;
}

}  // namespace kolva
