#include "import/book.h"

#include <algorithm>
#include <utility>

#include "pagestore/compose.h"

namespace kolva {

namespace {

std::string Located(const std::filesystem::path& file, size_t line, const std::string& message) {
    return file.string() + (line ? ":" + std::to_string(line) : std::string()) + ": " + message;
}

bool IsLeadByte(unsigned char b) { return (b & 0xC0) != 0x80; }

// Text and notes are taken in slices of at most this many bytes.
constexpr size_t kSliceBytes = 4096;

// The white space of page sizes: ASCII spaces and controls, U+00A0 and U+3000.
bool IsSpaceAt(std::string_view s, size_t i) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b <= 0x20 || b == 0x7F) return true;
    if (b == 0xC2) return i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xA0;
    if (b == 0xE3) return s.substr(i, 3) == "\xE3\x80\x80";
    return false;
}

// The byte after the character that starts at i.
size_t NextChar(std::string_view s, size_t i) {
    ++i;
    while (i < s.size() && !IsLeadByte(static_cast<unsigned char>(s[i]))) ++i;
    return i;
}

// A sentence ends after 。！？!? (and the closing quotes and brackets right after them).
bool EndsSentence(std::string_view ch) {
    return ch == "\xE3\x80\x82" /*。*/ || ch == "\xEF\xBC\x81" /*！*/ || ch == "\xEF\xBC\x9F" /*？*/ ||
           ch == "!" || ch == "?";
}
bool IsCloser(std::string_view ch) {
    return ch == "\xE3\x80\x8D" /*」*/ || ch == "\xE3\x80\x8F" /*』*/ || ch == "\xEF\xBC\x89" /*）*/ ||
           ch == "\xE2\x80\x9D" /*”*/ || ch == "\xE2\x80\x99" /*’*/;
}

// Text as the builder keeps it: line ends and tabs become spaces (kept as '\n' in notes when
// keepLines), other control characters are dropped.
std::string Clean(std::string_view utf8, bool keepLines) {
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (c == '\n' && keepLines) out += '\n';
        else if (c == '\n' || c == '\t' || c == '\r') out += ' ';
        else if (b >= 0x20 && b != 0x7F) out += c;
    }
    return out;
}

void AppendNoteText(std::string& out, std::string_view text) {
    for (;;) {
        const size_t nl = text.find('\n');
        AppendHtmlEscaped(out, text.substr(0, nl));
        if (nl == std::string_view::npos) return;
        out += "<br>";
        text.remove_prefix(nl + 1);
    }
}

}  // namespace

ImportError::ImportError(const std::filesystem::path& file, size_t line, const std::string& message)
    : std::runtime_error(Located(file, line, message)) {}

size_t CountChars(std::string_view utf8) {
    size_t n = 0;
    for (size_t i = 0; i < utf8.size(); ++i)
        if (IsLeadByte(static_cast<unsigned char>(utf8[i])) && !IsSpaceAt(utf8, i)) ++n;
    return n;
}

void AppendHtmlEscaped(std::string& out, std::string_view text) {
    size_t from = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '<' && c != '>' && c != '&') continue;
        out.append(text.substr(from, i - from));
        out += c == '<' ? "&lt;" : c == '>' ? "&gt;" : "&amp;";
        from = i + 1;
    }
    out.append(text.substr(from));
}

bool BookBuilder::Block::HasText() const {
    for (const Piece& p : pieces)
        if (p.chars > 0 || ((p.kind == Piece::kNote || p.kind == Piece::kRuby) && !p.text.empty()))
            return true;
    return false;
}

BookBuilder::BookBuilder(size_t pageChars, VolumeSink sink, const std::atomic<bool>* cancel)
    : m_pageChars(pageChars ? pageChars : 1), m_sink(std::move(sink)), m_cancel(cancel) {}

void BookBuilder::Open(int level) {
    EndBlock();
    m_block = Block{};
    m_block.level = level;
    m_open = true;
}

