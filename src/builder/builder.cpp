#include "builder/builder.h"

#include <chrono>

#include "catalogue/catalogue.h"
#include "index/index.h"
#include "pagestore/filelist.h"
#include "platform/file.h"
#include "writer/writer.h"

namespace kolva {

namespace {

// An HTML page must carry what the page parser looks for.
void CheckPageLayout(std::string_view html, const std::filesystem::path& file) {
    size_t title = html.find("<title");
    size_t titleEnd = html.find("</title>", title);
    size_t cell1 = html.find("<TD", titleEnd);
    size_t cell2 = html.find("<TD", cell1 == std::string_view::npos ? cell1 : cell1 + 3);
    if (title == std::string_view::npos || titleEnd == std::string_view::npos ||
        cell2 == std::string_view::npos || html.find("</TD", cell2) == std::string_view::npos)
        throw SourceError(file, 0,
                          "the page is not in the page layout (a <title> element, then two "
                          "cells opened by <TD and closed by </TD)");
}

std::vector<CatalogueEntry> CatalogueEntries(const CollectionSource& source) {
    std::vector<CatalogueEntry> entries;
    std::vector<size_t> open;  // entries whose subtree is still being read
    uint32_t pageIndex = 0;
    for (const SourceEntry& e : source.entries) {
        while (!open.empty() && entries[open.back()].level >= e.level) open.pop_back();
        entries.push_back(CatalogueEntry{e.title, e.level, int32_t(pageIndex + 1), 0, 0});
        open.push_back(entries.size() - 1);
        if (e.pages.empty()) continue;
        for (size_t i : open) {
            CatalogueEntry& a = entries[i];
            if (a.docNo == 0) {
                a.docID = int32_t(pageIndex + 1);
                a.curFileName = e.pages.front().number;
            }
            a.docNo += int32_t(e.pages.size());
        }
        pageIndex += uint32_t(e.pages.size());
    }
    return entries;
}

}  // namespace

const std::vector<std::string>& CollectionFileNames() {
    static const std::vector<std::string> names = {
        "Index-fl.h",         "Index-fl.cnt",      "Index-idx.h",         "Index-idx.m",
        "Index_desc-idx.h",   "Index_desc-idx.m",  "Index_content-idx.h", "Index_content-idx.m",
        "yitizi.txt",         "kolva.dir"};
    return names;
}

BuildResult BuildCollection(const CollectionSource& source, const std::filesystem::path& folder,
                            const std::function<void(const BuildProgress&)>& progress) {
    const std::vector<VariantGroup> groups = ParseVariantTable(source.variantTable);
    PageStoreWriter store(folder);
    IndexWriter whole(groups, folder / "Index-idx.m");
    IndexWriter notes(groups, folder / (IndexFileStem("Index", kModeNotes) + "-idx.m"));
    IndexWriter main(groups, folder / (IndexFileStem("Index", kModeMainText) + "-idx.m"));

    BuildProgress state;
    state.pageCount = source.pageCount;
    state.bytesTotal = source.pageBytes;
    uint32_t pageIndex = 0;
    std::string bytes;
    PageTexts texts;
    for (const SourceEntry& volume : source.entries) {
        for (const SourcePage& page : volume.pages) {
            if (!ReadWholeFile(page.file, bytes)) throw SourceError(page.file, 0, "cannot read the page");
            state.bytesDone += bytes.size();
            std::string html;
            if (page.html) {
                std::u32string ignored;
                size_t bad;
                if (!DecodeUtf8(bytes, ignored, bad))
                    throw SourceError(page.file,
                                      size_t(std::count(bytes.begin(), bytes.begin() + long(bad), '\n')) + 1,
                                      "the text is not UTF-8");
                CheckPageLayout(bytes, page.file);
                html.swap(bytes);
            } else {
                html = LayoutTextPage(bytes, volume.title, page.number, page.file);
            }
            ExtractPageTexts(html, page.number, texts);
            try {
                store.AddPage(PageRecordName(volume, page), html);
                whole.AddText(pageIndex, texts.whole);
                main.AddText(pageIndex, texts.main);
                notes.AddText(pageIndex, texts.notes);
            } catch (const WriterError& e) {
                throw SourceError(page.file, 0, e.what());
            }
            ++pageIndex;
            ++state.pagesDone;
            if (progress) progress(state);
        }
    }

    store.Finish();
    whole.Write(folder, IndexFileStem("Index", kModeWholeText));
    notes.Write(folder, IndexFileStem("Index", kModeNotes));
    main.Write(folder, IndexFileStem("Index", kModeMainText));
    WriteCatalogue(folder / "kolva.dir", CatalogueEntries(source));
    std::ofstream table(folder / "yitizi.txt", std::ios::binary | std::ios::trunc);
    table.write(source.variantTable.data(), std::streamsize(source.variantTable.size()));
    table.close();
    if (!table) throw WriterError("cannot write " + (folder / "yitizi.txt").string());
    return BuildResult{pageIndex, whole.PositionCount()};
}

}  // namespace kolva
