// Combining one word's hits with the result lists: replace (the first word of an AND),
// intersect (every later word of an AND) and merge (every word of an OR).
#include <algorithm>
#include <utility>

#include "index/index.h"

namespace kolva {

void CIndex::ClearResults() {
    m_resultPages.clear();
    m_resultCounts.clear();
    m_nResultCount = 0;
}

void CIndex::Combine(const std::vector<uint32_t>& pages, const std::vector<uint32_t>& counts,
                     CombineMode mode) {
    if (mode == kReplace) {
        m_resultPages = pages;
        m_resultCounts = counts;
        m_nResultCount = int(pages.size());
        return;
    }
    // Where each page stands among the first m_nResultCount results (the first entry if twice).
    std::vector<std::pair<uint32_t, uint32_t>> byPage(static_cast<size_t>(m_nResultCount));
    for (uint32_t j = 0; j < uint32_t(m_nResultCount); ++j) byPage[j] = {m_resultPages[j], j};
    std::sort(byPage.begin(), byPage.end());
    auto find = [&](uint32_t page, uint32_t& j) {
        auto it = std::lower_bound(byPage.begin(), byPage.end(), std::pair{page, 0u});
        if (it == byPage.end() || it->first != page) return false;
        j = it->second;
        return true;
    };

    if (mode == kMerge) {
        for (size_t i = 0; i < pages.size(); ++i) {
            uint32_t j;
            if (find(pages[i], j)) {
                m_resultCounts[j] += counts[i];
            } else {
                m_resultPages.push_back(pages[i]);
                m_resultCounts.push_back(counts[i]);
            }
        }
        m_nResultCount = int(m_resultPages.size());
        return;
    }
    std::vector<uint32_t> newPages, newCounts;
    for (size_t i = 0; i < pages.size(); ++i) {
        uint32_t j;
        if (find(pages[i], j)) {
            newPages.push_back(pages[i]);
            newCounts.push_back(counts[i] + m_resultCounts[j]);
        }
    }
    m_resultPages.swap(newPages);
    m_resultCounts.swap(newCounts);
    m_nResultCount = int(m_resultPages.size());
}
}  // namespace kolva
