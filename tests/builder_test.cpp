#include <gtest/gtest.h>

#include <random>

#include "builder/builder.h"
#include "catalogue/catalogue.h"
#include "pagestore/compose.h"
#include "pagestore/hitmark.h"
#include "pagestore/page_text.h"
#include "test_support.h"
#include "writer/pairs_writer.h"

namespace kolva {
namespace {

using test::TempDir;
using test::WriteBytes;
using Hits = std::vector<std::pair<uint32_t, uint32_t>>;

std::string Utf8(std::u32string_view text) {
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6), out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12), out += char(0x80 | (c >> 6 & 0x3F)),
                out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18), out += char(0x80 | (c >> 12 & 0x3F)),
                out += char(0x80 | (c >> 6 & 0x3F)), out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Utf16(std::u32string_view text) {
    std::u16string out;
    for (char32_t c : text) out += char16_t(c);  // the test alphabet is in the BMP
    return out;
}

// Occurrences of phrase in text, overlapping ones included.
uint32_t CountIn(const std::u32string& text, const std::u32string& phrase) {
    uint32_t n = 0;
    for (size_t at = text.find(phrase); at != std::u32string::npos; at = text.find(phrase, at + 1)) ++n;
    return n;
}

std::u32string Indexed(const std::u32string& text) {
    std::u32string out;
    for (char32_t c : text)
        if (CharToSlot(c) >= 0) out += c;
    return out;
}

// A source of random pages whose main text and notes the test knows.
struct RandomSource {
    std::vector<std::u32string> whole, main, notes;  // indexed text per page index

    void Write(const std::filesystem::path& root, std::mt19937& rng) {
        const std::u32string alphabet = U"一二三四、a 。";
        std::string catalogue = "1\t類\n";
        int pageIndex = 0;
        for (int book = 0; book < 2; ++book) {
            catalogue += "2\t書" + std::to_string(book) + "\n";
            for (int vol = 0; vol < 2; ++vol) {
                const std::string folder = "b" + std::to_string(book) + "/v" + std::to_string(vol);
                catalogue += "3\t巻" + std::to_string(vol) + "\t" + folder + "\n";
                std::filesystem::create_directories(root / folder);
                const int first = 1 + int(rng() % 3);
                for (int k = 0; k < 12; ++k, ++pageIndex) WritePage(root / folder, first + k, rng, alphabet);
            }
        }
        WriteBytes(root / "catalogue.txt", catalogue);
    }

    void WritePage(const std::filesystem::path& folder, int number, std::mt19937& rng,
                   const std::u32string& alphabet) {
        std::u32string w, m, n;
        std::string body;
        const bool html = rng() % 4 == 0;
        for (int seg = 0; seg < 6; ++seg) {
            const bool note = rng() % 3 == 0;
            std::u32string text;
            for (size_t len = rng() % 40; len > 0; --len) text += alphabet[rng() % alphabet.size()];
            (note ? n : m) += text;
            w += text;
            std::string t = Utf8(text);
            if (note)
                body += html ? std::string(kNoteOpen) + t + std::string(kNoteClose) : "{" + t + "}";
            else
                body += html ? "<b>" + t + "</b>" : t + (rng() % 3 == 0 ? "\n\n" : "\n");
        }
        whole.push_back(Indexed(w));
        main.push_back(Indexed(m));
        notes.push_back(Indexed(n));
        if (!html) {
            WriteBytes(folder / (std::to_string(number) + ".txt"), body);
            return;
        }
        const std::string other = "<p>頁</p>";
        const bool first = number % 2 == 0;
        WriteBytes(folder / ("000" + std::to_string(number) + ".htm"),
                   "<html><head><title>t</title></head><body><table><tr><TD>" +
                       (first ? body : other) + "</TD><TD>" + (first ? other : body) +
                       "</TD></tr></table></body></html>");
    }
};

