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

// The shortest text a full match can span: its literals and the bytes its "?" stand for.
size_t MinimumSpan(const std::vector<Seg>& segs) {
    size_t span = 0;
    for (const Seg& seg : segs)
        span += seg.text.size() + (seg.kind == kSegAfterQuestion ? kQuestionWidth * size_t(seg.gap) : 0);
    return span;
}

// The match attempts of one compiled keyword over one run of text. An attempt looks for each
// literal in turn where the previous one left off; a literal that cannot be placed leaves its
// hit out, so an attempt is a full match only when every literal has its hit.
class KeywordMatcher {
public:
    KeywordMatcher(std::string_view text, const std::vector<Seg>& segs)
        : m_segs(segs), m_end(text.size()),
          m_paragraphs(text, kParagraphBarrier), m_headings(text, kHeadingBarrier) {
        m_finders.reserve(segs.size());
        for (const Seg& seg : segs) m_finders.emplace_back(text, seg.text);
    }

    // One attempt starting at pos: hits gets the position of every literal placed. Returns where
    // the next attempt starts (the end of the match, or where this one gave up).
    size_t Attempt(size_t pos, std::vector<size_t>& hits) {
        hits.clear();
        for (size_t i = 0; i < m_segs.size(); ++i) {
            switch (m_segs[i].kind) {
                case kSegFirst: pos = PlaceFirst(i, pos, hits); break;
                case kSegAfterStar: pos = PlaceAfterStar(i, pos, hits); break;
                default: pos = PlaceAfterQuestion(i, pos, hits); break;
            }
        }
        return pos;
    }

private:
    size_t Advance(size_t from, size_t by) const { return std::min(m_end, from + by); }

    // The keyword's first literal: its next occurrence.
    size_t PlaceFirst(size_t i, size_t pos, std::vector<size_t>& hits) {
        pos = m_finders[i].Find(pos);
        if (pos == m_end) return pos;
        hits.push_back(pos);
        return Advance(pos, m_segs[i].text.size());
    }

    // A literal after "*": its next occurrence, unless a paragraph or heading comes first.
    size_t PlaceAfterStar(size_t i, size_t pos, std::vector<size_t>& hits) {
        if (pos == m_end) return pos;
        const size_t start = pos;
        pos = m_finders[i].Find(start);
        const size_t p = m_paragraphs.Find(start);
        const size_t h = m_headings.Find(start);
        // A "*" stretch ends at a paragraph or heading: the attempt is given up and the next one
        // starts after the barrier.
        if (p < pos) return Advance(p, kParagraphBarrier.size());
        if (h < pos) return Advance(h, kHeadingBarrier.size());
        if (pos == m_end) return pos;
        hits.push_back(pos);
        return Advance(pos, m_segs[i].text.size());
    }

    // A literal after "?": exactly 3 bytes per "?" after the previous literal.
    size_t PlaceAfterQuestion(size_t i, size_t pos, std::vector<size_t>& hits) {
        const size_t skip = kQuestionWidth * size_t(m_segs[i].gap);
        if (pos == m_end || pos + skip >= m_end) return pos;
        const size_t start = pos + skip;
        pos = m_finders[i].Find(start);
        if (pos == start) {
            hits.push_back(pos);
            return Advance(pos, m_segs[i].text.size());
        }
        // Not in its place: back to where this literal began; the end when it is nowhere.
        return pos != m_end ? start - skip : pos;
    }

    const std::vector<Seg>& m_segs;
    size_t m_end;
    std::vector<ForwardFinder> m_finders;  // one per literal
    ForwardFinder m_paragraphs;
    ForwardFinder m_headings;
};

// Writes the text from cur up to a full match and the match itself: each literal marked after its
// anchor; the stretch between two literals plain after a "*", marked with its own anchor inside
// after a "?" (the characters a "?" stood for are a hit of their own).
void WriteMatch(std::string_view text, const std::vector<Seg>& segs, const std::vector<size_t>& hits,
                size_t cur, std::string& out, int& anchorCounter) {
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
            out.append(kMarkOpen);
            AppendAnchor(out, anchorCounter++);
            out.append(between);
            out.append(kMarkClose);
        } else {
            out.append(between);
        }
    }
}

}  // namespace

void HighlightItem(std::string_view text, std::string_view keyword, std::string& out,
                   int& anchorCounter) {
    const std::vector<Seg> segs = CompileKeyword(keyword);
    // A keyword of wildcards only has nothing to look for: treating the empty list as a match
    // would never advance. Where the text is shorter than any full match no attempt can succeed,
    // and failed attempts copy the text as it is; a pasted keyword of thousands of pieces would
    // otherwise walk all of them once per attempt.
    if (segs.empty() || MinimumSpan(segs) > text.size()) {
        out.append(text);
        return;
    }
    KeywordMatcher matcher(text, segs);
    std::vector<size_t> hits;
    hits.reserve(segs.size());
    // Matches never overlap: each attempt starts where the previous one ended.
    size_t cur = 0;
    while (cur < text.size()) {
        const size_t next = matcher.Attempt(cur, hits);
        if (hits.size() == segs.size())
            WriteMatch(text, segs, hits, cur, out, anchorCounter);
        else
            out.append(text.substr(cur, next - cur));
        cur = next;
    }
}

}  // namespace kolva
