#include "pagestore/kwic.h"

#include <algorithm>
#include <cstdint>

#include "pagestore/compose.h"
#include "pagestore/hitmark.h"
#include "text/utf16.h"
#include "text/utf8.h"

namespace kolva {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr std::string_view kAnchorOpen = "<a name=\"";
constexpr std::string_view kAnchorClose = "\"></a>";

bool IsSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool StartsWith(std::string_view text, size_t at, std::string_view prefix) {
    return text.substr(at, prefix.size()) == prefix;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// A character reference at s[i] ('&'): "&#ddd;", "&#xhhh;" or one of the few named ones the
// pages use. On success c holds it and i lies past the ";".
bool DecodeReference(std::string_view s, size_t& i, char32_t& c) {
    const size_t semi = s.find(';', i + 1);
    if (semi == std::string_view::npos || semi - i > 12) return false;
    const std::string_view body = s.substr(i + 1, semi - i - 1);
    if (body.size() >= 2 && body[0] == '#') {
        const bool hex = body[1] == 'x' || body[1] == 'X';
        const std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty()) return false;
        uint32_t value = 0;
        for (char d : digits) {
            uint32_t v;
            if (d >= '0' && d <= '9') v = uint32_t(d - '0');
            else if (hex && Lower(d) >= 'a' && Lower(d) <= 'f') v = uint32_t(Lower(d) - 'a' + 10);
            else return false;
            value = std::min<uint32_t>(value * (hex ? 16 : 10) + v, 0x110000);
        }
        // What the browser shows for a number that names no character.
        c = value == 0 || value > 0x10FFFF || IsSurrogate(value) ? kReplacement : value;
    } else {
        static constexpr std::pair<std::string_view, char32_t> kNamed[] = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}};
        const auto* named = std::find_if(std::begin(kNamed), std::end(kNamed),
                                         [&](const auto& n) { return n.first == body; });
        if (named == std::end(kNamed)) return false;
        c = named->second;
    }
    i = semi + 1;
    return true;
}

// The number of a hit anchor at s[i], its length in `length`; -1 when no anchor starts there.
int AnchorAt(std::string_view s, size_t i, size_t& length) {
    if (!StartsWith(s, i, kAnchorOpen)) return -1;
    size_t j = i + kAnchorOpen.size();
    int number = 0;
    size_t digits = 0;
    for (; j < s.size() && s[j] >= '0' && s[j] <= '9' && digits < 9; ++j, ++digits)
        number = number * 10 + (s[j] - '0');
    if (digits == 0 || !StartsWith(s, j, kAnchorClose)) return -1;
    length = j + kAnchorClose.size() - i;
    return number;
}

// A tag that opens or closes bold ("<b>", "<B class=x>", "</b>"); not the mark's own tag.
bool IsBoldTag(std::string_view tag, bool closing) {
    const size_t at = closing ? 2 : 1;
    if (tag.size() < at + 2 || (closing && tag[1] != '/')) return false;
    if (Lower(tag[at]) != 'b') return false;
    const char next = tag[at + 1];
    return next == '>' || next == '/' || IsSpace(char32_t(uint8_t(next)));
}

// What the scanner reports besides visible text.
struct MarkEvents {
    virtual ~MarkEvents() = default;
    virtual void Anchor(int /*number*/, size_t /*position*/) {}
    virtual void MarkOpen(size_t /*position*/) {}
    virtual void BoldOpen() {}
    virtual void BoldClose(size_t /*position*/) {}
    virtual void Other() {}  // any text or other tag: nothing is adjacent any more
};

// Walks a cell's bytes, building its visible text in code points and reporting anchors and bold
// tags at their positions in it. Tags are cut as the page parser cuts them ("<" to the first
// ">"), except that a tag is never taken to swallow an anchor or a mark written inside it.
std::u32string Scan(std::string_view s, MarkEvents& events) {
    std::u32string text;
    text.reserve(s.size() / 2);
    auto add = [&](char32_t c) {
        if (!IsSpace(c)) text.push_back(c);
        else if (!text.empty() && text.back() != U' ') text.push_back(U' ');
    };
    size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '&') {
            char32_t c;
            if (!DecodeReference(s, i, c)) c = uint8_t(s[i++]);
            add(c);
            events.Other();
            continue;
        }
        if (s[i] != '<') {
            add(DecodeUtf8Lenient(s, i));
            events.Other();
            continue;
        }
        size_t length = 0;
        const int number = AnchorAt(s, i, length);
        if (number >= 0) {
            events.Anchor(number, text.size());
            i += length;
            continue;
        }
        if (StartsWith(s, i, kMarkOpen)) {
            events.MarkOpen(text.size());
            i += kMarkOpen.size();
            continue;
        }
        size_t close = s.find('>', i + 1);
        if (close == std::string_view::npos) close = s.size();
        size_t inner = s.find('<', i + 1);
        while (inner < close && AnchorAt(s, inner, length) < 0 && !StartsWith(s, inner, kMarkOpen))
            inner = s.find('<', inner + 1);
        if (inner < close) {
            // A hit marked inside a tag (a keyword in an attribute): the tag ends before it.
            events.Other();
            i = inner;
            continue;
        }
        const std::string_view tag = s.substr(i, close + 1 - i);
        if (IsBoldTag(tag, true)) events.BoldClose(text.size());
        else if (IsBoldTag(tag, false)) events.BoldOpen();
        else events.Other();
        i = close + 1;
    }
    if (!text.empty() && text.back() == U' ') text.pop_back();
    return text;
}