TEST(Builder, SearchFindsWhatTheSourceHoldsForEachTarget) {
    TempDir src, out;
    std::mt19937 rng(42);
    RandomSource source;
    source.Write(src.path(), rng);
    BuildCollection(ReadCollectionSource(src.path()), out.path());

    const std::vector<std::u32string>* texts[] = {&source.whole, &source.notes, &source.main};
    for (int mode : {kModeWholeText, kModeNotes, kModeMainText}) {
        CIndex index;
        ASSERT_TRUE(index.Open(out.path(), "Index", mode));
        const auto& pages = *texts[mode];
        for (int round = 0; round < 60; ++round) {
            const std::u32string& from = pages[rng() % pages.size()];
            if (from.empty()) continue;
            const size_t len = 1 + rng() % 4, at = rng() % from.size();
            const std::u32string phrase = from.substr(at, len);
            Hits expected;
            for (size_t p = 0; p < pages.size(); ++p)
                if (uint32_t n = CountIn(pages[p], phrase)) expected.emplace_back(uint32_t(p), n);
            ASSERT_EQ(test::Results(index.SearchAnd(Utf16(phrase), false)), expected)
                << "mode " << mode;
        }
    }
}

TEST(Builder, CatalogueSpansAndOutputAreDeterministic) {
    TempDir src, out1, out2;
    std::mt19937 rng(7);
    RandomSource source;
    source.Write(src.path(), rng);
    WriteBytes(src / "yitizi.txt", "4E00,5F0C\n");
    const CollectionSource read = ReadCollectionSource(src.path());
    EXPECT_EQ(BuildCollection(read, out1.path()).pages, 48u);
    BuildCollection(read, out2.path());
    for (const std::string& name : CollectionFileNames())
        EXPECT_EQ(test::ReadBytes(out1 / name), test::ReadBytes(out2 / name)) << name;
    EXPECT_EQ(test::ReadBytes(out1 / "yitizi.txt"), "4E00,5F0C\n");

    CCatalogue catalogue;
    ASSERT_TRUE(catalogue.Load(out1 / "kolva.dir", {}));
    ASSERT_EQ(catalogue.NodeCount(), 8);
    const CatalogueRecord& top = catalogue.Record(1);
    EXPECT_EQ(top.docID, 1);
    EXPECT_EQ(top.docNo, 48);
    const CatalogueRecord& secondVolume = catalogue.Record(4);
    EXPECT_EQ(secondVolume.level, 3);
    EXPECT_EQ(secondVolume.docID, 13);
    EXPECT_EQ(secondVolume.docNo, 12);
    CFileList store;
    ASSERT_TRUE(store.Open(out1.path(), "Index"));
    EXPECT_EQ(store.GetHeaderCount(), 48);
    int found;
    ASSERT_TRUE(store.FindPage(secondVolume.docID - 1, secondVolume.firstPage, found));
    EXPECT_EQ(found, 12);
    std::string name;
    ASSERT_TRUE(store.GetPageName(12, name));
    EXPECT_EQ(name.substr(0, 6), "b0\\v1\\");
}

// Enough pages and characters for many blocks per index filling in turn, many batches for the
// index threads, variant groups and notes.
void WriteManyBlocksSource(const std::filesystem::path& src, int pagesPerVolume = 120) {
    std::mt19937 rng(11);
    std::string catalogue = "1\t類\n2\t書\n";
    for (int vol = 0; vol < 3; ++vol) {
        const std::string folder = "v" + std::to_string(vol);
        catalogue += "3\t巻" + std::to_string(vol) + "\t" + folder + "\n";
        std::filesystem::create_directories(src / folder);
        for (int number = 1; number <= pagesPerVolume; ++number) {
            auto character = [&] {
                const uint32_t r = rng() % 64;
                return char32_t(0x4E00 + r * r / 64 + rng() % 3);  // frequent and rare ones
            };
            std::u32string text;
            for (int i = 0; i < 1500; ++i) {
                text += character();
                if (rng() % 40 == 0) text += rng() % 2 ? U"\n" : U"。";
                if (rng() % 20 == 0) {
                    text += U'{';
                    for (uint32_t n = 1 + rng() % 12; n > 0; --n) text += character();
                    text += U'}';
                }
            }
            WriteBytes(src / folder / (std::to_string(number) + ".txt"), Utf8(text));
        }
    }
    WriteBytes(src / "catalogue.txt", catalogue);
    WriteBytes(src / "yitizi.txt", "4E00,4E01\n4E07,842C,4E08\n");
}

TEST(Builder, IndexThreadsWriteTheBytesOfOneThread) {
    TempDir src, threaded, single;
    WriteManyBlocksSource(src.path());
    const CollectionSource read = ReadCollectionSource(src.path());
    BuildCollection(read, threaded.path());
    BuildCollection(read, single.path(), {}, BuildOptions{false});
    for (const std::string& name : CollectionFileNames())
        EXPECT_EQ(test::ReadBytes(threaded / name), test::ReadBytes(single / name)) << name;
    for (const char* postings : {"Index-idx.m", "Index_desc-idx.m", "Index_content-idx.m"})
        EXPECT_GT(std::filesystem::file_size(threaded / postings), 20 * kBlockSize) << postings;
}

