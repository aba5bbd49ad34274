#include "concordance/concordance.h"

#include <algorithm>
#include <iterator>
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

size_t CConcordance::AppendRowsLines(uint32_t first, uint32_t count,
                                     std::vector<ConcordanceLine>& lines) {
    const uint32_t end = uint32_t(std::min<uint64_t>(uint64_t(first) + count, m_pages.size()));
    if (first >= end) return 0;
    std::vector<uint32_t> order(end - first);
    std::iota(order.begin(), order.end(), first);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t x, uint32_t y) { return m_pages[x] < m_pages[y]; });
    std::vector<std::vector<ConcordanceLine>> byRow(end - first);
    for (uint32_t row : order) AppendRowLines(row, byRow[row - first]);
    size_t appended = 0;
    for (const std::vector<ConcordanceLine>& rowLines : byRow) appended += rowLines.size();
    lines.reserve(lines.size() + appended);
    for (std::vector<ConcordanceLine>& rowLines : byRow)
        std::move(rowLines.begin(), rowLines.end(), std::back_inserter(lines));
    return appended;
}

size_t CConcordance::AppendPageOrderLines(size_t first, size_t count,
                                          std::vector<ConcordanceLine>& lines) {
    size_t appended = 0;
    // The first row that may hold line `first`: known from the counts where they reach it.
    size_t row = size_t(std::upper_bound(m_lineStart.begin(), m_lineStart.end(), first) -
                        m_lineStart.begin()) - 1;
    std::vector<ConcordanceLine> chunk;
    while (row < m_pages.size() && appended < count) {
        // Rows are read a chunk at a time (in page order within it), as many as the lines
        // still wanted take at the rate of the rows counted so far.
        const size_t counted = m_lineStart.size() - 1;
        const size_t perRow = counted ? std::max<size_t>(1, m_lineStart.back() / counted) : 0;
        const size_t rows =
            perRow ? std::clamp<size_t>((count - appended) / perRow + 1, 4, 1024) : 4;
        chunk.clear();
        AppendRowsLines(uint32_t(row), uint32_t(rows), chunk);
        const size_t end = std::min(m_pages.size(), row + rows);
        size_t k = 0;  // the chunk's lines, in row order
        for (; row < end; ++row) {
            const size_t from = k;
            while (k < chunk.size() && chunk[k].row == row) ++k;
            if (row + 1 == m_lineStart.size()) m_lineStart.push_back(m_lineStart.back() + (k - from));
            for (size_t i = from; i < k && appended < count; ++i) {
                if (m_lineStart[row] + (i - from) < first) continue;
                lines.push_back(std::move(chunk[i]));
                ++appended;
            }
        }
    }
    return appended;
}

std::vector<ConcordanceLine> CConcordance::Lines(ConcordanceOrder order, size_t limit) {
    std::vector<ConcordanceLine> lines;
    constexpr uint32_t kChunk = 1024;
    for (size_t row = 0; row < m_pages.size(); row += kChunk) {
        AppendRowsLines(uint32_t(row), kChunk, lines);
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
