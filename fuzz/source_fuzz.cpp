// The builder's source reader on arbitrary bytes: the catalogue text, the layout of a plain text
// page, strict UTF-8 decoding and the extraction of a page's indexed texts.
//
// Input: uint16 page number | volume title (UTF-16) | rest: the bytes
#include "builder/source.h"
#include "fuzz_support.h"
#include "pagestore/compose.h"
#include "text/utf8.h"

using namespace kolva;

namespace {

void Encode(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6), out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | c >> 12), out += char(0x80 | (c >> 6 & 0x3F)), out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | c >> 18), out += char(0x80 | (c >> 12 & 0x3F));
        out += char(0x80 | (c >> 6 & 0x3F)), out += char(0x80 | (c & 0x3F));
    }
}

// A successful decode is the input's exact meaning: encoding it again gives the input back.
void CheckDecode(std::string_view bytes, bool surrogates) {
    std::u32string text;
    size_t bad = size_t(-1);
    if (DecodeUtf8(bytes, text, bad, surrogates)) {
        std::string again;
        for (char32_t c : text) {
            fuzz::Check(c <= 0x10FFFF && (surrogates || c < 0xD800 || c > 0xDFFF));
            Encode(c, again);
        }
        fuzz::Check(again == bytes);
    } else {
        fuzz::Check(bad < bytes.size());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InputReader in(data, size);
    const uint16_t pageNumber = in.U16();
    const std::u16string title = in.Utf16();
    const std::string_view bytes = in.Rest();

    CheckDecode(bytes, false);
    CheckDecode(bytes, true);
    try {
        const std::vector<SourceEntry> entries = ParseCatalogueText(bytes, "catalogue.txt");
        fuzz::Check(!entries.empty() && entries.front().level == 1);
        for (const SourceEntry& e : entries)
            fuzz::Check(e.level >= 1 && e.level <= 3 && !e.title.empty() && e.title.size() <= 99);
    } catch (const SourceError&) {
    }
    PageTexts texts;
    try {
        const std::string html = LayoutTextPage(bytes, title, pageNumber, "0001.txt");
        ExtractPageTexts(html, pageNumber, texts);
        fuzz::Check(texts.whole.size() == texts.main.size() + texts.notes.size());
    } catch (const SourceError&) {
    }
    ExtractPageTexts(bytes, pageNumber, texts);
    fuzz::Check(texts.whole.size() == texts.main.size() + texts.notes.size());
    return 0;
}
