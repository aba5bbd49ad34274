// Every data file of a collection damaged in turn: cut at several places, emptied, filled with
// zeros, grown, bytes flipped, and index chains, byte counts, page deltas, catalogue levels and
// names spoilt on purpose. The reader then does everything it does with a collection (catalogue,
// the three indexes, searches, result rows, page lookups, composition), and each case must end
// in its defined outcome: a failed open with its one message, the same results, or fewer.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <map>
#include <random>
#include <set>

#include "builder/builder.h"
#include "catalogue/catalogue.h"
#include "catalogue/results.h"
#include "platform/coding.h"
#include "text/codeconverter.h"
#include "test_support.h"

namespace kolva {
namespace {

using test::TempDir;
using Hits = std::vector<std::pair<uint32_t, uint32_t>>;

// One category, one book, two volumes of 12 text pages. The first page of the second volume
// holds 一二 5,000 times, so the streams of 一 and 二 run over more than one block.
constexpr int kPages = 24;

std::map<std::string, std::string> BuildIntact() {
    TempDir source, built;
    test::WriteBytes(source / "catalogue.txt", "1\t類\n2\t書\n3\t巻一\tv1\n3\t巻二\tv2\n");
    for (const char* folder : {"v1", "v2"}) {
        std::filesystem::create_directories(source / folder);
        for (int n = 1; n <= 12; ++n) {
            std::string text = "一二三{注一" + std::string(n % 3 ? "二" : "四") + "}四\n\n五一二";
            if (n % 4 == 0) text += "弌二三";
            if (std::string(folder) == "v2" && n == 1)
                for (int k = 0; k < 5000; ++k) text += "一二";
            test::WriteBytes(source / folder / (std::to_string(n) + ".txt"), text);
        }
    }
    test::WriteBytes(source / "yitizi.txt", "4E00,5F0C\r\n56DB,4E96\r\n");
    BuildCollection(ReadCollectionSource(source.path()), built.path());
    std::map<std::string, std::string> files;
    for (const std::string& name : CollectionFileNames()) files[name] = test::ReadBytes(built / name);
    return files;
}

const std::map<std::string, std::string>& Intact() {
    static const std::map<std::string, std::string> files = BuildIntact();
    return files;
}

uint32_t Get32(const std::string& bytes, size_t at) {
    return LoadLE32(reinterpret_cast<const uint8_t*>(bytes.data() + at));
}
void Put32(std::string& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = char(v >> (8 * i));
}

const int32_t kSlotOne = CharToSlot(U'一');
size_t FirstEntry(int32_t slot) { return size_t(slot) * 4; }
size_t LastPageEntry(int32_t slot) { return 1000000 + size_t(slot) * 4; }
size_t NextEntry(uint32_t block) { return size_t(kHeaderTablesSize) + size_t(block) * 4; }

// The blocks of 一's whole-text stream, in chain order.
std::vector<uint32_t> ChainOfOne() {
    const std::string& header = Intact().at("Index-idx.h");
    std::vector<uint32_t> chain;
    for (uint32_t b = Get32(header, FirstEntry(kSlotOne)); b != 0xFFFFFFFF; b = Get32(header, NextEntry(b)))
        chain.push_back(b);
    return chain;
}

// Byte offset in the postings file of the second page entry of 一 (in its first block).
size_t SecondEntryOfOne() {
    const std::string& postings = Intact().at("Index-idx.m");
    const size_t start = size_t(ChainOfOne()[0]) * kBlockSize;
    const uint8_t b = uint8_t(postings[start]);
    const size_t delta = b < 0x80 ? 1 : b < 0xC0 ? 2 : 3;
    const size_t count = uint8_t(postings[start + delta]) | uint8_t(postings[start + delta + 1]) << 8;
    return start + delta + 2 + count;
}

// What the reader saw of a collection.
struct Outcome {
    std::array<bool, 3> opened{};
    std::array<std::vector<std::u16string>, 3> messages;
    std::map<std::string, Hits> searches;  // "mode keyword op variant"
    std::map<std::string, int> anchors;    // "mode page keywords variant"
    std::map<int, int> found;              // volume slot -> FindPage result (-1: none)
    int nodeCount = 0;
    int treeNodes = 0;
    size_t rows = 0;
};

std::string Key(int mode, std::u16string_view keyword, int a, int b) {
    std::string key = std::to_string(mode) + " ";
    AppendUtf8(keyword, key, kConvertLenient);
    return key + " " + std::to_string(a) + " " + std::to_string(b);
}

void ExpectWellFormed(const SearchResult& result, const std::string& key) {
    const auto& pages = result.pages;
    const auto& counts = result.counts;
    ASSERT_EQ(pages.size(), counts.size()) << key;
    EXPECT_EQ(std::set<uint32_t>(pages.begin(), pages.end()).size(), pages.size()) << key;
    for (uint32_t count : counts) EXPECT_GE(count, 1u) << key;
}

Outcome Exercise(const std::filesystem::path& folder) {
    Outcome o;
    TempDir trace;
    CCatalogue catalogue;
    catalogue.Load(folder / "kolva.dir", trace / "kolva.txt");
    o.nodeCount = catalogue.NodeCount();
    for (int slot = 1; slot < catalogue.NodeCount(); ++slot) o.treeNodes += catalogue.Node(slot) != nullptr;

    const std::u16string keywords[] = {u"一", u"一二", u"一*三", u"二?一", u"一 三", u"弌二", u"四"};
    for (int mode : {kModeWholeText, kModeNotes, kModeMainText}) {
        test::QuietIndex q;
        o.opened[size_t(mode)] = q.index.Open(folder, "Index", mode);
        o.messages[size_t(mode)] = q.messages;
        for (const std::u16string& keyword : keywords) {
            for (int orSearch : {0, 1}) {
                for (uint8_t variant : {0, 1}) {
                    const SearchResult result = orSearch ? q.index.SearchOr(keyword, variant)
                                                         : q.index.SearchAnd(keyword, variant);
                    const std::string key = Key(mode, keyword, orSearch, variant);
                    ExpectWellFormed(result, key);
                    o.searches[key] = test::Results(result);
                }
            }
        }
        // The result rows of every entry and the pages the pane would show for each volume.
        const SearchResult one = q.index.SearchOr(u"一", false);
        for (int slot = 1; slot < catalogue.NodeCount(); ++slot) {
            const ContentsNodeTag* node = catalogue.Node(slot);
            if (!node) continue;
            std::vector<SearchNodeTag> rows;
            BuildResultList(node, one.pages, one.counts, rows);
            o.rows += rows.size();
            if (mode != kModeWholeText || node->level != 3) continue;
            const int first = int(std::clamp<int64_t>(int64_t(node->docID) - 1, INT_MIN, INT_MAX));
            int index = -1;
            std::string page;
            const CFileList& store = q.index.PageStore();
            o.found[slot] = store.FindPage(first, node->firstPage, index) ? index : -1;
            if (o.found[slot] >= 0) store.ReadPage(index, page);
        }
        for (int page = -1; page < kPages + 2; ++page) {
            uint32_t length = 0;
            std::string bytes;
            EXPECT_EQ(q.index.PageStore().GetPageLength(page, length),
                      q.index.PageStore().ReadPage(page, bytes))
                << page;
            if (!bytes.empty()) {
                EXPECT_EQ(bytes.size(), length) << page;
            }
            for (const std::u16string& kw : {std::u16string(u"一二"), std::u16string(u"三 四")}) {
                for (uint8_t variant : {0, 1}) {
                    std::string html;
                    const int anchors = q.index.ComposePage(page, html, kw, mode, variant);
                    if (anchors == 0 && !o.opened[size_t(mode)]) {
                        EXPECT_EQ(html, "");
                    }
                    o.anchors[Key(mode, kw, page, variant)] = anchors;
                }
            }
        }
    }
    return o;
}

const Outcome& IntactOutcome() {
    static const Outcome outcome = [] {
        TempDir dir;
        for (const auto& [name, bytes] : Intact()) test::WriteBytes(dir / name, bytes);
        return Exercise(dir.path());
    }();
    return outcome;
}

enum class Expect {
    kSame,     // every open mode sees what it sees in the intact collection
    kFewer,    // every open mode finds a subset of it: pages found, hits per page, anchors
    kDefined,  // anything well-formed
};

struct Damage {
    std::string name;
    std::string file;
    std::function<void(std::string&)> spoil;
    Expect expect;
    int failing = 0;     // modes whose Open fails with the message (bit 1 << mode)
    int nodeCount = -1;  // catalogue slots in use + 1, where the case decides it
    int treeNodes = -1;
};

constexpr int kAllModes = 7;

std::function<void(std::string&)> CutTo(size_t size) {
    return [size](std::string& b) { b.resize(std::min(size, b.size())); };
}
std::function<void(std::string&)> Flip(uint32_t seed, size_t from, size_t to) {
    return [=](std::string& b) {
        std::mt19937 rng(seed);
        const size_t end = std::min(to, b.size());
        if (end <= from) return;
        for (int i = 0; i < 16; ++i) b[from + rng() % (end - from)] ^= char(1 + rng() % 255);
    };
}
std::function<void(std::string&)> Patch32(size_t at, uint32_t value) {
    return [=](std::string& b) { Put32(b, at, value); };
}

// The damage every data file gets, with what each kind leads to for that file.
std::vector<Damage> GeneralDamage() {
    struct FileFate {
        std::string file;
        int failingWhenUnreadable;  // modes that cannot open when the file is empty or too short
        Expect whenCut;             // emptied or cut short (if still readable)
        Expect whenZeroed;
    } files[] = {
        {"Index-fl.h", kAllModes, Expect::kFewer, Expect::kFewer},
        {"Index-fl.cnt", 0, Expect::kFewer, Expect::kFewer},
        {"Index-idx.h", 1, Expect::kFewer, Expect::kDefined},
        {"Index-idx.m", 1, Expect::kFewer, Expect::kFewer},
        {"Index_desc-idx.h", 2, Expect::kFewer, Expect::kDefined},
        {"Index_desc-idx.m", 2, Expect::kFewer, Expect::kFewer},
        {"Index_content-idx.h", 4, Expect::kFewer, Expect::kDefined},
        {"Index_content-idx.m", 4, Expect::kFewer, Expect::kFewer},
        {"yitizi.txt", 0, Expect::kDefined, Expect::kDefined},
        {"kolva.dir", 0, Expect::kSame, Expect::kSame},
    };
    std::vector<Damage> cases;
    for (const FileFate& f : files) {
        const size_t size = Intact().at(f.file).size();
        const bool header = f.file.ends_with("-idx.h");
        const bool list = f.file == "Index-fl.h";
        // A header is unreadable below its four tables, a page list below its header, and an
        // empty postings file cannot be mapped.
        const bool emptyFails = header || list || f.file.ends_with("-idx.m");
        cases.push_back({"empty", f.file, CutTo(0), f.whenCut,
                         emptyFails ? f.failingWhenUnreadable : 0});
        cases.push_back({"cut in half", f.file, CutTo(size / 2), f.whenCut,
                         header ? f.failingWhenUnreadable : 0});
        cases.push_back({"one byte short", f.file, CutTo(size - 1), f.whenCut});
        cases.push_back({"zero-filled", f.file, [](std::string& b) { std::fill(b.begin(), b.end(), '\0'); },
                         f.whenZeroed});
        cases.push_back({"grown by 5000 bytes", f.file,
                         [](std::string& b) { b.append(5000, char(0xA5)); },
                         Expect::kSame});
        for (uint32_t seed : {1u, 2u, 3u})
            cases.push_back({"16 bytes flipped, seed " + std::to_string(seed), f.file,
                             Flip(seed, 0, SIZE_MAX), Expect::kDefined});
    }
    return cases;
}

std::vector<Damage> TargetedDamage() {
    const std::vector<uint32_t> chain = ChainOfOne();
    const uint32_t blocks = uint32_t(Intact().at("Index-idx.m").size() / kBlockSize);
    const size_t second = SecondEntryOfOne();
    const size_t record = 100 + 8;  // the builder's name size and the two offsets
    auto catalogueField = [](int slot, size_t offset) { return size_t(slot - 1) * 216 + offset; };
    return {
        // The page list.
        {"a header one byte short", "Index-fl.h", CutTo(267), Expect::kFewer, kAllModes},
        {"a header and no records", "Index-fl.h", CutTo(268), Expect::kFewer},
        {"cut inside the second record", "Index-fl.h", CutTo(268 + record + 50), Expect::kFewer},
        {"a name size past the file", "Index-fl.h", Patch32(4, 0x7FFFFFFF), Expect::kFewer},
        {"a name size of zero", "Index-fl.h", Patch32(4, 0), Expect::kDefined},
        {"a blob past the content file", "Index-fl.h", Patch32(268 + 100, 0xFFFFFFF0), Expect::kFewer},
        {"a blob longer than its end offset", "Index-fl.h", Patch32(268 + 104, 0xFFFFFFF0),
         Expect::kFewer},
        {"a name without NUL", "Index-fl.h",
         [](std::string& b) { b.replace(268, 100, std::string(94, 'x') + "\\1.htm"); },
         Expect::kSame},
        // An index header.
        {"tables cut one byte short", "Index-idx.h", CutTo(kHeaderTablesSize - 1), Expect::kFewer, 1},
        {"only the first-block table", "Index-idx.h", CutTo(400000), Expect::kFewer, 1},
        {"no next-block table", "Index-idx.h", CutTo(kHeaderTablesSize), Expect::kFewer},
        {"a next-block table ending before 一's first block", "Index-idx.h",
         CutTo(NextEntry(chain[0])), Expect::kFewer},
        {"a chain that leaves the file", "Index-idx.h", Patch32(NextEntry(chain[0]), blocks + 3),
         Expect::kFewer},
        {"a chain past the next-block table", "Index-idx.h", Patch32(NextEntry(chain[0]), 0xFFFFFFF0),
         Expect::kFewer},
        {"a first block past the file", "Index-idx.h", Patch32(FirstEntry(kSlotOne), 0x7FFFFFFF),
         Expect::kFewer},
        {"a first block of -2", "Index-idx.h", Patch32(FirstEntry(kSlotOne), 0xFFFFFFFE),
         Expect::kFewer},
        {"a last page before the first page", "Index-idx.h", Patch32(LastPageEntry(kSlotOne), 0),
         Expect::kFewer},
        {"a block that continues in itself", "Index-idx.h", Patch32(NextEntry(chain[0]), chain[0]),
         Expect::kDefined},
        {"a chain that loops back to its start, last page never met", "Index-idx.h",
         [=](std::string& b) {
             Put32(b, NextEntry(chain.back()), chain[0]);
             Put32(b, LastPageEntry(kSlotOne), 0xFFFFFFF0);
         },
         Expect::kDefined},
        {"every chain one loop", "Index-idx.h",
         [=](std::string& b) {
             for (uint32_t k = 0; k < blocks; ++k) Put32(b, NextEntry(k), (k + 1) % blocks);
         },
         Expect::kDefined},
        {"bytes flipped in the tables the search reads", "Index-idx.h",
         [=](std::string& b) {
             Flip(7, FirstEntry(kSlotOne), FirstEntry(kSlotOne) + 4)(b);
             Flip(8, LastPageEntry(kSlotOne), LastPageEntry(kSlotOne) + 4)(b);
             Flip(9, kHeaderTablesSize, b.size())(b);
         },
         Expect::kDefined},
        // A postings file.
        {"a zero byte count", "Index-idx.m",
         [=](std::string& b) {
             const uint8_t d = uint8_t(b[second]);
             const size_t at = second + (d < 0x80 ? 1 : d < 0xC0 ? 2 : 3);
             b[at] = b[at + 1] = 0;
         },
         Expect::kFewer},
        {"a zero page delta", "Index-idx.m", [=](std::string& b) { b[second] = 0; }, Expect::kFewer},
        {"cut after its first block", "Index-idx.m", CutTo(kBlockSize), Expect::kFewer},
        {"cut inside its second block", "Index-idx.m", CutTo(kBlockSize + 100), Expect::kFewer},
        // The catalogue: records whose level is out of range keep their slot but get no node, and
        // the records below them find no parent.
        {"a category of level 0", "kolva.dir", Patch32(catalogueField(1, 200), 0), Expect::kSame, 0, 5, 0},
        {"a book of level -5", "kolva.dir", Patch32(catalogueField(2, 200), uint32_t(-5)),
         Expect::kSame, 0, 5, 1},
        {"a volume of level 20", "kolva.dir", Patch32(catalogueField(3, 200), 20), Expect::kSame, 0, 5, 3},
        {"a volume of level INT_MIN", "kolva.dir", Patch32(catalogueField(4, 200), 0x80000000u),
         Expect::kSame, 0, 5, 3},
        {"a title without NUL", "kolva.dir",
         [=](std::string& b) {
             for (size_t i = 0; i < 200; i += 2) b[catalogueField(3, i)] = 'A', b[catalogueField(3, i + 1)] = 0;
         },
         Expect::kSame, 0, 5, 4},
        {"page spans at the ends of the int range", "kolva.dir",
         [=](std::string& b) {
             Put32(b, catalogueField(3, 204), 0x80000000u);
             Put32(b, catalogueField(3, 208), 0x7FFFFFFF);
             Put32(b, catalogueField(4, 204), 0x7FFFFFFF);
             Put32(b, catalogueField(4, 208), 0x80000000u);
         },
         Expect::kDefined, 0, 5, 4},
        {"a trailing partial record", "kolva.dir", [](std::string& b) { b.resize(216 * 2 + 100); },
         Expect::kSame, 0, 3, 2},
        // The variant table.
        {"a byte-order mark, lone CRs and junk", "yitizi.txt",
         [](std::string& b) { b = "\xEF\xBB\xBF" + b + "\r\n\r\n,,,\nzz,-1,0x\n"; }, Expect::kDefined},
    };
}

void ExpectSubset(const Outcome& got, const Outcome& intact, int mode, const std::string& name) {
    const std::string prefix = std::to_string(mode) + " ";
    for (const auto& [key, hits] : got.searches) {
        if (!key.starts_with(prefix)) continue;
        std::map<uint32_t, uint32_t> allowed(intact.searches.at(key).begin(), intact.searches.at(key).end());
        for (const auto& [page, count] : hits) {
            EXPECT_TRUE(allowed.count(page) && count <= allowed[page])
                << name << ": " << key << " page " << page << " count " << count;
        }
    }
    for (const auto& [key, anchors] : got.anchors)
        if (key.starts_with(prefix)) {
            EXPECT_LE(anchors, intact.anchors.at(key)) << name << ": " << key;
        }
    if (mode == kModeWholeText) {
        for (const auto& [slot, index] : got.found)
            if (index != -1 && intact.found.count(slot)) {
                EXPECT_EQ(index, intact.found.at(slot)) << name << ": volume " << slot;
            }
    }
}

void ExpectSame(const Outcome& got, const Outcome& intact, int mode, const std::string& name) {
    const std::string prefix = std::to_string(mode) + " ";
    for (const auto& [key, hits] : got.searches)
        if (key.starts_with(prefix)) {
            EXPECT_EQ(hits, intact.searches.at(key)) << name << ": " << key;
        }
    for (const auto& [key, anchors] : got.anchors)
        if (key.starts_with(prefix)) {
            EXPECT_EQ(anchors, intact.anchors.at(key)) << name << ": " << key;
        }
    if (mode == kModeWholeText && got.nodeCount == intact.nodeCount &&
        got.treeNodes == intact.treeNodes) {
        EXPECT_EQ(got.found, intact.found) << name;
    }
}

void ExpectOutcome(const Damage& d) {
    const std::string name = d.file + ", " + d.name;
    SCOPED_TRACE(name);
    TempDir dir;
    for (const auto& [file, bytes] : Intact()) {
        std::string copy = bytes;
        if (file == d.file) d.spoil(copy);
        test::WriteBytes(dir / file, copy);
    }
    const Outcome got = Exercise(dir.path());
    const Outcome& intact = IntactOutcome();
    for (int mode : {kModeWholeText, kModeNotes, kModeMainText}) {
        const bool fails = d.failing & (1 << mode);
        EXPECT_EQ(got.opened[size_t(mode)], !fails) << name << ": mode " << mode;
        if (fails) {
            EXPECT_EQ(got.messages[size_t(mode)], std::vector<std::u16string>{kOpenFailedMessage})
                << name << ": mode " << mode;
            // A closed index finds and marks nothing.
            const std::string prefix = std::to_string(mode) + " ";
            for (const auto& [key, hits] : got.searches)
                if (key.starts_with(prefix)) {
                    EXPECT_EQ(hits, Hits{}) << name << ": " << key;
                }
            for (const auto& [key, anchors] : got.anchors)
                if (key.starts_with(prefix)) {
                    EXPECT_EQ(anchors, 0) << name << ": " << key;
                }
            continue;
        }
        EXPECT_TRUE(got.messages[size_t(mode)].empty()) << name << ": mode " << mode;
        if (d.expect == Expect::kSame) ExpectSame(got, intact, mode, name);
        if (d.expect == Expect::kFewer) ExpectSubset(got, intact, mode, name);
    }
    if (d.nodeCount >= 0) {
        EXPECT_EQ(got.nodeCount, d.nodeCount) << name;
    }
    if (d.treeNodes >= 0) {
        EXPECT_EQ(got.treeNodes, d.treeNodes) << name;
    }
}

TEST(DamagedCollection, TheIntactCollectionIsWhatTheCasesAssume) {
    const Outcome& o = IntactOutcome();
    EXPECT_EQ(o.opened, (std::array<bool, 3>{true, true, true}));
    EXPECT_EQ(o.nodeCount, 5);
    EXPECT_EQ(o.treeNodes, 4);
    EXPECT_GE(ChainOfOne().size(), 2u);  // the chain cases need a stream over a block end
    EXPECT_EQ(o.searches.at(Key(0, u"一", 0, 0)).size(), size_t(kPages));
    EXPECT_GT(o.anchors.at(Key(0, u"一二", 0, 0)), 0);
    EXPECT_GT(o.rows, 0u);
    EXPECT_EQ(o.found.size(), 2u);
}

TEST(DamagedCollection, EveryFileDamagedInEveryWay) {
    for (const Damage& d : GeneralDamage()) ExpectOutcome(d);
}

TEST(DamagedCollection, ChainsCountsDeltasLevelsAndNames) {
    for (const Damage& d : TargetedDamage()) ExpectOutcome(d);
}

}  // namespace
}  // namespace kolva
