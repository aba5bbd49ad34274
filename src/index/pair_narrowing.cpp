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
    if (!DecodePageList(lists[0], file.PageLimit(), pages)) return false;
    for (size_t i = 1; i < lists.size() && !pages.empty(); ++i) {
        if (lists[i].bytes == lists[i - 1].bytes) continue;  // the same pair twice
        if (!KeepListedPages(lists[i], file.PageLimit(), pages)) return false;
    }
    return true;
}

}  // namespace kolva