// The pairs files written with the build, from what the index writers recorded, are those made
// from the written files afterwards (frequent characters on enough pages for stored points).
TEST(Builder, PairsFilesOfTheBuildAreThoseOfTheFiles) {
    TempDir src, out;
    WriteManyBlocksSource(src.path(), 180);
    BuildOptions options;
    options.pairsFiles = true;
    BuildCollection(ReadCollectionSource(src.path()), out.path(), {}, options);
    const char* const names[] = {"Index-idx.pairs", "Index_desc-idx.pairs",
                                 "Index_content-idx.pairs"};
    std::vector<std::string> built;
    for (const char* name : names) built.push_back(test::ReadBytes(out / name));
    AccelerateCollection(out.path());
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(test::ReadBytes(out / names[i]), built[i]) << names[i];
}

TEST(Builder, TheFirstFaultInPageOrderIsRaisedWithOrWithoutIndexThreads) {
    // A fault the index finds and one the reading finds, either first; far enough apart that the
    // reading runs ahead of the index threads past the first.
    const std::string tooMany = [] {
        std::string s;
        for (int i = 0; i < 70000; ++i) s += "一";
        return s;
    }();
    struct Case {
        int indexFaultPage, sourceFaultPage;
        std::string error;
    } cases[] = {
        {2, 90, "2.txt: one page holds too many positions"},
        {90, 2, "2.txt:2: the text is not UTF-8"},
    };
    for (const Case& c : cases) {
        TempDir src;
        WriteBytes(src / "catalogue.txt", "1\tA\n2\tB\n3\tC\tv\n");
        std::filesystem::create_directories(src / "v");
        for (int number = 1; number <= 100; ++number)
            WriteBytes(src / "v" / (std::to_string(number) + ".txt"),
                       number == c.indexFaultPage    ? tooMany
                       : number == c.sourceFaultPage ? "二\n\xc0\xaf"
                                                     : "二三");
        const CollectionSource read = ReadCollectionSource(src.path());
        for (bool threads : {true, false}) {
            TempDir out;
            try {
                BuildCollection(read, out.path(), {}, BuildOptions{threads});
                ADD_FAILURE() << c.error << ": no error";
            } catch (const SourceError& e) {
                EXPECT_NE(std::string(e.what()).find("/v/" + c.error), std::string::npos)
                    << threads << ": " << e.what();
            }
        }
    }
}

