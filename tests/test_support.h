// Shared helpers of the core tests: a temporary folder and small collections made by the writer.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "builder/source.h"
#include "index/index.h"
#include "pagestore/filelist.h"
#include "pagestore/hitmark.h"
#include "writer/writer.h"

namespace kolva::test {

// A fresh folder under the temporary location, removed with everything in it at the end.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kolva-test-XXXXXX");
        if (!mkdtemp(pattern.data())) std::abort();
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The record name of page number n: "vol\0001.htm".
inline std::string PageName(int n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "vol\\%04d.htm", n);
    return buf;
}

// A collection whose page i (numbered i + 1) has the given indexed text; the same positions go
// into all three index pairs. Page bodies are a minimal page holding nothing.
inline void WriteCollection(const std::filesystem::path& folder,
                            const std::vector<std::u32string>& pages,
                            const std::vector<VariantGroup>& groups = {},
                            BlockOrder order = BlockOrder::kSequential) {
    PageStoreWriter store(folder);
    for (size_t i = 0; i < pages.size(); ++i) store.AddPage(PageName(int(i) + 1), "<html></html>");
    store.Finish();
    IndexWriter index(groups);
    for (size_t i = 0; i < pages.size(); ++i) index.AddText(uint32_t(i), pages[i]);
    for (int mode : {0, 1, 2}) index.Write(folder, IndexFileStem("Index", mode), order);
    if (!groups.empty()) WriteVariantTable(folder / "yitizi.txt", groups);
}

// A collection of stored pages (record name, HTML), indexed as kolva-build indexes them: the
// body text of each page (pagestore/page_text.h) in the index pair of each of the three texts.
inline void WritePages(const std::filesystem::path& folder,
                       const std::vector<std::pair<std::string, std::string>>& pages,
                       const std::vector<VariantGroup>& groups = {}) {
    PageStoreWriter store(folder);
    IndexWriter whole(groups), notes(groups), main(groups);
    for (size_t i = 0; i < pages.size(); ++i) {
        store.AddPage(pages[i].first, pages[i].second);
        int number = 0;
        if (!PageNumberFromName(pages[i].first, number)) number = 0;
        PageTexts texts;
        ExtractPageTexts(pages[i].second, number, texts);
        whole.AddText(uint32_t(i), texts.whole);
        notes.AddText(uint32_t(i), texts.notes);
        main.AddText(uint32_t(i), texts.main);
    }
    store.Finish();
    whole.Write(folder, IndexFileStem("Index", kModeWholeText));
    notes.Write(folder, IndexFileStem("Index", kModeNotes));
    main.Write(folder, IndexFileStem("Index", kModeMainText));
    if (!groups.empty()) WriteVariantTable(folder / "yitizi.txt", groups);
}

// The anchor the marker writes for hit n, and a literal's mark: anchor first, then the marked
// bytes.
inline std::string Anchor(int n) {
    std::string out;
    AppendAnchor(out, n);
    return out;
}
inline std::string Hit(int n, const std::string& text) {
    return Anchor(n) + std::string(kMarkOpen) + text + std::string(kMarkClose);
}

// An index that records its messages instead of showing them.
struct QuietIndex {
    std::vector<std::u16string> messages;
    CIndex index{[this](std::u16string_view m) { messages.emplace_back(m); }};
};

// A search's pages and counts as (page, count) pairs.
inline std::vector<std::pair<uint32_t, uint32_t>> Results(const SearchResult& result) {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (size_t i = 0; i < result.pages.size(); ++i)
        out.emplace_back(result.pages[i], result.counts[i]);
    return out;
}

}  // namespace kolva::test
