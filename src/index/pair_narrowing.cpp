#include "index/pair_narrowing.h"

#include <algorithm>

namespace kolva {

bool PagesByPairs(const PairsFile& file, const PhraseTerm* terms, size_t count,
                  std::vector<uint32_t>& pages) {
    if (!file.IsOpen()) return false;
    for (size_t i = 0; i < count; ++i)
        if (!file.SlotClean(terms[i].slot)) return false;
    std::vector<PageList> lists;
    for (size_t i = 0; i + 1 < count; ++i) {
        const PhraseTerm& a = terms[i];
        const PhraseTerm& b = terms[i + 1];
        if (a.segment != b.segment || b.keyPos != a.keyPos + 1) continue;
        const int32_t ra = file.Rank(file.Key(a.slot)), rb = file.Rank(file.Key(b.slot));
        if (ra < 0 || rb < 0) continue;
        PageList list;
        switch (file.Find(ra, rb, list)) {
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
