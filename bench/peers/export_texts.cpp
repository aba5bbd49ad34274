// kolva_export_texts SOURCE OUTDIR: writes the text that each index searches, for the peers of
// bench/compare. For every target (whole, main, notes) OUTDIR/<target>.txt holds one line per
// page in page-index order: the page's indexed characters only (those with a slot), because the
// index numbers positions over exactly that sequence, so a phrase matches across punctuation.
// With --files, every page also becomes OUTDIR/files/<target>/<page / 1000>/<page>, the same
// characters, for a scan that counts per file.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "builder/builder.h"
#include "builder/source.h"
#include "text/codeconverter.h"
#include "text/utf8.h"
#include "index/index.h"
#include "platform/file.h"

namespace {

using namespace kolva;

void AppendIndexed(std::u32string_view text, std::string& out) {
    for (char32_t c : text) {
        if (CharToSlot(uint32_t(c)) < 0) continue;
        AppendCodePointUtf8(c, out);
    }
}

int Run(const std::filesystem::path& sourceDir, const std::filesystem::path& out, bool files) {
    const CollectionSource source = ReadCollectionSource(sourceDir);
    std::filesystem::create_directories(out);
    const char* names[3] = {"whole", "main", "notes"};
    std::ofstream lines[3];
    for (int t = 0; t < 3; ++t) {
        lines[t].open(out / (std::string(names[t]) + ".txt"), std::ios::binary | std::ios::trunc);
        if (!lines[t]) throw std::runtime_error("cannot write into " + out.string());
    }
    uint32_t pageIndex = 0;
    std::string bytes, text;
    PageTexts texts;
    for (const SourceEntry& volume : source.entries) {
        for (const SourcePage& page : volume.pages) {
            if (!ReadWholeFile(page.file, bytes)) throw SourceError(page.file, 0, "cannot read the page");
            const std::string html =
                page.html ? bytes : LayoutTextPage(bytes, volume.title, page.number, page.file);
            ExtractPageTexts(html, page.number, texts);
            const std::u32string* parts[3] = {&texts.whole, &texts.main, &texts.notes};
            for (int t = 0; t < 3; ++t) {
                text.clear();
                AppendIndexed(*parts[t], text);
                lines[t] << text << '\n';
                if (files) {
                    const std::filesystem::path dir =
                        out / "files" / names[t] / std::to_string(pageIndex / 1000);
                    if (pageIndex % 1000 == 0) std::filesystem::create_directories(dir);
                    std::ofstream f(dir / std::to_string(pageIndex), std::ios::binary);
                    f << text << '\n';
                    if (!f) throw std::runtime_error("cannot write " + dir.string());
                }
            }
            ++pageIndex;
        }
    }
    for (auto& l : lines) {
        l.close();
        if (!l) throw std::runtime_error("cannot write into " + out.string());
    }
    std::cerr << "exported " << pageIndex << " pages\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool files = argc == 4 && std::strcmp(argv[3], "--files") == 0;
    if (argc != 3 && !files) {
        std::cerr << "Usage: kolva_export_texts SOURCE OUTDIR [--files]\n";
        return 2;
    }
    try {
        return Run(argv[1], argv[2], files);
    } catch (const std::exception& e) {
        std::cerr << "kolva_export_texts: " << e.what() << '\n';
        return 1;
    }
}
