#include "index/pair_narrowing.h"

#include <algorithm>

namespace kolva {

namespace {

// What the pairs of a word's terms come to.
enum class PairLists {
    kFound,    // lists of every pair with listed keys (possibly none)
    kNoPage,   // a pair of listed keys has no list: no page holds the word
    kDamaged,  // a directory entry or list does not read
};

// The lists of every two terms of one segment one or two positions apart whose keys the file
// lists (terms stand in word order).
PairLists GatherPairLists(const PairsFile& file, const PhraseTerm* terms, size_t count,
                          std::vector<PageList>& lists) {
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
            switch (file.Locate(ra, rb, list, distance)) {
                case PairsFile::Lookup::kAbsent: return PairLists::kNoPage;
                case PairsFile::Lookup::kDamaged: return PairLists::kDamaged;
                case PairsFile::Lookup::kFound: lists.push_back(list); break;
            }
        }
    }
    return PairLists::kFound;
}

// The shortest list first, so that each later one only keeps or drops what is left; the same
// pair twice read once.
void ShortestFirst(std::vector<PageList>& lists) {
    std::sort(lists.begin(), lists.end(),
              [](const PageList& x, const PageList& y) { return x.count < y.count; });
    const auto same = [](const PageList& x, const PageList& y) { return x.entry == y.entry; };
    lists.erase(std::unique(lists.begin(), lists.end(), same), lists.end());
}

// The pages every list holds, ascending, when all of them are bitmaps.
void PagesOfBitmaps(const std::vector<PageList>& lists, uint32_t limit,
                    std::vector<uint32_t>& pages) {
    const size_t words = (size_t(limit) + 63) / 64;
    for (size_t w = 0; w < words; ++w) {
        uint64_t bits = ~uint64_t(0);
        for (size_t i = 0; i < lists.size() && bits != 0; ++i) bits &= BitmapWord(lists[i], w);
        for (; bits != 0; bits &= bits - 1)
            pages.push_back(uint32_t(w * 64 + size_t(__builtin_ctzll(bits))));
    }
}

// A later list of page deltas is read only while it has at most this many times as many pages as
// are left: reading a long list costs more than the pages it could still drop cost the walk
// (which finds on them that the word is not there). On the real collection, phrases of frequent
// characters in a mixed list took the same time with 64 and 256 and up to 1.4 times as long
// reading every list.
constexpr uint32_t kPagesPerCandidate = 64;

// The pages of the lists of page deltas (shortest first) that every bitmap list holds too, the
// later lists read as kPagesPerCandidate allows: a superset of the pages of all of them.
bool IntersectPageLists(const PairsFile& file, std::vector<PageList>& lists, uint32_t limit,
                        std::vector<uint32_t>& pages) {
    bool first = true;  // the shortest list that is not a bitmap gives the first pages
    for (PageList& list : lists) {
        if (list.kind == kPairBitmap) continue;
        if (!first && list.count / kPagesPerCandidate > pages.size()) break;
        if (!file.Ready(list)) return false;
        // A long list that searches keep asking for is kept decoded: its pages are looked up,
        // not read again from the first.
        if (const std::vector<uint32_t>* decoded = file.DecodedPages(list)) {
            if (first) {
                pages = *decoded;
            } else {
                size_t kept = 0;
                auto from = decoded->begin();
                for (uint32_t page : pages) {
                    from = std::lower_bound(from, decoded->end(), page);
                    if (from == decoded->end()) break;
                    if (*from == page) pages[kept++] = page;
                }
                pages.resize(kept);
            }
        } else if (!(first ? DecodePageList(list, limit, pages)
                           : KeepListedPages(list, limit, pages))) {
            return false;
        }
        if (first) {
            size_t kept = 0;
            for (uint32_t page : pages) {
                bool held = true;
                for (size_t i = 0; i < lists.size() && held; ++i)
                    held = lists[i].kind != kPairBitmap || BitmapHolds(lists[i], page);
                if (held) pages[kept++] = page;
            }
            pages.resize(kept);
        }
        first = false;
        if (pages.empty()) break;
    }
    return true;
}

}  // namespace

bool PagesByPairs(const PairsFile& file, const PhraseTerm* terms, size_t count,
                  std::vector<uint32_t>& pages) {
    if (!file.IsOpen()) return false;
    for (size_t i = 0; i < count; ++i)
        if (!file.SlotClean(terms[i].slot)) return false;
    std::vector<PageList> lists;
    switch (GatherPairLists(file, terms, count, lists)) {
        case PairLists::kNoPage: pages.clear(); return true;
        case PairLists::kDamaged: return false;
        case PairLists::kFound: break;
    }
    if (lists.empty()) return false;
    ShortestFirst(lists);
    const uint32_t limit = file.PageLimit();
    // Bitmaps (the pairs on many pages, found sound by Ready) are read in place: a phrase of
    // frequent characters never lists the pages of one of its pairs alone, nor copies a bitmap.
    // Every bitmap is read (a page's bit costs less than walking to the page); a bitmap found
    // damaged leaves the word to be walked without the file.
    size_t bitmaps = 0;
    for (PageList& list : lists) {
        if (list.kind != kPairBitmap) continue;
        if (!file.Ready(list)) return false;
        ++bitmaps;
    }
    pages.clear();
    if (bitmaps == lists.size()) {
        PagesOfBitmaps(lists, limit, pages);
        return true;
    }
    return IntersectPageLists(file, lists, limit, pages);
}

}  // namespace kolva