// Ties each anchor to its mark: the mark opened right after it (a literal), or the one opened
// right before it (a "?" stretch). Bold tags nest; "</b>" closes the innermost.
class MarkReader : public MarkEvents {
public:
    struct Span {
        size_t start = 0, end = 0;
        bool seen = false;
    };
    explicit MarkReader(int anchors) : m_spans(size_t(std::max(anchors, 0))) {}

    void Anchor(int number, size_t position) override {
        const bool known = size_t(number) < m_spans.size() && !m_spans[size_t(number)].seen;
        if (known) m_spans[size_t(number)] = Span{position, position, true};
        if (known && m_freeMark >= 0) {
            m_marks[size_t(m_freeMark)].anchor = number;
            m_freeMark = -1;
            m_pending = -1;
        } else {
            m_pending = known ? number : -1;
            m_freeMark = -1;
        }
    }
    void MarkOpen(size_t position) override {
        m_marks.push_back(Mark{position, m_pending});
        m_open.push_back(int(m_marks.size() - 1));
        m_freeMark = m_pending >= 0 ? -1 : int(m_marks.size() - 1);
        m_pending = -1;
    }
    void BoldOpen() override {
        m_open.push_back(-1);
        Other();
    }
    void BoldClose(size_t position) override {
        if (!m_open.empty()) {
            if (m_open.back() >= 0) End(m_marks[size_t(m_open.back())], position);
            m_open.pop_back();
        }
        Other();
    }
    void Other() override {
        m_pending = -1;
        m_freeMark = -1;
    }

    // The spans of the anchors, once the text is whole (marks still open end with the cell).
    std::vector<Span>& Finish(size_t textLength) {
        for (int open : m_open)
            if (open >= 0) End(m_marks[size_t(open)], textLength);
        m_open.clear();
        for (Span& span : m_spans) {
            span.start = std::min(span.start, textLength);
            span.end = std::min(std::max(span.end, span.start), textLength);
        }
        return m_spans;
    }

private:
    struct Mark {
        size_t start;
        int anchor;  // -1 while no anchor is tied to it
    };
    void End(const Mark& mark, size_t position) {
        if (mark.anchor < 0) return;
        Span& span = m_spans[size_t(mark.anchor)];
        span.start = mark.start;
        span.end = position;
    }

    std::vector<Span> m_spans;  // by anchor number
    std::vector<Mark> m_marks;  // in the order opened
    std::vector<int> m_open;    // bold tags open: index into m_marks, -1 for a page's own bold
    int m_pending = -1;         // an anchor right before this point, waiting for its mark
    int m_freeMark = -1;        // a mark opened right before this point, without an anchor
};

}  // namespace

std::string VisibleText(std::string_view bytes) {
    MarkEvents none;
    return ToUtf8(Scan(bytes, none));
}

void ReadPageLines(std::string_view composedPage, int column, int anchors, size_t context,
                   std::vector<PageLine>& lines) {
    lines.clear();
    if (anchors <= 0) return;
    std::vector<HTMLNode> nodes;
    ParsePage(composedPage, nodes);
    MarkReader reader(anchors);
    const std::u32string text = Scan(nodes[column == 1 ? 2 : 1].text, reader);
    const std::vector<MarkReader::Span>& spans = reader.Finish(text.size());
    const std::u32string_view view(text);
    lines.resize(spans.size());
    for (size_t n = 0; n < spans.size(); ++n) {
        const MarkReader::Span& span = spans[n];
        PageLine& line = lines[n];
        line.anchor = int(n);
        if (!span.seen) continue;
        const size_t from = span.start > context ? span.start - context : 0;
        line.left = ToUtf8(view.substr(from, span.start - from));
        line.match = ToUtf8(view.substr(span.start, span.end - span.start));
        line.right = ToUtf8(view.substr(span.end, context));
    }
}

}  // namespace kolva
