#include "concordance/concordance.h"

#include <algorithm>
#include <numeric>

namespace kolva {

const char* ConcordanceOrderName(ConcordanceOrder order) {
    switch (order) {
        case ConcordanceOrder::kLeft: return "left";
        case ConcordanceOrder::kRight: return "right";
        default: return "page";
    }
}

bool ParseConcordanceOrder(std::string_view name, ConcordanceOrder& order) {
    for (ConcordanceOrder o : {ConcordanceOrder::kPage, ConcordanceOrder::kLeft, ConcordanceOrder::kRight})
        if (name == ConcordanceOrderName(o)) {
            order = o;
            return true;
        }
    return false;
}

CConcordance::CConcordance(const CIndex& index, std::vector<uint32_t> pages,
                           ConcordanceQuery query)
    : m_pages(std::move(pages)),
      m_query(std::move(query)),
      m_finder(index, m_query.keywords, m_query.variant),
      m_lineStart{0} {}

size_t CConcordance::AppendRowLines(uint32_t row, std::vector<ConcordanceLine>& lines) {
    if (row >= m_pages.size() || m_finder.WordCount() == 0) return 0;
    if (!m_finder.ReadPage(m_pages[row], m_body, m_hits) || m_hits.hits.empty()) return 0;
    std::vector<PageLine> pageLines;
    ReadPageLines(m_body, m_hits, m_query.context, pageLines);
    for (PageLine& p : pageLines)
        lines.push_back(ConcordanceLine{row, p.anchor, std::move(p.left), std::move(p.match),
                                        std::move(p.right)});
    return pageLines.size();
}

size_t CConcordance::AppendPageOrderLines(size_t first, size_t count,
                                          std::vector<ConcordanceLine>& lines) {
    size_t appended = 0;
    // The first row that may hold line `first`: known from the counts where they reach it.
    size_t row = size_t(std::upper_bound(m_lineStart.begin(), m_lineStart.end(), first) -
                        m_lineStart.begin()) - 1;
    std::vector<ConcordanceLine> rowLines;
    for (; row < m_pages.size() && appended < count; ++row) {
        const bool counted = row + 1 < m_lineStart.size();
        if (counted && m_lineStart[row + 1] <= first) continue;  // an empty row counted before
        rowLines.clear();
        const size_t n = AppendRowLines(uint32_t(row), rowLines);
        if (!counted) m_lineStart.push_back(m_lineStart.back() + n);
        const size_t start = m_lineStart[row];
        for (size_t k = 0; k < n && appended < count; ++k) {
            if (start + k < first) continue;
            lines.push_back(std::move(rowLines[k]));
            ++appended;
        }
    }
    return appended;
}

std::vector<ConcordanceLine> CConcordance::Lines(ConcordanceOrder order, size_t limit) {
    std::vector<ConcordanceLine> lines;
    for (size_t row = 0; row < m_pages.size(); ++row) {
        AppendRowLines(uint32_t(row), lines);
        if (limit && lines.size() >= limit) {
            lines.resize(limit);
            break;
        }
    }
    SortConcordance(lines, order);
    return lines;
}

std::string ConcordanceKey(const ConcordanceLine& line, ConcordanceOrder order) {
    if (order == ConcordanceOrder::kRight) return line.match + line.right;
    if (order == ConcordanceOrder::kPage) return {};
    // Characters of the left context from the match outwards; the bytes of each stay in order.
    const std::string& left = line.left;
    std::string key;
    key.reserve(left.size());
    size_t end = left.size();
    while (end > 0) {
        size_t start = end - 1;
        while (start > 0 && (uint8_t(left[start]) & 0xC0) == 0x80) --start;
        key.append(left, start, end - start);
        end = start;
    }
    return key;
}

void SortConcordance(std::vector<ConcordanceLine>& lines, ConcordanceOrder order) {
    if (order == ConcordanceOrder::kPage) {
        std::stable_sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) {
            return a.row != b.row ? a.row < b.row : a.anchor < b.anchor;
        });
        return;
    }
    std::vector<std::string> keys;
    keys.reserve(lines.size());
    for (const ConcordanceLine& line : lines) keys.push_back(ConcordanceKey(line, order));
    std::vector<size_t> order_(lines.size());
    std::iota(order_.begin(), order_.end(), size_t(0));
    // Bytes compared as unsigned: UTF-8 then orders as its code points do.
    std::stable_sort(order_.begin(), order_.end(),
                     [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    std::vector<ConcordanceLine> sorted;
    sorted.reserve(lines.size());
    for (size_t i : order_) sorted.push_back(std::move(lines[i]));
    lines = std::move(sorted);
}

}  // namespace kolva
