// The command-line contract of kolva-build and kolva-search: outputs, exit codes, usage errors.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include <sys/wait.h>

#include "run_program.h"
#include "test_support.h"

namespace kolva {
namespace {

using test::TempDir;
using test::WriteBytes;

using test::Outcome;
using test::RunProgram;

class CliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        source = new TempDir;
        data = new TempDir;
        WriteBytes(*source / "catalogue.txt", "1\t唐詩\n2\t李白\n3\t巻一\tli/v1\n3\t巻二\tli/v2\n");
        std::filesystem::create_directories(*source / "li/v1");
        std::filesystem::create_directories(*source / "li/v2");
        WriteBytes(*source / "li/v1/1.txt", "床前明月光\n{李白}\n");
        WriteBytes(*source / "li/v1/2.txt", "明月出天山\n");
        WriteBytes(*source / "li/v2/1.txt", "月下獨酌{注：明月}\n");
        WriteBytes(*source / "yitizi.txt", "5E8A,7240\n");  // 床 and 牀
        const Outcome built = RunProgram("kolva-build", {source->path().string(), data->path().string()});
        ASSERT_EQ(built.status, 0) << built.err;
        EXPECT_EQ(built.out + built.err, "");  // quiet when not on a terminal
    }
    static void TearDownTestSuite() {
        delete source;
        delete data;
    }
    static Outcome Search(std::vector<std::string> args) {
        args.insert(args.begin(), {"--data", data->path().string()});
        return RunProgram("kolva-search", args);
    }
    static TempDir* source;
    static TempDir* data;
};
TempDir* CliTest::source = nullptr;
TempDir* CliTest::data = nullptr;

// Over several categories the default range is the whole collection, also named by --range 0;
// an explicit slot keeps to its entry.
TEST(CliWholeCollectionTest, WithoutARangeEveryCategoryIsSearched) {
    TempDir source, data;
    WriteBytes(source / "catalogue.txt",
               "1\t唐詩\n2\t李白\n3\t巻一\tli/v1\n1\t宋詞\n2\t蘇軾\n3\t巻一\tsu/v1\n");
    std::filesystem::create_directories(source / "li/v1");
    std::filesystem::create_directories(source / "su/v1");
    WriteBytes(source / "li/v1/1.txt", "床前明月光\n");
    WriteBytes(source / "su/v1/1.txt", "明月幾時有\n");
    const Outcome built = RunProgram("kolva-build", {source.path().string(), data.path().string()});
    ASSERT_EQ(built.status, 0) << built.err;
    const std::string both = "唐詩\t李白\t巻一\t1\t1\t0\n宋詞\t蘇軾\t巻一\t1\t1\t1\n"
                             "全部で 2 頁で、2 箇所でした。\n";
    for (const std::vector<std::string>& range : {std::vector<std::string>{}, {"--range", "0"}}) {
        std::vector<std::string> args = {"--data", data.path().string()};
        args.insert(args.end(), range.begin(), range.end());
        args.push_back("明月");
        const Outcome o = RunProgram("kolva-search", args);
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.out, both);
    }
    EXPECT_EQ(RunProgram("kolva-search", {"--data", data.path().string(), "--range", "4", "明月"}).out,
              "宋詞\t蘇軾\t巻一\t1\t1\t1\n全部で 1 頁で、1 箇所でした。\n");
}