void BookBuilder::StartParagraph() { Open(0); }

void BookBuilder::StartHeading(int level) { Open(level < 1 ? 1 : level > 3 ? 3 : level); }

void BookBuilder::EndBlock() {
    if (!m_open) return;
    m_open = false;
    CommitBlock(std::exchange(m_block, Block{}));
}

void BookBuilder::Append(Piece piece) {
    if (!m_open) Open(0);
    const size_t chars = piece.chars;
    if (piece.kind == Piece::kText && !m_block.pieces.empty() &&
        m_block.pieces.back().kind == Piece::kText) {
        m_block.pieces.back().text += piece.text;
        m_block.pieces.back().chars += chars;
    } else {
        m_block.pieces.push_back(std::move(piece));
    }
    m_block.chars += chars;
}

void BookBuilder::Text(std::string_view utf8) {
    // Long text goes in slices, so that a paragraph longer than a page is cut while it grows
    // and every cut works on a few pages' worth of text.
    while (!utf8.empty()) {
        size_t slice = std::min(utf8.size(), kSliceBytes);
        while (slice < utf8.size() && !IsLeadByte(static_cast<unsigned char>(utf8[slice]))) ++slice;
        std::string text = Clean(utf8.substr(0, slice), false);
        utf8.remove_prefix(slice);
        const size_t chars = CountChars(text);
        if (text.empty() || (!m_open && chars == 0)) continue;  // space alone opens no paragraph
        Append(Piece{Piece::kText, std::move(text), chars});
        SpillOpenBlock();
    }
}

void BookBuilder::LineBreak() {
    if (!m_open || m_block.pieces.empty() || m_block.pieces.back().kind == Piece::kBreak) return;
    Append(Piece{Piece::kBreak, {}, 0});
}

void BookBuilder::Note(std::string_view utf8, NoteKind kind) {
    std::string text = Clean(utf8, true);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) text.pop_back();
    const size_t start = text.find_first_not_of(" \n");
    if (start == std::string::npos) return;
    std::string_view rest = std::string_view(text).substr(start);
    // A note of more than a slice is set as notes of a slice each.
    while (!rest.empty()) {
        size_t slice = std::min(rest.size(), kSliceBytes);
        while (slice < rest.size() && !IsLeadByte(static_cast<unsigned char>(rest[slice]))) ++slice;
        std::string part(rest.substr(0, slice));
        rest.remove_prefix(slice);
        const size_t chars = CountChars(part);
        Append(Piece{kind == NoteKind::kRuby ? Piece::kRuby : Piece::kNote, std::move(part), chars});
        SpillOpenBlock();
    }
}

void BookBuilder::ClosingNote(std::string_view utf8) {
    EndBlock();
    std::string text = Clean(utf8, true);
    if (CountChars(text) == 0) return;
    Block block;
    const size_t chars = CountChars(text);
    block.pieces.push_back(Piece{Piece::kNote, std::move(text), chars});
    block.chars = chars;
    m_page.chars += block.chars;
    m_page.blocks.push_back(std::move(block));
}

// Sized pages: while the open paragraph holds more than two pages, its front goes onto pages.
void BookBuilder::SpillOpenBlock() {
    const size_t n = m_pageChars;
    while (!m_editionPages && m_open && m_block.chars > 2 * n) {
        if (m_page.chars >= n) FlushPage();
        const size_t room = n - m_page.chars;
        if (!m_page.blocks.empty() && room < n / 4) {
            FlushPage();
            continue;
        }
        Block head = CutBlock(m_block, room);
        m_page.chars += head.chars;
        m_page.blocks.push_back(std::move(head));
        FlushPage();
    }
}

