// The plain text reader on arbitrary bytes: the encoding told and converted, the lines read,
// chapters and pages cut. Input: see import_book.h.
#include "import/textfile.h"
#include "import_book.h"

using namespace kolva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ReadBook(data, size, [](std::string_view bytes, BookBuilder& book, BookInfo& info) {
        const DecodedText text = DecodeText(bytes, {}, "in.txt");
        ReadPlainText(text.utf8, "in.txt", book, info);
    });
    return 0;
}
