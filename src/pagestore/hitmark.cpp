#include "pagestore/hitmark.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace kolva {

std::string AnchorName(int number) {
    char buffer[16];
    const int length = std::snprintf(buffer, sizeof buffer, "%04d", number);
    return std::string(buffer, size_t(length));
}

void AppendAnchor(std::string& out, int number) {
    out.append("<a name=\"");
    out.append(AnchorName(number));
    out.append("\"></a>");
}

namespace {

// A stretch [begin, end) of a run's bytes to be marked.
using Span = std::pair<uint32_t, uint32_t>;

// An anchor: the run and byte it stands before, and its number.
struct AnchorAt {
    uint32_t item;
    uint32_t offset;
    int number;
};

// Writes one run: its bytes with the anchors that stand in it and the marked spans (sorted,
// merged) in their marks.
class RunWriter {
public:
    RunWriter(std::string_view text, const AnchorAt* anchor, const AnchorAt* anchorEnd,
              std::string& out)
        : m_text(text), m_anchor(anchor), m_anchorEnd(anchorEnd), m_out(out) {}

    void Write(const std::vector<Span>& spans) {
        uint32_t at = 0;
        for (const Span& span : spans) {
            Plain(at, span.first);
            Marked(span.first, span.second);
            at = span.second;
        }
        Plain(at, uint32_t(m_text.size()));
    }
    const AnchorAt* AnchorsLeft() const { return m_anchor; }

private:
    bool AnchorBefore(uint32_t end) const {
        return m_anchor != m_anchorEnd && m_anchor->offset < end;
    }

    // Bytes [from, to) unmarked, anchors standing before `to` written in their places.
    void Plain(uint32_t from, uint32_t to) {
        while (AnchorBefore(to)) {
            m_out.append(m_text.substr(from, m_anchor->offset - from));
            from = m_anchor->offset;
            AppendAnchor(m_out, m_anchor++->number);
        }
        m_out.append(m_text.substr(from, to - from));
    }

    // Bytes [from, to) marked: tags and line ends stay outside the mark, and an anchor closes
    // it and opens it again after itself.
    void Marked(uint32_t from, uint32_t to) {
        bool open = false;
        auto close = [&] {
            if (open) m_out.append(kMarkClose);
            open = false;
        };
        uint32_t j = from;
        while (j < to) {
            if (m_anchor != m_anchorEnd && m_anchor->offset <= j) {
                close();
                while (m_anchor != m_anchorEnd && m_anchor->offset <= j)
                    AppendAnchor(m_out, m_anchor++->number);
            }
            const char c = m_text[j];
            if (c == '<') {
                close();
                size_t end = m_text.find('>', j);
                end = end == std::string_view::npos ? to : std::min<size_t>(end + 1, to);
                m_out.append(m_text.substr(j, end - j));
                j = uint32_t(end);
                continue;
            }
            if (c == '\n' || c == '\r') {
                close();
                m_out += c;
                ++j;
                continue;
            }
            uint32_t next = j + 1;
            const uint32_t stop =
                m_anchor != m_anchorEnd && m_anchor->offset < to ? m_anchor->offset : to;
            while (next < stop && m_text[next] != '<' && m_text[next] != '\n' && m_text[next] != '\r')
                ++next;
            if (!open) m_out.append(kMarkOpen);
            open = true;
            m_out.append(m_text.substr(j, next - j));
            j = uint32_t(next);
        }
        close();
    }

    std::string_view m_text;
    const AnchorAt* m_anchor;
    const AnchorAt* m_anchorEnd;
    std::string& m_out;
};

}  // namespace

int WriteMarkedBody(const PageBody& body, int target, const PageHits& hits, std::string& out) {
    const std::vector<FilterItem>& items = body.items;
    // Where each anchor stands and which bytes of each run are marked.
    std::vector<AnchorAt> anchors;
    anchors.reserve(hits.hits.size());
    std::vector<int> trailing;  // hits that could not be placed
    std::vector<std::vector<Span>> spans(items.size());
    for (size_t n = 0; n < hits.hits.size(); ++n) {
        const MarkedHit& hit = hits.hits[n];
        if (hit.pieceCount == 0) {
            trailing.push_back(int(n));
            continue;
        }
        const BodyChar& start = body.chars[hits.pieces[hit.firstPiece].first];
        anchors.push_back(AnchorAt{start.item, start.offset, int(n)});
        for (uint32_t p = hit.firstPiece; p < hit.firstPiece + hit.pieceCount; ++p) {
            const BodyChar& a = body.chars[hits.pieces[p].first];
            const BodyChar& b = body.chars[hits.pieces[p].last];
            for (uint32_t k = a.item; k <= b.item; ++k) {
                if (!RunInTarget(target, items[k].type)) continue;
                const uint32_t from = k == a.item ? a.offset : 0;
                const uint32_t to = k == b.item ? b.offset + b.length : uint32_t(items[k].text.size());
                if (from < to) spans[k].emplace_back(from, to);
            }
        }
    }
    // Anchors in text order; hits at one character keep their order.
    std::stable_sort(anchors.begin(), anchors.end(), [](const AnchorAt& x, const AnchorAt& y) {
        return x.item != y.item ? x.item < y.item : x.offset < y.offset;
    });

    const AnchorAt* anchor = anchors.data();
    const AnchorAt* const anchorEnd = anchors.data() + anchors.size();
    for (size_t k = 0; k < items.size(); ++k) {
        std::vector<Span>& marked = spans[k];
        std::sort(marked.begin(), marked.end());
        // Overlapping and touching spans make one mark.
        size_t kept = 0;
        for (const Span& span : marked) {
            if (kept > 0 && span.first <= marked[kept - 1].second)
                marked[kept - 1].second = std::max(marked[kept - 1].second, span.second);
            else
                marked[kept++] = span;
        }
        marked.resize(kept);
        const AnchorAt* end = anchor;
        while (end != anchorEnd && end->item == k) ++end;
        const bool note = items[k].type == 1;
        if (note) out.append(kNoteOpen);
        RunWriter writer(items[k].text, anchor, end, out);
        writer.Write(marked);
        anchor = end;
        if (note) out.append(kNoteClose);
    }
    for (int n : trailing) AppendAnchor(out, n);
    return int(hits.hits.size());
}

}  // namespace kolva
