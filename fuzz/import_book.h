// Shared piece of the importer's fuzz targets: a book builder whose pages are framed and read
// back as the collection builder reads them, so that every page a reader makes is one the rest
// of the program can index.
//
// Input of every importer target: uint8 page size (in eights of characters, plus one) | rest:
// the file's bytes.
#pragma once

#include "builder/source.h"
#include "fuzz_support.h"
#include "import/readers.h"
#include "text/utf8.h"

namespace kolva::fuzz {

inline void CheckVolume(ImportedVolume&& volume) {
    Check(!volume.pages.empty());
    int number = 1;
    for (const ImportedPage& page : volume.pages) {
        size_t bad;
        Check(AppendUtf8Decoded(page.body, nullptr, bad));
        const std::string html = FramePage("t", page.body, "l", number);
        PageTexts texts;
        ExtractPageTexts(html, number++, texts);
        Check(texts.whole.size() == texts.main.size() + texts.notes.size());
    }
}

// Runs read(book, info) on a builder of the input's page size; a fault of the file is fine.
template <class Read>
void ReadBook(const uint8_t* data, size_t size, Read read) {
    if (size == 0) return;
    BookBuilder book(1 + size_t(data[0]) * 8, CheckVolume);
    BookInfo info;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        read(bytes, book, info);
        book.Finish();
    } catch (const ImportError&) {
    }
}

}  // namespace kolva::fuzz
