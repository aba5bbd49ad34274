// Reading a collection source: the catalogue "catalogue.txt", the volume folders with their
// pages (HTML in the page layout, or plain text the builder lays out), and the optional variant
// table. Every error names the file and line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kolva {

// A fault in a collection source, located in a file (and a line when known).
class SourceError : public std::runtime_error {
public:
    SourceError(const std::filesystem::path& file, size_t line, const std::string& message);
};

struct SourcePage {
    uint16_t number = 0;          // page number
    std::string digits;           // the number as written in the file name
    std::filesystem::path file;   // the page file
    bool html = false;            // in the page layout already (else plain text)
};

struct SourceEntry {
    int level = 1;
    std::u16string title;
    std::string folder;             // volumes: the page folder, relative, with "/"
    size_t line = 0;                // line in catalogue.txt
    std::vector<SourcePage> pages;  // volumes: in page-number order, consecutive
};

struct CollectionSource {
    std::filesystem::path root;
    std::vector<SourceEntry> entries;
    std::string variantTable;  // bytes of yitizi.txt; empty when there is none
    uint64_t pageBytes = 0;    // total size of all page files
    size_t pageCount = 0;
};

// Parses catalogue.txt (pages are not listed yet).
std::vector<SourceEntry> ParseCatalogueText(std::string_view bytes,
                                            const std::filesystem::path& file);
// Reads a whole source folder and checks it.
CollectionSource ReadCollectionSource(const std::filesystem::path& root);

// The record name of a page: the folder with backslashes, a backslash, the digits, ".htm".
std::string PageRecordName(const SourceEntry& volume, const SourcePage& page);

// Lays a plain text page out in the page layout.
std::string LayoutTextPage(std::string_view text, std::u16string_view volumeTitle,
                           uint16_t pageNumber, const std::filesystem::path& file);

// A page in the page layout around a body that is HTML already (title and label are HTML too):
// the body in the cell its page number gives, the label in the other.
std::string FramePage(std::string_view title, std::string_view body, std::string_view label,
                      int pageNumber);

// The indexed texts of a page: its body cell (by page number) as the page parser and the note
// splitter read it, outside tags; whole text, main text and notes.
struct PageTexts {
    std::u32string whole, main, notes;
};
void ExtractPageTexts(std::string_view html, int pageNumber, PageTexts& texts);

}  // namespace kolva
