// The TEI reader on arbitrary bytes: the guarded XML parse, the header's characters, pages,
// volumes, notes and the apparatus. Input: see import_book.h.
#include "import_book.h"

using namespace kolva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ReadBook(data, size, [](std::string_view bytes, BookBuilder& book, BookInfo& info) {
        ReadTei(bytes, "in.xml", book, info);
    });
    return 0;
}
