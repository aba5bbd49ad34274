// Writes the seed corpora of the fuzz targets: small collections made by the core's writers,
// packed in each target's input layout. Usage: kolva_fuzz_seeds <corpus folder>
// (fuzz/corpus holds the committed result; every seed stays a few kilobytes).
#include <algorithm>
#include <cstdio>
#include <iostream>

#include "builder/source.h"
#include "fuzz_support.h"
#include "index_input.h"
#include "pagestore/compose.h"
#include "platform/file.h"
#include "writer/writer.h"

using namespace kolva;
using fuzz::InputWriter;

namespace {

std::filesystem::path g_out;

void Seed(const std::string& target, int number, const InputWriter& input) {
    const std::filesystem::path folder = g_out / target;
    std::filesystem::create_directories(folder);
    char name[32];
    std::snprintf(name, sizeof name, "seed-%02d", number);
    fuzz::WriteFile(folder / name, input.str());
}

std::string ReadAll(const std::filesystem::path& path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) std::abort();
    return bytes;
}

const std::vector<VariantGroup> kGroups = {{0x4E00, 0x5F0C}, {0x56DB, 0x4E96, 0x4EA3}};
const std::string kNote(kNoteOpen);
const std::string kEndNote(kNoteClose);

// Three pages: two laid out from plain text (the body in either cell) and one written in the
// page layout by hand, with a note, a paragraph and a heading barrier.
std::vector<std::string> Pages() {
    return {
        LayoutTextPage("一二三{注四}五\n\n六七一二", u"巻一", 1, "1.txt"),
        LayoutTextPage("二三四。弌二\n{四五}\n", u"巻一", 2, "2.txt"),
        "<html><head><title>巻二 4</title></head><body><table><tr><TD>一<p>二" + kNote +
            "三四" + kEndNote + "<h4>五</h4>一二三</TD><TD>巻二<br>4</TD></tr></table></body></html>",
    };
}

const char* kPageNames[] = {"vol01\\1.htm", "vol01\\2.htm", "vol02\\0004.htm"};
const int kPageNumbers[] = {1, 2, 4};

void PageStoreSeeds(const std::filesystem::path& dir) {
    const std::vector<std::string> pages = Pages();
    int n = 0;
    for (int32_t nameSize : {100, 16}) {
        PageStoreWriter writer(dir, "Index", nameSize);
        for (size_t i = 0; i < pages.size(); ++i) writer.AddPage(kPageNames[i], pages[i]);
        writer.Finish();
        for (const char16_t* keywords : {u"一二", u"二*四 五", u"一?三"}) {
            ++n;
            Seed("pagestore", n,
                 InputWriter().U8(uint8_t(n % 3)).U32(0).U32(uint32_t(1 + n % 3)).Utf16(keywords)
                     .Bytes(ReadAll(dir / "Index-fl.h")).Rest(ReadAll(dir / "Index-fl.cnt")));
        }
    }
}

