// A book on its way into a source folder: the readers of the outside formats call the builder in
// text order (volumes, pages, paragraphs and headings, text, line breaks, notes), and the builder
// lays the text out as page bodies in the page layout's HTML and cuts it into pages.
//
// Pages are cut in one of two ways. Sized pages (plain text, EPUB, Aozora, TEI without page
// breaks) end at the end of the paragraph that brings them nearest to the page size, a paragraph
// longer than a page at a line end or sentence end; StartPage() still forces a new page. Edition
// pages (TEI with <pb/>) end only where StartPage() is called, so that a page is the printed
// edition's page, its name kept as the page's label.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kolva {

// A fault of an input file, located in the file (and a line when known): "file:line: message".
class ImportError : public std::runtime_error {
public:
    ImportError(const std::filesystem::path& file, size_t line, const std::string& message);
};

// Raised when the caller's cancel flag was set; nothing of the import is left behind.
class ImportCancelled : public std::runtime_error {
public:
    ImportCancelled() : std::runtime_error("the import was cancelled") {}
};

// How a note is set off from the main text around it.
enum class NoteKind {
    kNote,  // a note, footnote, annotation, reading of the apparatus: 〔…〕
    kRuby,  // a reading of the characters before it: 《…》
};

struct ImportedPage {
    std::string body;   // HTML of the body cell
    std::string label;  // the edition's name of the page (TEI <pb n>), empty when none
};

struct ImportedVolume {
    std::string title;  // UTF-8; empty when the reader gave none
    std::vector<ImportedPage> pages;
};

class BookBuilder {
public:
    using VolumeSink = std::function<void(ImportedVolume&&)>;

    // pageChars: the page size of sized pages, in characters other than white space. Each
    // finished volume with text goes to sink. cancel, when given, is polled at every page.
    BookBuilder(size_t pageChars, VolumeSink sink, const std::atomic<bool>* cancel = nullptr);

    // Edition pages: pages end only at StartPage(). Set before the first text.
    void SetEditionPages(bool on) { m_editionPages = on; }

    // Ends the current volume and starts one with this title. Text before the first call goes
    // into a volume without a title.
    void StartVolume(std::string title);
    // Ends the current page; the next one carries label. An open paragraph goes on, on the new
    // page. In edition pages, a volume started after a page began goes on with that page's label.
    void StartPage(std::string label = {});

    void StartParagraph();
    void StartHeading(int level);  // 1 (largest) to 3
    // Ends the open paragraph or heading (none open: nothing happens).
    void EndBlock();

    // Text of the main text (UTF-8). Opens a paragraph when none is open. Line ends and tabs in
    // it count as spaces; other control characters are dropped.
    void Text(std::string_view utf8);
    void LineBreak();
    // A note where it stands (a '\n' in it is a line break). Opens a paragraph when none is open.
    void Note(std::string_view utf8, NoteKind kind = NoteKind::kNote);
    // A paragraph holding the note that closes the book (a colophon), kept on the last page
    // whatever its size.
    void ClosingNote(std::string_view utf8);

    // Ends the last volume. No call may follow.
    void Finish();

    size_t VolumesDone() const { return m_volumesDone; }

private:
    struct Piece {
        enum Kind : unsigned char { kText, kBreak, kNote, kRuby } kind;
        std::string text;  // UTF-8, not escaped
        size_t chars = 0;  // characters other than white space
    };
    struct Block {
        int level = 0;  // 0 paragraph, 1..3 heading
        std::vector<Piece> pieces;
        size_t chars = 0;
        bool HasText() const;
    };
    struct Page {
        std::vector<Block> blocks;
        size_t chars = 0;
        std::string label;
        bool carried = false;  // edition pages: begun in an earlier volume
    };

    void Open(int level);
    void Append(Piece piece);
    void CommitBlock(Block block);
    void SpillOpenBlock();
    void FlushPage();
    void FinishVolume();
    Block CutBlock(Block& block, size_t limit) const;
    std::string Render(const Page& page) const;

    size_t m_pageChars;
    VolumeSink m_sink;
    const std::atomic<bool>* m_cancel;
    bool m_editionPages = false;
    bool m_open = false;  // a paragraph or heading is open
    Block m_block;
    Page m_page;
    ImportedVolume m_volume;
    std::vector<bool> m_carried;  // edition pages: the page of m_volume begun in an earlier volume
    bool m_volumeHasText = false;  // some page of m_volume holds more than headings
    size_t m_volumesDone = 0;
};

// Characters of UTF-8 text that are not white space (what page sizes count).
size_t CountChars(std::string_view utf8);
// Appends text with <, > and & written as references.
void AppendHtmlEscaped(std::string& out, std::string_view text);

}  // namespace kolva
