// kolva-search: searches a collection and composes its pages from the command line, with the
// same core as the reader.
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>

#include <nlohmann/json.hpp>

#include "catalogue/catalogue.h"
#include "concordance/concordance.h"
#include "catalogue/query.h"
#include "catalogue/results.h"
#include "index/index.h"
#include "platform/allocator.h"
#include "text/codeconverter.h"
#include "text/utf8.h"

namespace {

using namespace kolva;

constexpr const char* kUsage =
    "Usage: kolva-search [--data DIR] [--or] [--target full|main|notes] [--variant on|off]\n"
    "                    [--range SLOT] [--json] [--] KEYWORDS\n"
    "       kolva-search --raw [--data DIR] [--or] [--target ...] [--variant ...] [--] KEYWORDS\n"
    "       kolva-search --compose PAGEINDEX [--data DIR] [--target ...] [--variant ...] [--] KEYWORDS\n"
    "       kolva-search --queries FILE [--times] [--data DIR] [--or] [--target ...]\n"
    "                    [--variant ...] [--range SLOT]\n"
    "       kolva-search --kwic [--context N] [--limit M] [--sort page|left|right] [--data DIR]\n"
    "                    [--or] [--target ...] [--variant ...] [--range SLOT] [--json] [--] KEYWORDS\n"
    "       kolva-search --help | --version\n"
    "\n"
    "Searches the collection in DIR (default: the folder of this program) for KEYWORDS, one\n"
    "argument in UTF-8: words separated by spaces, \"?\" for one character, \"*\" for a gap of up to\n"
    "300 characters. Words are combined by AND (default) or OR (--or). --target picks whole text\n"
    "(default), main text or notes; --variant on (default) also matches variant forms; --range\n"
    "limits the rows to the catalogue entry in SLOT and everything below it (the entries of\n"
    "catalogue.txt are numbered from 1 in file order); 0 names the whole collection when the\n"
    "catalogue has more than one top-level entry, and is then the default, else 1 is.\n"
    "\n"
    "Output: one line per result row, \"category<TAB>title<TAB>volume<TAB>page<TAB>hits<TAB>index\",\n"
    "then the totals line; --json prints the rows and totals as one JSON object.\n"
    "  --raw        the index's result lists, \"pageIndex<TAB>count\" per entry, no range filter\n"
    "  --compose N  the page with record index N composed with the hits of KEYWORDS marked (one\n"
    "               anchor per hit the search counts there), on standard output; \"anchors: N\"\n"
    "               on standard error\n"
    "  --queries F  every line of F is one KEYWORDS; one line \"rows<TAB>hits\" per query\n"
    "  --times      with --queries, two more columns: microseconds taken by the search and by\n"
    "               naming its result rows\n"
    "  --kwic       the concordance: every hit of the rows, page by page in anchor order (as\n"
    "               F3 visits them), one line each: \"category<TAB>title<TAB>volume<TAB>\n"
    "               pageNumber<TAB>pageIndex<TAB>anchor<TAB>left<TAB>match<TAB>right\"; left and\n"
    "               right are up to N characters (--context, default 20) of the same cell's\n"
    "               visible text; TAB or line break in a field as one space; \"lines: N\" on\n"
    "               standard error; --json: one object with the lines as objects\n"
    "  --limit M    with --kwic, stop after M lines (a sort then covers only those)\n"
    "  --sort S     with --kwic: page (default), left (by the left context read backwards from\n"
    "               the match) or right (by the match and the right context); ties in page order\n"
    "\n"
    "Exit status: 0 done (also without hits), 1 the collection cannot be opened or searched (an\n"
    "empty or damaged catalogue), 2 usage error (an explicit --range beyond the catalogue too).\n";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class Mode { kRows, kRaw, kCompose, kQueries, kKwic };

struct Options {
    Mode mode = Mode::kRows;
    std::filesystem::path data;
    SearchMethod method = SearchMethod::kAnd;
    SearchTarget target = SearchTarget::kWholeText;
    bool variant = true;
    int range = 1;
    bool rangeGiven = false;  // --range was typed; else the whole collection or the first entry
    bool json = false;
    bool times = false;
    int pageIndex = 0;
    std::string queries;
    std::string keywords;
    size_t context = kDefaultContext;  // --kwic: characters on each side
    size_t limit = 0;                  // --kwic: at most this many lines, 0 = all
    ConcordanceOrder order = ConcordanceOrder::kPage;
};

int ParseNumber(const std::string& text, const char* what) {
    size_t used = 0;
    long value = -1;
    try {
        value = std::stol(text, &used);
    } catch (const std::exception&) {
    }
    if (used != text.size() || value < 0 || value > INT32_MAX)
        throw UsageError(std::string(what) + " takes a number, not \"" + text + "\"");
    return int(value);
}

SearchTarget ParseTarget(const std::string& name) {
    if (name == "full") return SearchTarget::kWholeText;
    if (name == "main") return SearchTarget::kMainText;
    if (name == "notes") return SearchTarget::kNotes;
    throw UsageError("--target is full, main or notes");
}

bool ParseVariant(const std::string& value) {
    if (value != "on" && value != "off") throw UsageError("--variant is on or off");
    return value == "on";
}

// Reads the command line into Options, left to right; the first fault found is the one
// reported.
class OptionParser {
public:
    OptionParser(int argc, char** argv) : m_argc(argc), m_argv(argv) {}