// The index of the pages, packed as the index target reads it for each keyword string.
void IndexSeeds(const std::filesystem::path& dir) {
    struct Case {
        std::u16string keywords;
        uint8_t flags;  // 1 variants, 2 OR first
        bool longStream;
    } cases[] = {
        {u"一", 0, false},     {u"一二", 0, false}, {u"二*四", 0, false}, {u"一?三", 2, false},
        {u"一 二", 2, false},  {u"弌二", 1, false}, {u"四五", 1, false},  {u"三一", 0, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        // Only the slots the keywords use get postings (at the positions the whole page text
        // gives them), so that the seed holds only the blocks the search can reach.
        const std::vector<int32_t> used = fuzz::KeywordSlots(c.keywords, kGroups, c.flags & 1);
        auto isUsed = [&](int32_t slot) {
            return std::find(used.begin(), used.end(), slot) != used.end();
        };
        IndexWriter writer;
        auto addText = [&](uint32_t page, std::u32string_view text) {
            uint32_t position = 0;
            for (char32_t ch : text) {
                const int32_t slot = CharToSlot(ch);
                if (slot < 0) continue;
                if (isUsed(slot)) writer.AddPosition(slot, page, position);
                for (size_t g = 0; g < kGroups.size(); ++g) {
                    if (std::find(kGroups[g].begin(), kGroups[g].end(), ch) == kGroups[g].end())
                        continue;
                    if (isUsed(kVariantSlotBase + int32_t(g)))
                        writer.AddPosition(kVariantSlotBase + int32_t(g), page, position);
                    break;
                }
                ++position;
            }
        };
        const std::vector<std::string> pages = Pages();
        for (size_t i = 0; i < pages.size(); ++i) {
            PageTexts texts;
            ExtractPageTexts(pages[i], kPageNumbers[i], texts);
            addText(uint32_t(i), texts.whole);
        }
        if (c.longStream) {
            // One page whose entry spans a block end, then many short entries.
            std::u32string many;
            for (int k = 0; k < 1500; ++k) many += U"三一";
            addText(3, many);
            for (uint32_t page = 4; page < 1200; ++page) addText(page, U"三一");
        }
        writer.Write(dir, "Index", BlockOrder::kInterleaved);
        const std::string header = ReadAll(dir / "Index-idx.h");
        const std::string postings = ReadAll(dir / "Index-idx.m");

        std::string entries;
        for (int32_t slot : fuzz::KeywordSlots(c.keywords, kGroups, c.flags & 1)) {
            entries.append(header, size_t(slot) * 4, 4);
            entries.append(header, 1000000 + size_t(slot) * 4, 4);
        }
        std::string table;
        for (const VariantGroup& g : kGroups) {
            for (size_t i = 0; i < g.size(); ++i) {
                char buf[16];
                std::snprintf(buf, sizeof buf, i ? ",%X" : "%X", g[i]);
                table += buf;
            }
            table += "\r\n";
        }
        Seed("index", ++n,
             InputWriter().U8(c.flags).U32(0).Utf16(c.keywords).Bytes(entries)
                 .Bytes(std::string_view(header).substr(size_t(kHeaderTablesSize)))
                 .Bytes(table).Rest(postings));
    }
}

void CatalogueSeeds(const std::filesystem::path& dir) {
    const std::vector<std::vector<CatalogueEntry>> catalogues = {
        {{u"唐詩", 1, 1, 6, 1},  {u"李白", 2, 1, 4, 1}, {u"巻一", 3, 1, 2, 1},
         {u"巻二", 3, 3, 2, 1},  {u"杜甫", 2, 5, 2, 7}, {u"巻一", 3, 5, 2, 7}},
        {{u"類", 1, 1, 3, 1}, {u"書", 2, 1, 3, 1}, {u"孤", 3, 1, 3, 5}, {u"深", 4, 2, 1, 6}},
    };
    InputWriter hits;
    std::string pairs;
    for (uint32_t page : {0u, 2u, 4u, 5u, 9u}) {
        for (int i = 0; i < 4; ++i) pairs += char(page >> (8 * i));
        for (int i = 0; i < 4; ++i) pairs += char((page + 1) >> (8 * i));
    }
    int n = 0;
    for (const auto& entries : catalogues) {
        WriteCatalogue(dir / "kolva.dir", entries);
        Seed("catalogue", ++n, InputWriter().Bytes(pairs).Rest(ReadAll(dir / "kolva.dir")));
    }
}

void VariantSeeds(const std::filesystem::path& dir) {
    WriteVariantTable(dir / "yitizi.txt", kGroups);
    const std::string written = ReadAll(dir / "yitizi.txt");
    const std::string tables[] = {written, "4E00,4E01\r\n\r\n,,\n 0x4e02,+4E03,-1,zz\n20000,4E04\n"};
    int n = 0;
    for (const std::string& table : tables) {
        for (const char16_t* keywords : {u"一四", u"弌 亖*?", u"\xD840\xDC00一"}) {
            std::string bytes;
            for (const char16_t* u = keywords; *u; ++u) bytes += char(*u & 0xFF), bytes += char(*u >> 8);
            Seed("variants", ++n, InputWriter().Bytes(table).Rest(bytes));
        }
    }
}

void ComposeSeeds() {
    const std::vector<std::string> pages = Pages();
    const std::string table = "4E00,5F0C\n56DB,4E96\n";
    struct Case {
        size_t page;
        uint8_t mode;   // 0 whole text, 1 notes, 2 main text
        uint8_t flags;  // 1 variants, 2 odd page number, 4 OR
        std::u16string keywords;
    } cases[] = {
        {0, 0, 2, u"一二"},       {0, 2, 6, u"四 三"},    {0, 1, 2, u"四"},
        {1, 0, 0, u"二*四"},      {1, 0, 1, u"弌二"},     {2, 0, 4, u"一*三 二?四"},
        {2, 1, 5, u"四　五"},     {2, 0, 0, u"?*"},       {0, 0, 3, u"\xD800一"},
        {1, 0, 4, u"一*二三 二"},
    };
    int n = 0;
    for (const Case& c : cases)
        Seed("compose", ++n,
             InputWriter().U8(c.mode).U8(c.flags).Utf16(c.keywords).Bytes(table)
                 .Rest(pages[c.page]));
}

void SourceSeeds() {
    const std::string texts[] = {
        "1\t唐詩\n2\t李白\n3\t巻一\tlibai/v1\n3\t巻二\tlibai/v2\n# comment\n2\t杜甫\n3\t巻一\tdufu\n",
        "\xEF\xBB\xBF" "1\tA\r\n2\tB\r\n3\tC\tx/y/\r\n",
        "一二三{注四}五\n\n六七<&>\n一二\n",
        "牀前明月光\r\n{疑是}地上霜\r\n\r\n舉頭望明月\n",
        Pages()[2],
        "\xED\xA0\x80\xF0\x90\x80\x80\xC3\xA9",
    };
    int n = 0;
    for (const std::string& text : texts) {
        ++n;
        Seed("source", n, InputWriter().U16(uint16_t(n)).Utf16(u"巻一").Rest(text));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kolva_fuzz_seeds <corpus folder>\n";
        return 2;
    }
    g_out = argv[1];
    const std::filesystem::path dir = fuzz::WorkFolder();
    PageStoreSeeds(dir);
    IndexSeeds(dir);
    CatalogueSeeds(dir);
    VariantSeeds(dir);
    ComposeSeeds();
    SourceSeeds();
    return 0;
}
