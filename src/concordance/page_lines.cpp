#include "concordance/page_lines.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "text/utf16.h"
#include "text/utf8.h"

namespace kolva {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr std::u32string_view kEllipsis = U"…";

bool IsSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

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

// The visible text of a body cell's runs, and where each of its characters comes from.
class VisibleScanner {
public:
    // Appends the visible text of one run's bytes.
    void Add(std::string_view s, uint32_t item) {
        size_t i = 0;
        while (i < s.size()) {
            const size_t at = i;
            if (s[i] == '<') {
                // A tag, "<" to the first ">" (or the end), shows nothing.
                const size_t close = s.find('>', i + 1);
                i = close == std::string_view::npos ? s.size() : close + 1;
                continue;
            }
            char32_t c;
            if (s[i] != '&') c = DecodeUtf8Lenient(s, i);
            else if (!DecodeReference(s, i, c)) c = uint8_t(s[i++]);
            if (!IsSpace(c)) Push(c, item, at);
            else if (!text.empty() && text.back() != U' ') Push(U' ', item, at);
        }
    }
    // Ends the text: no white space at its end.
    void Finish() {
        if (!text.empty() && text.back() == U' ') {
            text.pop_back();
            from.pop_back();
        }
    }
    // The visible character that the byte at offset of run item shows, or the first one after
    // it.
    size_t IndexOf(uint32_t item, uint32_t offset) const {
        return size_t(std::lower_bound(from.begin(), from.end(), std::make_pair(item, offset)) -
                      from.begin());
    }

    std::u32string text;
    std::vector<std::pair<uint32_t, uint32_t>> from;  // per character: run and byte

private:
    void Push(char32_t c, uint32_t item, size_t at) {
        text.push_back(c);
        from.emplace_back(item, uint32_t(at));
    }
};

// A gap of a "*" hit as its line shows it: whole up to `context` characters, else its two ends.
std::u32string Gap(std::u32string_view gap, size_t context) {
    if (gap.size() <= context) return std::u32string(gap);
    const size_t head = (context + 1) / 2, tail = context / 2;
    std::u32string out(gap.substr(0, head));
    out += kEllipsis;
    out += gap.substr(gap.size() - tail);
    return out;
}

}  // namespace

std::string VisibleText(std::string_view bytes) {
    VisibleScanner scanner;
    scanner.Add(bytes, 0);
    scanner.Finish();
    return ToUtf8(scanner.text);
}

void ReadPageLines(const PageBody& body, const PageHits& hits, size_t context,
                   std::vector<PageLine>& lines) {
    lines.clear();
    lines.resize(hits.hits.size());
    if (hits.hits.empty()) return;
    VisibleScanner scanner;
    for (size_t k = 0; k < body.items.size(); ++k) scanner.Add(body.items[k].text, uint32_t(k));
    scanner.Finish();
    const std::u32string_view text(scanner.text);
    // The visible character of a body character, and the one right after it.
    auto start = [&](uint32_t c) { return scanner.IndexOf(body.chars[c].item, body.chars[c].offset); };
    auto end = [&](uint32_t c) { return std::min(text.size(), start(c) + 1); };
    for (size_t n = 0; n < hits.hits.size(); ++n) {
        const MarkedHit& hit = hits.hits[n];
        PageLine& line = lines[n];
        line.anchor = int(n);
        if (hit.pieceCount == 0) continue;
        const HitPiece* piece = &hits.pieces[hit.firstPiece];
        const size_t from = std::min(start(piece[0].first), text.size());
        const size_t to = std::max(from, end(piece[hit.pieceCount - 1].last));
        std::u32string match;
        size_t shown = from;  // the visible text up to here is in match
        for (uint32_t p = 0; p < hit.pieceCount; ++p) {
            const size_t a = std::max(shown, std::min(start(piece[p].first), to));
            const size_t b = std::max(a, std::min(end(piece[p].last), to));
            match += Gap(text.substr(shown, a - shown), context);
            match += text.substr(a, b - a);
            shown = b;
        }
        const size_t left = from > context ? from - context : 0;
        line.left = ToUtf8(text.substr(left, from - left));
        line.match = ToUtf8(match);
        line.right = ToUtf8(text.substr(to, context));
    }
}

}  // namespace kolva