    Options Parse() {
        for (m_next = 1; m_next < m_argc;) {
            const std::string arg = m_argv[m_next++];
            if (arg == "--" && m_next < m_argc && !m_keywordsSeen)
                SetKeywords(m_argv[m_next++]);
            else if (arg.size() > 1 && arg[0] == '-' && arg != "--")
                ParseOption(arg);
            else
                SetKeywords(arg);
        }
        CheckCombinations();
        return m_options;
    }

private:
    void ParseOption(const std::string& arg) {
        Options& o = m_options;
        if (arg == "--data") {
            o.data = Value(arg);
        } else if (arg == "--or") {
            o.method = SearchMethod::kOr;
        } else if (arg == "--target") {
            o.target = ParseTarget(Value(arg));
        } else if (arg == "--variant") {
            o.variant = ParseVariant(Value(arg));
        } else if (arg == "--range") {
            o.range = ParseNumber(Value(arg), "--range");
            o.rangeGiven = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--times") {
            o.times = true;
        } else if (arg == "--raw") {
            SetMode(Mode::kRaw);
        } else if (arg == "--compose") {
            SetMode(Mode::kCompose);
            o.pageIndex = ParseNumber(Value(arg), "--compose");
        } else if (arg == "--queries") {
            SetMode(Mode::kQueries);
            o.queries = Value(arg);
        } else if (arg == "--kwic") {
            SetMode(Mode::kKwic);
        } else if (arg == "--context") {
            o.context = size_t(ParseNumber(Value(arg), "--context"));
            m_kwicOptionSeen = true;
        } else if (arg == "--limit") {
            o.limit = size_t(ParseNumber(Value(arg), "--limit"));
            m_kwicOptionSeen = true;
        } else if (arg == "--sort") {
            if (!ParseConcordanceOrder(Value(arg), o.order))
                throw UsageError("--sort is page, left or right");
            m_kwicOptionSeen = true;
        } else {
            throw UsageError("unknown option " + arg);
        }
    }

    // The argument after an option that takes a value.
    std::string Value(const std::string& option) {
        if (m_next >= m_argc) throw UsageError(option + " needs a value");
        return m_argv[m_next++];
    }

    void SetKeywords(const std::string& keywords) {
        if (m_keywordsSeen) throw UsageError("KEYWORDS is one argument: quote it");
        m_options.keywords = keywords;
        m_keywordsSeen = true;
    }

    void SetMode(Mode mode) {
        if (m_modeSeen) throw UsageError("--raw, --compose, --queries and --kwic exclude each other");
        m_modeSeen = true;
        m_options.mode = mode;
    }

    // What each mode needs and what it does not take.
    void CheckCombinations() const {
        const Options& o = m_options;
        if (o.mode == Mode::kQueries && m_keywordsSeen)
            throw UsageError("--queries reads its keywords from the file");
        if (o.mode != Mode::kQueries && !m_keywordsSeen) throw UsageError("KEYWORDS is missing");
        if (o.json && o.mode != Mode::kRows && o.mode != Mode::kKwic)
            throw UsageError("--json goes with the default output or --kwic");
        if (m_kwicOptionSeen && o.mode != Mode::kKwic)
            throw UsageError("--context, --limit and --sort go with --kwic");
        if (o.times && o.mode != Mode::kQueries) throw UsageError("--times goes with --queries");
        if (o.mode != Mode::kRaw && o.mode != Mode::kCompose) return;
        for (int i = 1; i < m_argc; ++i)
            if (std::strcmp(m_argv[i], "--range") == 0 ||
                (o.mode == Mode::kCompose && std::strcmp(m_argv[i], "--or") == 0))
                throw UsageError(std::string(m_argv[i]) + " does not go with this mode");
    }