void BookBuilder::CommitBlock(Block block) {
    if (!block.HasText()) return;
    while (!block.pieces.empty() && block.pieces.back().kind == Piece::kBreak) block.pieces.pop_back();
    const auto push = [this](Block b) {
        m_page.chars += b.chars;
        m_page.blocks.push_back(std::move(b));
    };
    if (m_editionPages) {
        push(std::move(block));
        return;
    }
    const size_t n = m_pageChars;
    for (;;) {
        if (m_page.chars >= n) FlushPage();
        const size_t room = n - m_page.chars;
        if (block.chars <= room) {
            push(std::move(block));
            if (m_page.chars >= n) FlushPage();
            return;
        }
        if (!m_page.blocks.empty() && block.chars <= n) {
            // It fits on a page of its own: the page ends before it or after it, whichever
            // leaves the page nearer its size.
            if (m_page.chars + block.chars - n <= room) {
                push(std::move(block));
                FlushPage();
                return;
            }
            FlushPage();
            continue;
        }
        if (!m_page.blocks.empty() && room < n / 4) {
            FlushPage();
            continue;
        }
        push(CutBlock(block, room));
        FlushPage();
    }
}

// Cuts the front of block (at most limit characters, at least one) off and returns it: at the
// last line end or sentence end that leaves it at least half the limit, else at the limit.
BookBuilder::Block BookBuilder::CutBlock(Block& block, size_t limit) const {
    struct Cut {
        size_t piece = 0, offset = 0, count = 0;
        bool set = false;
    };
    Cut soft, hard;
    size_t used = 0;
    for (size_t i = 0; i < block.pieces.size() && !hard.set; ++i) {
        const Piece& p = block.pieces[i];
        if (p.kind == Piece::kBreak) {
            if (used > 0) soft = Cut{i + 1, 0, used, true};
            continue;
        }
        if (p.kind != Piece::kText && used + p.chars > limit && used > 0) {
            hard = Cut{i, 0, used, true};  // before the note
            break;
        }
        // Text, or a note longer than the whole limit: cut inside it.
        const std::string_view s = p.text;
        for (size_t at = 0; at < s.size();) {
            const size_t next = NextChar(s, at);
            const bool counted = !IsSpaceAt(s, at);
            if (counted && used + 1 > limit) {
                hard = Cut{i, at, used, true};
                break;
            }
            used += counted;
            if (p.kind == Piece::kText && EndsSentence(s.substr(at, next - at))) {
                size_t end = next;
                while (end < s.size() && IsCloser(s.substr(end, NextChar(s, end) - end)))
                    end = NextChar(s, end);
                soft = Cut{i, end, used, true};
            }
            at = next;
        }
    }
    Cut cut = soft.set && soft.count * 2 >= limit ? soft : hard;
    if (!cut.set || cut.count == 0) {
        // Not even one character fits (a limit of 0): one character goes all the same.
        size_t i = 0;
        while (i < block.pieces.size() && block.pieces[i].chars == 0) ++i;
        const std::string_view s = i < block.pieces.size() ? std::string_view(block.pieces[i].text) : "";
        size_t at = 0;
        while (at < s.size() && IsSpaceAt(s, at)) at = NextChar(s, at);
        cut = Cut{i, at < s.size() ? NextChar(s, at) : s.size(), 1, true};
    }

    Block head;
    head.level = block.level;
    std::vector<Piece> rest;
    for (size_t i = 0; i < block.pieces.size(); ++i) {
        Piece& p = block.pieces[i];
        if (i < cut.piece) {
            head.pieces.push_back(std::move(p));
        } else if (i == cut.piece && cut.offset > 0 && cut.offset < p.text.size()) {
            std::string front = p.text.substr(0, cut.offset);
            const size_t frontChars = CountChars(front);
            head.pieces.push_back(Piece{p.kind, std::move(front), frontChars});
            p.text.erase(0, cut.offset);
            p.chars -= frontChars;
            rest.push_back(std::move(p));
        } else if (i == cut.piece && cut.offset > 0) {
            head.pieces.push_back(std::move(p));
        } else {
            rest.push_back(std::move(p));
        }
    }
    while (!rest.empty() && rest.front().kind == Piece::kBreak) rest.erase(rest.begin());
    while (!head.pieces.empty() && head.pieces.back().kind == Piece::kBreak) head.pieces.pop_back();
    for (const Piece& p : head.pieces) head.chars += p.chars;
    block.pieces = std::move(rest);
    block.chars -= head.chars;
    return head;
}