TEST(Builder, BadSourcesNameTheFileAndLine) {
    struct Case {
        const char* what;
        std::string catalogue;
        std::vector<std::pair<std::string, std::string>> files;
        std::string error;
    };
    const std::string ok = "1\tA\n2\tB\n3\tC\tv\n";
    const std::string longFolder(100, 'x');
    std::string manyEntries = "1\tA\n";
    for (int i = 0; i < 10000; ++i) manyEntries += "2\tB\n";
    std::string manyGroups;
    for (int i = 0; i < 11936; ++i) manyGroups += "4E00\n";
    const Case cases[] = {
        {"unknown level", "1\tA\n4\tB\n", {}, "catalogue.txt:2: unknown level \"4\""},
        {"first not a category", "2\tA\n", {}, "catalogue.txt:1: the first entry"},
        {"level jump", "1\tA\n3\tC\tv\n", {{"v/1.txt", "一"}}, "catalogue.txt:2: a level-3 entry"},
        {"volume without folder", "1\tA\n2\tB\n3\tC\n", {}, "catalogue.txt:3: a volume line"},
        {"missing folder", ok, {}, "catalogue.txt:3: the page folder v does not exist"},
        {"empty volume", ok, {{"v/notes.md", ""}}, "catalogue.txt:3: the volume v has no pages"},
        {"page 0", ok, {{"v/0.txt", "一"}}, "0.txt: a page number must lie between 1 and 65535"},
        {"page beyond 16 bits", ok, {{"v/65536.txt", "一"}}, "65536.txt: a page number must lie"},
        {"repeated page", ok, {{"v/1.txt", "一"}, {"v/01.htm", "一"}}, "appears twice"},
        {"gap", ok, {{"v/1.txt", "一"}, {"v/3.txt", "一"}}, "page 2 is missing"},
        {"long name", "1\tA\n2\tB\n3\tC\t" + longFolder + "\n", {{longFolder + "/1.txt", "一"}},
         "longer than the 99 bytes of the name field"},
        {"long title", "1\t" + std::string(100, 'T') + "\n", {}, "catalogue.txt:1: a title may have"},
        {"too many entries", manyEntries, {}, "catalogue.txt:10000: a catalogue holds at most 9999"},
        {"too many groups", ok, {{"v/1.txt", "一"}, {"yitizi.txt", manyGroups}},
         "yitizi.txt: 11936 variant groups; a collection holds at most 11935"},
        {"catalogue not UTF-8", "1\tA\n2\t\xff\n", {}, "catalogue.txt:2: the text is not UTF-8"},
        {"page not UTF-8", ok, {{"v/1.txt", "一\n\xc0\xaf"}}, "1.txt:2: the text is not UTF-8"},
        {"unclosed note", ok, {{"v/1.txt", "一\n{二\n"}}, "1.txt:2: a note is not closed"},
        {"nested note", ok, {{"v/1.txt", "{一{二}}"}}, "1.txt:1: notes may not nest"},
        {"stray brace", ok, {{"v/1.txt", "一}"}}, "1.txt:1: a } closes no note"},
        {"note over a paragraph", ok, {{"v/1.txt", "{一\n\n二}"}}, "a note may not run over"},
        {"html not in layout", ok, {{"v/1.htm", "<html><p>一</p></html>"}}, "not in the page layout"},
        {"positions past 65535 bytes", ok, {{"v/1.txt", std::string(70000 * 3, '\0')}},
         "1.txt: one page holds too many positions"},
    };
    for (const Case& c : cases) {
        TempDir src, out;
        WriteBytes(src / "catalogue.txt", c.catalogue);
        for (auto [name, bytes] : c.files) {
            if (c.error.find("too many positions") != std::string::npos)
                for (size_t i = 0; i < bytes.size(); i += 3) bytes.replace(i, 3, "一");
            std::filesystem::create_directories((src / name).parent_path());
            WriteBytes(src / name, bytes);
        }
        try {
            BuildCollection(ReadCollectionSource(src.path()), out.path());
            ADD_FAILURE() << c.what << ": no error";
        } catch (const SourceError& e) {
            EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos)
                << c.what << ": " << e.what();
        }
    }
}

TEST(Builder, TextPagesAreLaidOutInTheBodyCellByPageNumber) {
    const std::string even = LayoutTextPage("一<二>&\n三{注}\n\n四", u"巻", 2, "2.txt");
    const std::string odd = LayoutTextPage("一", u"巻", 3, "3.txt");
    std::vector<HTMLNode> nodes;
    ParsePage(even, nodes);
    EXPECT_EQ(nodes[0].text, "巻 2");
    EXPECT_EQ(nodes[1].text, "<p>一&lt;二&gt;&amp;<br>三" + std::string(kNoteOpen) + "注" +
                                 std::string(kNoteClose) + "</p>\n<p>四</p>\n");
    // The label cell of an even page also carries the rule that widens the body's column.
    EXPECT_TRUE(nodes[2].text.starts_with("<style>")) << nodes[2].text;
    EXPECT_TRUE(nodes[2].text.ends_with("</style>巻<br>2")) << nodes[2].text;
    ParsePage(odd, nodes);
    EXPECT_EQ(nodes[1].text, "巻<br>3");
    EXPECT_EQ(nodes[2].text, "<p>一</p>\n");

    // A text page is stored in the composer's frame: composing it without hits gives back the
    // stored bytes, so the page from the contents and the result page match.
    for (const std::string* page : {&even, &odd}) {
        PageBody body;
        ReadPageBody(*page, page == &even ? 0 : 1, body);
        std::string composed;
        EXPECT_EQ(ComposeMarkedPage(body, kTargetWholeText, PageHits{}, composed), 0);
        EXPECT_EQ(composed, *page);
    }

    PageTexts texts;
    ExtractPageTexts(even, 2, texts);
    // Entities and line ends are text too; they have no slot and so take no position.
    EXPECT_EQ(texts.whole, U"一&lt;二&gt;&amp;三注\n四\n");
    EXPECT_EQ(texts.main, U"一&lt;二&gt;&amp;三\n四\n");
    EXPECT_EQ(texts.notes, U"注");
}

}  // namespace
}  // namespace kolva