    int m_argc;
    char** m_argv;
    int m_next = 1;  // the argument read next
    Options m_options;
    bool m_keywordsSeen = false, m_modeSeen = false, m_kwicOptionSeen = false;
};

Options ParseOptions(int argc, char** argv) { return OptionParser(argc, argv).Parse(); }

// UTF-8 to UTF-16; the three-byte form of a surrogate stands for that one unpaired unit.
std::u16string KeywordsFromUtf8(const std::string& bytes, const std::string& where) {
    std::u16string keywords;
    size_t bad;
    if (!Utf8ToUtf16(bytes, keywords, bad, true))
        throw UsageError(where + " is not valid UTF-8 (byte " + std::to_string(bad) + ")");
    return keywords;
}

// UTF-8 for a JSON string. JSON text is Unicode, so a unit of an unpaired surrogate (which only
// a damaged catalogue holds) is written as U+FFFD.
std::string JsonText(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        char32_t c;
        i += ReadCodePoint(text, i, c);
        AppendCodePointUtf8(IsSurrogate(c) ? U'\uFFFD' : c, out);
    }
    return out;
}

std::filesystem::path ExecutableFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path() : exe.parent_path();
}

std::u16string ForSearch(std::u16string keywords) {
    for (char16_t& u : keywords)
        if (u == u'\u3000') u = u' ';
    return keywords;
}

// The keywords as typed, for a search of rows: a usage error when they hold nothing to search.
std::u16string SearchKeywords(const Options& o) {
    std::u16string typed = KeywordsFromUtf8(o.keywords, "KEYWORDS");
    if (ForSearch(typed).find_first_not_of(u' ') == std::u16string::npos)
        throw UsageError("何かキーワードを入力して検索をして下さい。");
    return typed;
}

// Runs one search and names its rows, as the search pane does. searchEnd, when given, receives
// the moment the index's result lists were ready.
uint32_t SearchRows(CIndex& index, const CCatalogue& catalogue, const Options& o,
                    const std::u16string& typed, std::vector<SearchNodeTag>& rows,
                    std::chrono::steady_clock::time_point* searchEnd = nullptr) {
    rows.clear();
    // A rejected string finds nothing.
    const SearchResult result = RunSearch(index, ForSearch(typed), o.method, o.variant);
    if (searchEnd) *searchEnd = std::chrono::steady_clock::now();
    if (result.rejected) return 0;
    return BuildResultList(FindRangeNode(catalogue, o.range), result.pages, result.counts, rows);
}

// --raw: the index's result lists, without a range.
int PrintResultLists(CIndex& index, const Options& o) {
    const SearchResult result = RunSearch(
        index, ForSearch(KeywordsFromUtf8(o.keywords, "KEYWORDS")), o.method, o.variant);
    for (size_t i = 0; i < result.pages.size(); ++i)
        std::cout << result.pages[i] << '\t' << result.counts[i] << '\n';
    return 0;
}

// --compose: the composed page on standard output, its anchor count on standard error.
int PrintComposedPage(const CIndex& index, const Options& o) {
    std::string html;
    const int anchors = index.ComposePage(o.pageIndex, html, KeywordsFromUtf8(o.keywords, "KEYWORDS"),
                                          TargetCodeOf(o.target), o.variant);
    std::cout.write(html.data(), std::streamsize(html.size()));
    std::cout.flush();
    std::cerr << "anchors: " << anchors << '\n';
    return 0;
}

// Loads the catalogue, settles the default range (the whole collection where the catalogue
// has one) and checks the range slot against it. False, with the reason on standard
// error, when it cannot be read or cannot serve the range. A slot the user typed beyond the
// catalogue is a usage error; the default range that an empty or cut catalogue cannot serve,
// or a slot whose record names no entry of the contents, is a collection that cannot be searched.
bool LoadCatalogue(CCatalogue& catalogue, const std::filesystem::path& data, Options& o) {
    const std::filesystem::path file = data / "kolva.dir";
    if (!catalogue.Load(file, {})) {
        std::cerr << "kolva-search: you delete data file! (" << file.string() << ")\n";
        return false;
    }
    if (!o.rangeGiven && HasWholeCollection(catalogue)) o.range = kWholeCollection;
    if (o.range == kWholeCollection) {
        if (HasWholeCollection(catalogue)) return true;
        throw UsageError("検索範囲をまた指定していません。 (--range 0)");
    }
    const int last = catalogue.NodeCount() - 1;
    if (!catalogue.IsValidSlot(o.range)) {
        if (o.rangeGiven)
            throw UsageError("--range " + std::to_string(o.range) + ": the catalogue has slots 1 to " +
                             std::to_string(last));
        std::cerr << "kolva-search: the catalogue " << file.string() << " has no entries (it is empty "
                  << "or cut short), so the collection cannot be searched\n";
        return false;
    }
    if (!FindRangeNode(catalogue, o.range)) {
        std::cerr << "kolva-search: the catalogue entry in slot " << o.range << " of " << file.string()
                  << " is damaged (it names no part of the contents), so it cannot be searched\n";
        return false;
    }
    return true;
}

