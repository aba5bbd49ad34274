// The readers of the outside formats. Each reads one file and hands its text to a BookBuilder in
// reading order: volumes, (edition) pages, headings and paragraphs, notes where they stand. What
// the file says of itself (title, author) comes back in BookInfo. Every fault raises ImportError
// naming the file (and the line where there is one).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "import/book.h"
#include "import/zip.h"

namespace kolva {

struct BookInfo {
    std::string title;   // UTF-8; empty when the file does not say
    std::string author;  // UTF-8; empty when the file does not say
};

// Plain text (UTF-8, converted already): paragraphs between empty lines, lines kept; a line
// that reads as a chapter heading (第…章, 第…回, 卷…, 序, 楔子 …) starts a volume.
void ReadPlainText(std::string_view utf8, const std::filesystem::path& file, BookBuilder& book,
                   BookInfo& info);

// An Aozora Bunko text (UTF-8, converted already): the header's title and author, the symbols'
// explanation left out, ruby and annotations as notes, headings and page breaks as structure,
// JIS X 0213 characters as Unicode, the colophon (底本…) a note of the last page.
void ReadAozora(std::string_view utf8, const std::filesystem::path& file, BookBuilder& book,
                BookInfo& info);
// Whether decoded text looks like an Aozora Bunko file (a dashed explanation block near the top,
// or annotations together with a colophon).
bool LooksLikeAozora(std::string_view utf8);

// A TEI P5 document: <pb/> pages, <lb/> lines, divisions or fascicles as volumes, notes, the
// apparatus, <g/> through the header's character declarations.
void ReadTei(std::string_view bytes, const std::filesystem::path& file, BookBuilder& book,
             BookInfo& info);

// An EPUB 2 or 3 book: the spine in order, volumes from the table of contents, footnotes,
// endnotes and ruby readings as notes, images by their alternative text.
void ReadEpub(ZipArchive& archive, BookBuilder& book, BookInfo& info);

}  // namespace kolva