std::string BookBuilder::Render(const Page& page) const {
    std::string html;
    for (const Block& block : page.blocks) {
        const std::string tag = block.level == 0 ? "p" : "h" + std::to_string(block.level + 2);
        html += "<" + tag + ">";
        for (const Piece& p : block.pieces) {
            switch (p.kind) {
            case Piece::kText:
                AppendHtmlEscaped(html, p.text);
                break;
            case Piece::kBreak:
                html += "<br>";
                break;
            case Piece::kNote:
            case Piece::kRuby:
                html += kNoteOpen;
                html += p.kind == Piece::kRuby ? "\xE3\x80\x8A" /*《*/ : "\xE3\x80\x94" /*〔*/;
                AppendNoteText(html, p.text);
                html += p.kind == Piece::kRuby ? "\xE3\x80\x8B" /*》*/ : "\xE3\x80\x95" /*〕*/;
                html += kNoteClose;
                break;
            }
        }
        html += "</" + tag + ">\n";
    }
    return html;
}

void BookBuilder::FlushPage() {
    if (m_cancel && m_cancel->load(std::memory_order_relaxed)) throw ImportCancelled();
    if (m_page.blocks.empty() && !m_editionPages) return;
    bool text = false;
    for (const Block& b : m_page.blocks) text = text || b.level == 0;
    m_volumeHasText = m_volumeHasText || text;
    // An edition page without text keeps its place (a blank page of the edition) with an
    // empty body, until the volume ends and knows whether text follows it.
    if (m_editionPages) m_carried.push_back(m_page.carried);
    m_volume.pages.push_back(ImportedPage{Render(m_page), m_page.label});
    m_page = Page{};
}

void BookBuilder::FinishVolume() {
    std::vector<ImportedPage>& pages = m_volume.pages;
    if (m_editionPages) {
        // A volume that begins inside a page it has no text of, and pages after its text, are
        // not its pages; text before the first page break joins the first page.
        size_t first = 0;
        while (first < pages.size() && pages[first].body.empty() &&
               (m_carried[first] || pages[first].label.empty()))
            ++first;
        size_t end = pages.size();
        while (end > first && pages[end - 1].body.empty()) --end;
        std::vector<ImportedPage> kept(std::make_move_iterator(pages.begin() + long(first)),
                                       std::make_move_iterator(pages.begin() + long(end)));
        if (kept.size() > 1 && kept[0].label.empty() && !m_carried[first]) {
            kept[1].body = kept[0].body + kept[1].body;
            kept.erase(kept.begin());
        }
        pages = std::move(kept);
        m_carried.clear();
    }
    if (m_volumeHasText && !pages.empty()) {
        m_sink(std::move(m_volume));
        ++m_volumesDone;
    }
    m_volume = ImportedVolume{};
    m_volumeHasText = false;
}

void BookBuilder::StartVolume(std::string title) {
    EndBlock();
    const std::string label = m_page.label;
    FlushPage();
    FinishVolume();
    m_volume.title = std::move(title);
    if (m_editionPages) {
        m_page.label = label;
        m_page.carried = !label.empty();
    }
}

void BookBuilder::StartPage(std::string label) {
    const int reopen = m_open ? m_block.level : -1;
    EndBlock();
    FlushPage();
    m_page.label = std::move(label);
    if (reopen >= 0) Open(reopen);
}

void BookBuilder::Finish() {
    EndBlock();
    FlushPage();
    FinishVolume();
}

}  // namespace kolva
