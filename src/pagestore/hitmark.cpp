#include "pagestore/hitmark.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kolva {

std::vector<Seg> CompileKeyword(std::string_view keyword) {
    std::vector<Seg> segs;
    size_t b = 0;
    while (b < keyword.size()) {
        size_t c = keyword.find('*', b);
        if (c == std::string_view::npos) c = keyword.size();
        // Leading, trailing and doubled "*" leave empty pieces, which add nothing.
        if (c != b) {
            segs.push_back(Seg{b == 0 ? kSegFirst : kSegAfterStar, {}, 0});
            CompilePiece(keyword.substr(b, c - b), segs);
        }
        b = c < keyword.size() ? c + 1 : keyword.size();
    }
    return segs;
}

void CompilePiece(std::string_view piece, std::vector<Seg>& segs) {
    // n counts the "?" in front of the next literal, plus one.
    int32_t n = 1;
    size_t a = 0;
    while (a != piece.size()) {
        size_t d = piece.find('?', a);
        if (d == std::string_view::npos) d = piece.size();
        if (d != a) {
            Seg& last = segs.back();
            last.text.append(piece.substr(a, d - a));
            last.gap = n;
            segs.push_back(Seg{kSegAfterQuestion, {}, 0});
            n = 1;
        } else {
            ++n;
        }
        a = d < piece.size() ? d + 1 : piece.size();
    }
    // The Seg waiting for a literal that never came: after the piece's last literal, or the
    // piece's own Seg when it held only "?".
    segs.pop_back();
}

void AppendAnchor(std::string& out, int number) {
    char buffer[32];
    int length = std::snprintf(buffer, sizeof buffer, "<a name=\"%04d\"></a>", number);
    out.append(buffer, size_t(length));
}

namespace {

// Forward search for one needle whose start positions mostly move forward. Remembers its last
// answer: when a new start lies between the last start and the last answer, the answer is the
// same, so a page with a rare needle is not scanned again on every match attempt.
class ForwardFinder {
public:
    ForwardFinder(std::string_view text, std::string_view needle) : m_text(text), m_needle(needle) {}

    // The first occurrence at or after start, or the text's length when there is none.
    size_t Find(size_t start) {
        if (m_valid && start >= m_lastStart && start <= m_lastFound) return m_lastFound;
        // memmem is glibc's two-way search: UTF-8 CJK text repeats a literal's lead byte every
        // few bytes, which makes a first-byte scan slow.
        const void* found = start >= m_text.size()
                                ? nullptr
                                : memmem(m_text.data() + start, m_text.size() - start,
                                         m_needle.data(), m_needle.size());
        m_lastStart = start;
        m_lastFound = found ? size_t(static_cast<const char*>(found) - m_text.data()) : m_text.size();
        m_valid = true;
        return m_lastFound;
    }

private:
    std::string_view m_text;
    std::string_view m_needle;
    size_t m_lastStart = 0;
    size_t m_lastFound = 0;
    bool m_valid = false;
};

}  // namespace

void HighlightItem(std::string_view text, std::string_view keyword, std::string& out,
                   int& anchorCounter) {
    const std::vector<Seg> segs = CompileKeyword(keyword);
    // A full match spans at least its literals and the bytes its "?" stand for. Where the text is
    // shorter no attempt can succeed, and attempts that fail copy the text as it is; a pasted
    // keyword of thousands of pieces would otherwise walk all of them once per attempt.
    size_t span = 0;
    for (const Seg& seg : segs)
        span += seg.text.size() + (seg.kind == kSegAfterQuestion ? kQuestionWidth * size_t(seg.gap) : 0);
    // A keyword of wildcards only has nothing to look for. Treating the empty list as a match
    // would never advance.
    if (segs.empty() || span > text.size()) {
        out.append(text);
        return;
    }
    const size_t end = text.size();
    std::vector<ForwardFinder> finders;
    finders.reserve(segs.size());
    for (const Seg& seg : segs) finders.emplace_back(text, seg.text);
    ForwardFinder paragraphs(text, kParagraphBarrier);
    ForwardFinder headings(text, kHeadingBarrier);
    auto advance = [end](size_t from, size_t by) { return std::min(end, from + by); };

    std::vector<size_t> hits;
    hits.reserve(segs.size());
    size_t cur = 0;
    size_t pos = 0;
    while (cur < end) {
        // One match attempt: each literal is looked for where the previous one left pos.
        hits.clear();
        for (size_t i = 0; i < segs.size(); ++i) {
            const Seg& seg = segs[i];
            const size_t length = seg.text.size();
            if (seg.kind == kSegFirst) {
                pos = finders[i].Find(pos);
                if (pos != end) {
                    hits.push_back(pos);
                    pos = advance(pos, length);
                }
            } else if (seg.kind == kSegAfterStar) {
                if (pos == end) continue;
                const size_t start = pos;
                pos = finders[i].Find(start);
                const size_t p = paragraphs.Find(start);
                const size_t h = headings.Find(start);
                // A "*" stretch ends at a paragraph or heading: the attempt is given up and the
                // next one starts after the barrier.
                if (p < pos) {
                    pos = advance(p, kParagraphBarrier.size());
                } else if (h < pos) {
                    pos = advance(h, kHeadingBarrier.size());
                } else if (pos != end) {
                    hits.push_back(pos);
                    pos = advance(pos, length);
                }
            } else {
                const size_t skip = kQuestionWidth * size_t(seg.gap);
                if (pos == end || pos + skip >= end) continue;
                const size_t start = pos + skip;
                pos = finders[i].Find(start);
                if (pos == start) {
                    hits.push_back(pos);
                    pos = advance(pos, length);
                } else if (pos != end) {
                    pos = start - skip;
                }
            }
        }

        if (hits.size() == segs.size()) {
            out.append(text.substr(cur, hits[0] - cur));
            for (size_t i = 0; i < segs.size(); ++i) {
                const size_t literalEnd = hits[i] + segs[i].text.size();
                AppendAnchor(out, anchorCounter++);
                out.append(kMarkOpen);
                out.append(text.substr(hits[i], segs[i].text.size()));
                out.append(kMarkClose);
                if (i + 1 == segs.size()) break;
                const std::string_view between = text.substr(literalEnd, hits[i + 1] - literalEnd);
                if (segs[i + 1].kind == kSegAfterQuestion) {
                    // The characters a "?" stood for are a hit of their own.
                    out.append(kMarkOpen);
                    AppendAnchor(out, anchorCounter++);
                    out.append(between);
                    out.append(kMarkClose);
                } else {
                    out.append(between);
                }
            }
        } else {
            out.append(text.substr(cur, pos - cur));
        }
        cur = pos;
    }
}

}  // namespace kolva
