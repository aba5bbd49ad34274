// The EPUB reader on arbitrary bytes taken as a ZIP archive: entry names, bounded inflation,
// the package, the spine, the table of contents, notes. Input: see import_book.h.
#include "import/zip.h"
#include "import_book.h"

using namespace kolva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ReadBook(data, size, [](std::string_view bytes, BookBuilder& book, BookInfo& info) {
        ZipLimits limits;
        limits.entryBytes = 1 << 20;
        limits.archiveBytes = 4 << 20;
        limits.entries = 1000;
        ZipArchive archive("in.epub", limits, &bytes);
        ReadEpub(archive, book, info);
    });
    return 0;
}
