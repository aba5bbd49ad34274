// Combining one word's hits with the result: replace (the first word of an AND), intersect (every
// later word of an AND) and merge (every word of an OR).
#include "index/search_result.h"

#include <algorithm>
#include <utility>

namespace kolva {

namespace {

// Where each page stands in the result (the first entry if twice), for lookups by page.
class PlaceOfPage {
public:
    explicit PlaceOfPage(const std::vector<uint32_t>& pages) : m_byPage(pages.size()) {
        for (uint32_t j = 0; j < uint32_t(pages.size()); ++j) m_byPage[j] = {pages[j], j};
        std::sort(m_byPage.begin(), m_byPage.end());
    }
    bool Find(uint32_t page, uint32_t& j) const {
        auto it = std::lower_bound(m_byPage.begin(), m_byPage.end(), std::pair{page, 0u});
        if (it == m_byPage.end() || it->first != page) return false;
        j = it->second;
        return true;
    }

private:
    std::vector<std::pair<uint32_t, uint32_t>> m_byPage;
};

}  // namespace

void CombineWordHits(SearchResult& result, const std::vector<uint32_t>& pages,
                     const std::vector<uint32_t>& counts, CombineMode mode) {
    if (mode == kReplace) {
        result.pages = pages;
        result.counts = counts;
        return;
    }
    const PlaceOfPage place(result.pages);
    if (mode == kMerge) {
        for (size_t i = 0; i < pages.size(); ++i) {
            uint32_t j;
            if (place.Find(pages[i], j)) {
                result.counts[j] += counts[i];
            } else {
                result.pages.push_back(pages[i]);
                result.counts.push_back(counts[i]);
            }
        }
        return;
    }
    std::vector<uint32_t> newPages, newCounts;
    for (size_t i = 0; i < pages.size(); ++i) {
        uint32_t j;
        if (place.Find(pages[i], j)) {
            newPages.push_back(pages[i]);
            newCounts.push_back(counts[i] + result.counts[j]);
        }
    }
    result.pages.swap(newPages);
    result.counts.swap(newCounts);
}

}  // namespace kolva