TEST_F(CliTest, RowsJsonRawAndQueries) {
    Outcome o = Search({"明月"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out,
              "唐詩\t李白\t巻一\t1\t1\t0\n"
              "唐詩\t李白\t巻二\t1\t1\t2\n"
              "唐詩\t李白\t巻一\t2\t1\t1\n"
              "全部で 3 頁で、3 箇所でした。\n");
    EXPECT_EQ(Search({"--target", "main", "明月"}).out,
              "唐詩\t李白\t巻一\t1\t1\t0\n唐詩\t李白\t巻一\t2\t1\t1\n全部で 2 頁で、2 箇所でした。\n");
    EXPECT_EQ(Search({"--target", "notes", "--range", "4", "--", "明月"}).out,
              "唐詩\t李白\t巻二\t1\t1\t2\n全部で 1 頁で、1 箇所でした。\n");
    EXPECT_EQ(Search({"--json", "--range", "3", "床"}).out,
              "{\"rows\":[{\"category\":\"唐詩\",\"title\":\"李白\",\"volume\":\"巻一\","
              "\"pageNumber\":1,\"hits\":1,\"pageIndex\":0}],\"pages\":1,\"hits\":1,"
              "\"totals\":\"全部で 1 頁で、1 箇所でした。\"}\n");
    // Variants: on by default.
    EXPECT_EQ(Search({"--raw", "牀"}).out, "0\t1\n");
    EXPECT_EQ(Search({"--raw", "--variant", "off", "牀"}).out, "");
    // Raw lists keep the OR order and take no range; U+3000 separates words as a space does.
    EXPECT_EQ(Search({"--raw", "--or", "獨酌\u3000明月"}).out, "2\t2\n0\t1\n1\t1\n");
    EXPECT_EQ(Search({"--raw", "ABC"}).out, "");  // a rejected string finds nothing

    TempDir q;
    WriteBytes(q / "queries.txt", "明月\r\n月\n\nABC\n明 月\n");
    o = Search({"--queries", (q / "queries.txt").string(), "--range", "3"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "2\t2\n2\t2\n0\t0\n0\t0\n2\t4\n");
    // --times adds the search's and the rows' times as two more columns, the first two unchanged.
    o = Search({"--queries", (q / "queries.txt").string(), "--range", "3", "--times"});
    EXPECT_EQ(o.status, 0);
    std::string withoutTimes;
    for (size_t at = 0, end; (end = o.out.find('\n', at)) != std::string::npos; at = end + 1) {
        std::istringstream line(o.out.substr(at, end - at));
        std::string rowCount, hitCount;
        double search = -1, naming = -1;
        line >> rowCount >> hitCount >> search >> naming;
        EXPECT_TRUE(line.eof() && search >= 0 && naming >= 0) << o.out.substr(at, end - at);
        withoutTimes += rowCount + '\t' + hitCount + '\n';
    }
    EXPECT_EQ(withoutTimes, "2\t2\n2\t2\n0\t0\n0\t0\n2\t4\n");
}

TEST_F(CliTest, KwicLinesSortsLimitsAndJson) {
    // Rows in page-number order, each page's hits in anchor order; the body cell's visible text
    // on either side (the note of the first page is part of its cell).
    Outcome o = Search({"--kwic", "月"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out,
              "唐詩\t李白\t巻一\t1\t0\t0\t床前明\t月\t光李白\n"
              "唐詩\t李白\t巻二\t1\t2\t0\t\t月\t下獨酌注：明月\n"
              "唐詩\t李白\t巻二\t1\t2\t1\t月下獨酌注：明\t月\t\n"
              "唐詩\t李白\t巻一\t2\t1\t0\t明\t月\t出天山\n");
    EXPECT_EQ(o.err, "lines: 4\n");
    auto fields = [](const std::string& out, std::initializer_list<int> columns) {
        std::string picked;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) {
            std::vector<std::string> f;
            std::istringstream cells(line);
            for (std::string cell; std::getline(cells, cell, '\t');) f.push_back(cell);
            f.resize(9);
            for (int c : columns) picked += f[size_t(c)] + '|';
            picked += '\n';
        }
        return picked;
    };
    // Left context read backwards: "" < 明 < 明前 < 明：; right: the match and what follows.
    EXPECT_EQ(fields(Search({"--kwic", "--sort", "left", "--context", "2", "月"}).out, {4, 5, 6}),
              "2|0||\n1|0|明|\n0|0|前明|\n2|1|：明|\n");
    o = Search({"--kwic", "--sort", "right", "--context", "1", "--limit", "3", "月"});
    EXPECT_EQ(fields(o.out, {4, 5, 8}), "2|1||\n2|0|下|\n0|0|光|\n");
    EXPECT_EQ(o.err, "lines: 3\n");
    EXPECT_EQ(Search({"--kwic", "--limit", "1", "月"}).out, "唐詩\t李白\t巻一\t1\t0\t0\t床前明\t月\t光李白\n");
    // Target and variants as the reader marks them.
    EXPECT_EQ(fields(Search({"--kwic", "--target", "notes", "明月"}).out, {4, 6, 7}), "2|月下獨酌注：|明月|\n");
    o = Search({"--kwic", "--json", "--context", "1", "牀"});
    EXPECT_EQ(o.out,
              "{\"lines\":[{\"category\":\"唐詩\",\"title\":\"李白\",\"volume\":\"巻一\","
              "\"pageNumber\":1,\"pageIndex\":0,\"anchor\":0,\"left\":\"\",\"match\":\"床\","
              "\"right\":\"前\"}],\"count\":1,\"sort\":\"page\",\"context\":1,\"pages\":1,\"hits\":1,"
              "\"totals\":\"全部で 1 頁で、1 箇所でした。\"}\n");
    EXPECT_EQ(o.err, "lines: 1\n");
    o = Search({"--kwic", "--variant", "off", "牀"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out + o.err, "lines: 0\n");
    // Usage errors.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--context", "3", "月"}, {"--kwic", "--sort", "up", "月"},
          {"--kwic", "--limit", "-1", "月"}, {"--kwic", "--raw", "月"}, {"--kwic"}})
        EXPECT_EQ(Search(args).status, 2) << args.front();
}

TEST_F(CliTest, ComposeWritesThePageAndTheAnchorCount) {
    Outcome o = Search({"--compose", "0", "--target", "full", "明月 李白"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "anchors: 2\n");
    CIndex index;
    ASSERT_TRUE(index.Open(data->path(), "Index", 0));
    std::string html;
    EXPECT_EQ(index.ComposePage(0, html, u"明月 李白", 0, 1), 2);
    EXPECT_EQ(o.out, html);
    // An encoded surrogate stands for that one unit; it reaches composition unchanged.
    o = Search({"--compose", "0", "\xED\xA0\x80"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "anchors: 0\n");
}

TEST_F(CliTest, ExitCodesAndUsageErrors) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{"--bogus", "明"}, 2, "unknown option --bogus"},
        {{"--target", "all", "明"}, 2, "--target is full, main or notes"},
        {{"--variant", "yes", "明"}, 2, "--variant is on or off"},
        {{"--range", "x", "明"}, 2, "--range takes a number"},
        {{"--range", "0", "明"}, 2, "検索範囲をまた指定していません。"},
        {{"--range", "9", "明"}, 2, "the catalogue has slots 1 to 4"},
        {{"明", "月"}, 2, "KEYWORDS is one argument"},
        {{}, 2, "KEYWORDS is missing"},
        {{"\xff"}, 2, "not valid UTF-8"},
        {{"\u3000"}, 2, "何かキーワードを入力して検索をして下さい。"},
        {{"--raw", "--compose", "1", "明"}, 2, "exclude each other"},
        {{"--queries", "/no/such/file"}, 2, "cannot read"},
        {{"--times", "明"}, 2, "--times goes with --queries"},
    };
    for (const Case& c : cases) {
        Outcome o = Search(c.args);
        EXPECT_EQ(o.status, c.status) << c.err;
        EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
        EXPECT_NE(o.err.find("Usage:"), std::string::npos) << c.err;
    }
    Outcome o = RunProgram("kolva-search", {"--data", "/no/such/folder", "明"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("データを開けませんでした。"), std::string::npos);
    EXPECT_EQ(RunProgram("kolva-search", {"--help"}).status, 0);
    EXPECT_EQ(RunProgram("kolva-search", {"--version"}).status, 0);
}

// A catalogue that cannot serve the range is a collection that cannot be searched (exit 1), unless
// the user typed a slot beyond it (a usage error); no row is ever named after the tree's root.
TEST_F(CliTest, CataloguesThatCannotServeTheRange) {
    TempDir copy;
    for (const auto& file : std::filesystem::directory_iterator(data->path()))
        std::filesystem::copy_file(file.path(), copy / file.path().filename().string());
    const std::string intact = test::ReadBytes(copy / "kolva.dir");
    std::string zeroFirst = intact, zeroLast = intact;  // a record of zeros in slot 1 or 4
    std::fill(zeroFirst.begin(), zeroFirst.begin() + 216, '\0');
    std::fill(zeroLast.begin() + 3 * 216, zeroLast.begin() + 4 * 216, '\0');
    struct Case {
        const char* what;
        std::string catalogue;
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {"empty", "", {"明月"}, 1, "has no entries (it is empty or cut short)"},
        {"cut inside its first record", intact.substr(0, 100), {"明月"}, 1, "has no entries"},
        {"empty, slot typed", "", {"--range", "1", "明月"}, 2, "--range 1: the catalogue has slots 1 to 0"},
        {"first record zeros", zeroFirst, {"明月"}, 1, "slot 1 of"},
        {"first record zeros, slot typed", zeroFirst, {"--range", "1", "明月"}, 1, "is damaged"},
        {"last record zeros, slot typed", zeroLast, {"--range", "4", "明月"}, 1, "slot 4 of"},
        {"last record zeros, the first entry", zeroLast, {"明月"}, 0, ""},
        {"queries, empty", "", {"--queries", "/dev/null"}, 1, "has no entries"},
    };
    for (const Case& c : cases) {
        WriteBytes(copy / "kolva.dir", c.catalogue);
        std::vector<std::string> args = {"--data", copy.path().string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome o = RunProgram("kolva-search", args);
        EXPECT_EQ(o.status, c.status) << c.what << ": " << o.err;
        EXPECT_NE(o.err.find(c.err), std::string::npos) << c.what << ": " << o.err;
        EXPECT_EQ(o.err.find("Usage:") != std::string::npos, c.status == 2) << c.what;
        EXPECT_EQ(o.out.find("root"), std::string::npos) << c.what << ": " << o.out;
        if (c.status == 0) {
            EXPECT_NE(o.out.find("巻一\t1\t"), std::string::npos) << o.out;
        }
    }
}

TEST_F(CliTest, FailedBuildsLeaveNoCollectionBehind) {
    TempDir work;
    std::filesystem::create_directories(work / "bad");
    WriteBytes(work / "bad" / "catalogue.txt", "1\tA\n3\tB\tv\n");
    Outcome o = RunProgram("kolva-build", {(work / "bad").string(), (work / "out").string()});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("catalogue.txt:2:"), std::string::npos) << o.err;
    EXPECT_FALSE(std::filesystem::exists(work / "out"));
    // An existing collection stays as it was.
    std::filesystem::create_directories(work / "out");
    WriteBytes(work / "out" / "kolva.dir", "old");
    EXPECT_EQ(RunProgram("kolva-build", {(work / "bad").string(), (work / "out").string()}).status, 1);
    EXPECT_EQ(test::ReadBytes(work / "out" / "kolva.dir"), "old");
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(work.path())) ++entries;
    EXPECT_EQ(entries, 2u);  // no work folder left behind
    // A good build replaces it.
    EXPECT_EQ(RunProgram("kolva-build", {source->path().string(), (work / "out").string()}).status, 0);
    EXPECT_EQ(test::ReadBytes(work / "out" / "kolva.dir"), test::ReadBytes(*data / "kolva.dir"));
    EXPECT_EQ(RunProgram("kolva-build", {"only-one"}).status, 2);
}