// The keywords of a queries file, one line each.
std::vector<std::u16string> ReadQueries(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw UsageError("cannot read " + file);
    std::string line;
    std::vector<std::u16string> queries;
    for (size_t n = 1; std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        queries.push_back(KeywordsFromUtf8(line, file + ":" + std::to_string(n)));
    }
    return queries;
}

// --queries: "rows<TAB>hits" per query, with --times the microseconds of the search and of
// naming its rows.
int PrintQueryTotals(CIndex& index, const CCatalogue& catalogue, const Options& o) {
    using Micro = std::chrono::duration<double, std::micro>;
    std::vector<SearchNodeTag> rows;
    std::string out;
    for (const std::u16string& q : ReadQueries(o.queries)) {
        std::chrono::steady_clock::time_point searchEnd;
        const auto start = std::chrono::steady_clock::now();
        const uint32_t hits = SearchRows(index, catalogue, o, q, rows, &searchEnd);
        const Micro rowsTook = std::chrono::steady_clock::now() - searchEnd;
        out += std::to_string(rows.size()) + '\t' + std::to_string(hits);
        if (o.times) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "\t%.1f\t%.1f", Micro(searchEnd - start).count(),
                          rowsTook.count());
            out += buf;
        }
        out += '\n';
    }
    std::cout << out;
    return 0;
}

std::string RowsAsText(const std::vector<SearchNodeTag>& rows, uint32_t hits) {
    std::string out;
    for (const SearchNodeTag& r : rows)
        out += ToUtf8(r.category) + '\t' + ToUtf8(r.title) + '\t' + ToUtf8(r.volume) + '\t' +
               std::to_string(r.pageNumber) + '\t' + std::to_string(r.hits) + '\t' +
               std::to_string(r.pageIndex) + '\n';
    return out + ToUtf8(TotalsText(rows.size(), hits)) + '\n';
}

// One object: the rows, the numbers of pages and hits, the totals line. Keys in this order.
std::string RowsAsJson(const std::vector<SearchNodeTag>& rows, uint32_t hits) {
    using Json = nlohmann::ordered_json;
    Json list = Json::array();
    for (const SearchNodeTag& r : rows)
        list.push_back(Json{{"category", JsonText(r.category)},
                            {"title", JsonText(r.title)},
                            {"volume", JsonText(r.volume)},
                            {"pageNumber", r.pageNumber},
                            {"hits", r.hits},
                            {"pageIndex", r.pageIndex}});
    const Json out{{"rows", std::move(list)},
                   {"pages", rows.size()},
                   {"hits", hits},
                   {"totals", JsonText(TotalsText(rows.size(), hits))}};
    return out.dump() + '\n';
}

// The default output: the rows in the range and the totals line, as text or JSON.
int PrintRows(CIndex& index, const CCatalogue& catalogue, const Options& o) {
    const std::u16string typed = SearchKeywords(o);
    std::vector<SearchNodeTag> rows;
    const uint32_t hits = SearchRows(index, catalogue, o, typed, rows);
    std::cout << (o.json ? RowsAsJson(rows, hits) : RowsAsText(rows, hits));
    return 0;
}

// A field of a concordance line: a TAB or line break inside it reads as one space.
std::string Field(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
}

// "category<TAB>title<TAB>volume<TAB>pageNumber<TAB>pageIndex<TAB>anchor<TAB>left<TAB>match<TAB>right"
void AppendKwicLine(const ConcordanceLine& line, const SearchNodeTag& r, std::string& out) {
    out += Field(ToUtf8(r.category)) + '\t' + Field(ToUtf8(r.title)) + '\t' + Field(ToUtf8(r.volume)) +
           '\t' + std::to_string(r.pageNumber) + '\t' + std::to_string(r.pageIndex) + '\t' +
           std::to_string(line.anchor) + '\t' + Field(line.left) + '\t' + Field(line.match) + '\t' +
           Field(line.right) + '\n';
}