// kolva-build writes the pairs files unless told not to, and --accelerate adds the same files to a
// collection without them, reading it only.
TEST_F(CliTest, PairsFilesBesideTheTenFiles) {
    const char* pairs[] = {"Index-idx.pairs", "Index_desc-idx.pairs", "Index_content-idx.pairs"};
    for (const char* name : pairs) EXPECT_TRUE(std::filesystem::exists(*data / name)) << name;
    TempDir work;
    const std::string plain = (work / "plain").string();
    ASSERT_EQ(RunProgram("kolva-build", {"--no-accelerator", source->path().string(), plain}).status, 0);
    std::map<std::string, std::string> ten;
    for (const auto& e : std::filesystem::directory_iterator(work / "plain"))
        ten[e.path().filename().string()] = test::ReadBytes(e.path());
    EXPECT_EQ(ten.size(), 10u);
    for (const auto& [name, bytes] : ten) EXPECT_EQ(bytes, test::ReadBytes(*data / name)) << name;

    const Outcome accelerated = RunProgram("kolva-build", {"--accelerate", plain});
    ASSERT_EQ(accelerated.status, 0) << accelerated.err;
    for (const char* name : pairs)
        EXPECT_EQ(test::ReadBytes(work / "plain" / name), test::ReadBytes(*data / name)) << name;
    for (const auto& [name, bytes] : ten) EXPECT_EQ(bytes, test::ReadBytes(work / "plain" / name));

    // A build without them over a collection with them removes the old ones.
    ASSERT_EQ(RunProgram("kolva-build", {"--no-accelerator", source->path().string(), plain}).status, 0);
    for (const char* name : pairs) EXPECT_FALSE(std::filesystem::exists(work / "plain" / name));

    EXPECT_EQ(RunProgram("kolva-build", {"--accelerate", (work / "none").string()}).status, 1);
    EXPECT_EQ(RunProgram("kolva-build", {"--accelerate"}).status, 2);
    EXPECT_EQ(RunProgram("kolva-build", {"--no-accelerator", plain}).status, 2);
}

}  // namespace
}  // namespace kolva