// One object: the lines as objects, their count, the order and context, the search's totals.
std::string KwicAsJson(const std::vector<ConcordanceLine>& lines,
                       const std::vector<SearchNodeTag>& rows, uint32_t hits, const Options& o) {
    using Json = nlohmann::ordered_json;
    Json list = Json::array();
    for (const ConcordanceLine& l : lines) {
        const SearchNodeTag& r = rows[l.row];
        list.push_back(Json{{"category", JsonText(r.category)},
                            {"title", JsonText(r.title)},
                            {"volume", JsonText(r.volume)},
                            {"pageNumber", r.pageNumber},
                            {"pageIndex", r.pageIndex},
                            {"anchor", l.anchor},
                            {"left", l.left},
                            {"match", l.match},
                            {"right", l.right}});
    }
    const Json out{{"lines", std::move(list)},
                   {"count", lines.size()},
                   {"sort", ConcordanceOrderName(o.order)},
                   {"context", o.context},
                   {"pages", rows.size()},
                   {"hits", hits},
                   {"totals", JsonText(TotalsText(rows.size(), hits))}};
    // Page text may hold a lone surrogate's bytes: JSON gets U+FFFD for what is not Unicode.
    return out.dump(-1, ' ', false, Json::error_handler_t::replace) + '\n';
}

// --kwic: the concordance of the rows in the range, written a row at a time in page order, or
// sorted; "lines: N" on standard error.
int PrintConcordance(CIndex& index, const CCatalogue& catalogue, const Options& o) {
    const std::u16string typed = SearchKeywords(o);
    std::vector<SearchNodeTag> rows;
    const uint32_t hits = SearchRows(index, catalogue, o, typed, rows);
    std::vector<uint32_t> pages;
    pages.reserve(rows.size());
    for (const SearchNodeTag& r : rows) pages.push_back(r.pageIndex);
    CConcordance concordance(index, std::move(pages),
                             {typed, TargetCodeOf(o.target), o.variant, o.context});

    size_t count = 0;
    if (o.order == ConcordanceOrder::kPage && !o.json) {
        // The first lines come out before the last page is read: the rows go a few at a time
        // (read in page order within a chunk, so that the walks go forward), then more.
        std::vector<ConcordanceLine> lines;
        std::string out;
        uint32_t chunk = 8;
        for (uint32_t row = 0; row < rows.size() && (!o.limit || count < o.limit); row += chunk) {
            chunk = row == 0 ? 8 : std::min<uint32_t>(chunk * 2, 1024);
            lines.clear();
            concordance.AppendRowsLines(row, chunk, lines);
            out.clear();
            for (const ConcordanceLine& line : lines) {
                if (o.limit && count == o.limit) break;
                AppendKwicLine(line, rows[line.row], out);
                ++count;
            }
            std::cout << out;
        }
    } else {
        const std::vector<ConcordanceLine> lines = concordance.Lines(o.order, o.limit);
        count = lines.size();
        std::string out;
        if (o.json)
            out = KwicAsJson(lines, rows, hits, o);
        else
            for (const ConcordanceLine& line : lines) AppendKwicLine(line, rows[line.row], out);
        std::cout << out;
    }
    std::cout.flush();
    std::cerr << "lines: " << count << '\n';
    return 0;
}

int Run(Options o) {  // a copy: the catalogue settles the default range
    const std::filesystem::path data = o.data.empty() ? ExecutableFolder() : o.data;
    std::u16string failure;
    CIndex index([&](std::u16string_view m) { failure = m; });
    if (!OpenIndex(index, data, o.target)) {
        std::cerr << "kolva-search: " << ToUtf8(failure) << " (" << data.string() << ")\n";
        return 1;
    }
    if (o.mode == Mode::kRaw) return PrintResultLists(index, o);
    if (o.mode == Mode::kCompose) return PrintComposedPage(index, o);

    CCatalogue catalogue;
    if (!LoadCatalogue(catalogue, data, o)) return 1;
    if (o.mode == Mode::kQueries) return PrintQueryTotals(index, catalogue, o);
    if (o.mode == Mode::kKwic) return PrintConcordance(index, catalogue, o);
    return PrintRows(index, catalogue, o);
}

}  // namespace

int main(int argc, char** argv) {
    kolva::KeepHeapForSearches();  // before the first search allocates
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::cout << kUsage;
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "kolva-search 0.1\n";
        return 0;
    }
    try {
        return Run(ParseOptions(argc, argv));
    } catch (const UsageError& e) {
        std::cerr << "kolva-search: " << e.what() << "\n\n" << kUsage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "kolva-search: " << e.what() << "\n";
        return 1;
    }
}
