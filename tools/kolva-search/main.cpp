// kolva-search: searches a collection and composes its pages from the command line, with the
// same core as the reader.
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>

#include "builder/source.h"
#include "catalogue/catalogue.h"
#include "catalogue/concordance.h"
#include "text/codeconverter.h"
#include "index/index.h"

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
    "limits the rows to the catalogue entry in SLOT and everything below it (default 1, the\n"
    "first entry; the entries of catalogue.txt are numbered from 1 in file order).\n"
    "\n"
    "Output: one line per result row, \"category<TAB>title<TAB>volume<TAB>page<TAB>hits<TAB>index\",\n"
    "then the totals line; --json prints the rows and totals as one JSON object.\n"
    "  --raw        the index's result lists, \"pageIndex<TAB>count\" per entry, no range filter\n"
    "  --compose N  the page with record index N composed with KEYWORDS marked, on standard\n"
    "               output; \"anchors: N\" on standard error\n"
    "  --queries F  every line of F is one KEYWORDS; one line \"rows<TAB>hits\" per query\n"
    "  --times      with --queries, two more columns: microseconds taken by the search and by\n"
    "               naming its result rows\n"
    "  --kwic       the concordance: every marked hit of the rows, page by page in anchor order\n"
    "               (as F3 visits them), one line each: \"category<TAB>title<TAB>volume<TAB>\n"
    "               pageNumber<TAB>pageIndex<TAB>anchor<TAB>left<TAB>match<TAB>right\"; left and\n"
    "               right are up to N characters (--context, default 20) of the same cell's\n"
    "               visible text; TAB or line break in a field as one space; \"lines: N\" on\n"
    "               standard error; --json: one object with the lines as objects\n"
    "  --limit M    with --kwic, stop after M lines (a sort then covers only those)\n"
    "  --sort S     with --kwic: page (default), left (by the left context read backwards from\n"
    "               the match) or right (by the match and the right context); ties in page order\n"
    "\n"
    "Exit status: 0 done (also without hits), 1 the collection cannot be opened, 2 usage error.\n";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class Mode { kRows, kRaw, kCompose, kQueries, kKwic };

struct Options {
    Mode mode = Mode::kRows;
    std::filesystem::path data;
    bool orMode = false;
    int indexMode = kModeWholeText;
    int targetCode = 0;
    bool variant = true;
    int range = 1;
    bool json = false;
    bool times = false;
    int pageIndex = 0;
    std::string queries;
    std::string keywords;
    size_t context = kDefaultContext;  // --kwic
    size_t limit = 0;                  // --kwic: 0 = every line
    ConcordanceOrder order = ConcordanceOrder::kPage;
    bool kwicOptionSeen = false;
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

Options ParseOptions(int argc, char** argv) {
    Options o;
    bool keywordsSeen = false, modeSeen = false;
    auto setMode = [&](Mode m) {
        if (modeSeen) throw UsageError("--raw, --compose, --queries and --kwic exclude each other");
        modeSeen = true;
        o.mode = m;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw UsageError(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--" && i + 1 < argc && !keywordsSeen) {
            o.keywords = argv[++i];
            keywordsSeen = true;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
            if (arg == "--data") {
                o.data = value();
            } else if (arg == "--or") {
                o.orMode = true;
            } else if (arg == "--target") {
                const std::string t = value();
                if (t == "full") o.indexMode = kModeWholeText, o.targetCode = 0;
                else if (t == "main") o.indexMode = kModeMainText, o.targetCode = 1;
                else if (t == "notes") o.indexMode = kModeNotes, o.targetCode = 2;
                else throw UsageError("--target is full, main or notes");
            } else if (arg == "--variant") {
                const std::string v = value();
                if (v != "on" && v != "off") throw UsageError("--variant is on or off");
                o.variant = v == "on";
            } else if (arg == "--range") {
                o.range = ParseNumber(value(), "--range");
            } else if (arg == "--json") {
                o.json = true;
            } else if (arg == "--times") {
                o.times = true;
            } else if (arg == "--raw") {
                setMode(Mode::kRaw);
            } else if (arg == "--compose") {
                setMode(Mode::kCompose);
                o.pageIndex = ParseNumber(value(), "--compose");
            } else if (arg == "--queries") {
                setMode(Mode::kQueries);
                o.queries = value();
            } else if (arg == "--kwic") {
                setMode(Mode::kKwic);
            } else if (arg == "--context") {
                o.context = size_t(ParseNumber(value(), "--context"));
                o.kwicOptionSeen = true;
            } else if (arg == "--limit") {
                o.limit = size_t(ParseNumber(value(), "--limit"));
                o.kwicOptionSeen = true;
            } else if (arg == "--sort") {
                if (!ParseConcordanceOrder(value(), o.order)) throw UsageError("--sort is page, left or right");
                o.kwicOptionSeen = true;
            } else {
                throw UsageError("unknown option " + arg);
            }
        } else {
            if (keywordsSeen) throw UsageError("KEYWORDS is one argument: quote it");
            o.keywords = arg;
            keywordsSeen = true;
        }
    }
    if (o.mode == Mode::kQueries && keywordsSeen)
        throw UsageError("--queries reads its keywords from the file");
    if (o.mode != Mode::kQueries && !keywordsSeen) throw UsageError("KEYWORDS is missing");
    if (o.json && o.mode != Mode::kRows && o.mode != Mode::kKwic)
        throw UsageError("--json goes with the default output or --kwic");
    if (o.kwicOptionSeen && o.mode != Mode::kKwic)
        throw UsageError("--context, --limit and --sort go with --kwic");
    if (o.times && o.mode != Mode::kQueries) throw UsageError("--times goes with --queries");
    if (o.mode == Mode::kRaw || o.mode == Mode::kCompose) {
        for (int i = 1; i < argc; ++i)
            if (std::strcmp(argv[i], "--range") == 0 || (o.mode == Mode::kCompose && std::strcmp(argv[i], "--or") == 0))
                throw UsageError(std::string(argv[i]) + " does not go with this mode");
    }
    return o;
}

// UTF-8 to UTF-16; the three-byte form of a surrogate stands for that one unpaired unit.
std::u16string KeywordsFromUtf8(const std::string& bytes, const std::string& where) {
    std::u32string codePoints;
    size_t bad;
    if (!DecodeUtf8(bytes, codePoints, bad, true))
        throw UsageError(where + " is not valid UTF-8 (byte " + std::to_string(bad) + ")");
    return CodePointsToUtf16(codePoints);
}

std::string Utf8(std::u16string_view text) {
    std::string out;
    AppendUtf8(text, out, kConvertLenient);
    return out;
}

std::string JsonString(std::u16string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        const bool pair = u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() &&
                          text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        char buf[8];
        if (u == u'"' || u == u'\\') {
            out += '\\';
            out += char(u);
        } else if (u < 0x20 || (u >= 0xD800 && u <= 0xDFFF && !pair)) {
            std::snprintf(buf, sizeof buf, "\\u%04X", unsigned(u));
            out += buf;
        } else {
            out += Utf8(text.substr(i, pair ? 2 : 1));
            if (pair) ++i;
        }
    }
    return out + "\"";
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

// Runs one search and names its rows, as the search pane does. searchEnd, when given, receives
// the moment the index's result lists were ready.
uint32_t SearchRows(CIndex& index, const CCatalogue& catalogue, const Options& o,
                    const std::u16string& typed, std::vector<SearchNodeTag>& rows,
                    std::chrono::steady_clock::time_point* searchEnd = nullptr) {
    rows.clear();
    std::u16string keywords = ForSearch(typed);
    if (CIndex::CountKeywords(keywords) == 0) {  // a rejected string finds nothing
        if (searchEnd) *searchEnd = std::chrono::steady_clock::now();
        return 0;
    }
    if (o.orMode)
        index.SearchOr(keywords, o.variant);
    else
        index.SearchAnd(keywords, o.variant);
    if (searchEnd) *searchEnd = std::chrono::steady_clock::now();
    const ContentsNodeTag* range = FindNode(catalogue.Root(), catalogue.Record(o.range));
    return BuildResultList(range, *index.GetResultPages(), *index.GetResultCounts(), rows);
}

std::string Totals(size_t rows, uint32_t hits) {
    return "全部で " + std::to_string(rows) + " 頁で、" + std::to_string(hits) + " 箇所でした。";
}

// A field of a concordance line: a TAB or line break inside it reads as one space.
std::string Field(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
}

void AppendKwicLine(const ConcordanceLine& line, const SearchNodeTag& r, std::string& out) {
    out += Field(Utf8(r.category)) + '\t' + Field(Utf8(r.title)) + '\t' + Field(Utf8(r.volume)) +
           '\t' + std::to_string(r.pageNumber) + '\t' + std::to_string(r.pageIndex) + '\t' +
           std::to_string(line.anchor) + '\t' + Field(line.left) + '\t' + Field(line.match) + '\t' +
           Field(line.right) + '\n';
}

// UTF-8 page text for a JSON string: JSON holds Unicode only, so what is not (a lone surrogate
// a page may hold) is written as U+FFFD.
std::string JsonText(const std::string& utf8) {
    std::u32string points;
    size_t bad = 0;
    if (DecodeUtf8(utf8, points, bad)) return JsonString(CodePointsToUtf16(points));
    std::u32string lenient;
    DecodeUtf8(utf8, lenient, bad, true);
    for (char32_t& c : lenient)
        if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
    return JsonString(CodePointsToUtf16(lenient));
}

// --kwic: the concordance of the rows in the range, in page order as it is made, or sorted.
int PrintConcordance(CIndex& index, const CCatalogue& catalogue, const Options& o) {
    const std::u16string typed = KeywordsFromUtf8(o.keywords, "KEYWORDS");
    if (ForSearch(typed).find_first_not_of(u' ') == std::u16string::npos)
        throw UsageError("何かキーワードを入力して検索をして下さい。");
    std::vector<SearchNodeTag> rows;
    const uint32_t hits = SearchRows(index, catalogue, o, typed, rows);
    std::vector<uint32_t> pages;
    pages.reserve(rows.size());
    for (const SearchNodeTag& r : rows) pages.push_back(r.pageIndex);
    CConcordance concordance(index, std::move(pages), {typed, o.targetCode, o.variant, o.context});

    size_t count = 0;
    if (o.order == ConcordanceOrder::kPage && !o.json) {
        // Written a row at a time: the first lines come out before the last page is composed.
        std::vector<ConcordanceLine> lines;
        std::string out;
        for (uint32_t row = 0; row < rows.size() && (!o.limit || count < o.limit); ++row) {
            lines.clear();
            concordance.AppendRowLines(row, lines);
            out.clear();
            for (const ConcordanceLine& line : lines) {
                if (o.limit && count == o.limit) break;
                AppendKwicLine(line, rows[row], out);
                ++count;
            }
            std::cout << out;
        }
        std::cout.flush();
    } else {
        const std::vector<ConcordanceLine> lines = concordance.Lines(o.order, o.limit);
        count = lines.size();
        std::string out;
        if (o.json) {
            out = "{\"lines\":[";
            for (size_t i = 0; i < lines.size(); ++i) {
                const ConcordanceLine& l = lines[i];
                const SearchNodeTag& r = rows[l.row];
                out += (i ? "," : "") + std::string("{\"category\":") + JsonString(r.category) +
                       ",\"title\":" + JsonString(r.title) + ",\"volume\":" + JsonString(r.volume) +
                       ",\"pageNumber\":" + std::to_string(r.pageNumber) +
                       ",\"pageIndex\":" + std::to_string(r.pageIndex) +
                       ",\"anchor\":" + std::to_string(l.anchor) + ",\"left\":" + JsonText(l.left) +
                       ",\"match\":" + JsonText(l.match) + ",\"right\":" + JsonText(l.right) + "}";
            }
            out += "],\"count\":" + std::to_string(lines.size()) + ",\"sort\":\"" +
                   ConcordanceOrderName(o.order) + "\",\"context\":" + std::to_string(o.context) +
                   ",\"pages\":" + std::to_string(rows.size()) + ",\"hits\":" + std::to_string(hits) +
                   ",\"totals\":\"" + Totals(rows.size(), hits) + "\"}\n";
        } else {
            for (const ConcordanceLine& line : lines) AppendKwicLine(line, rows[line.row], out);
        }
        std::cout << out;
        std::cout.flush();
    }
    std::cerr << "lines: " << count << '\n';
    return 0;
}

int Run(const Options& o) {
    const std::filesystem::path data = o.data.empty() ? ExecutableFolder() : o.data;
    std::u16string failure;
    CIndex index([&](std::u16string_view m) { failure = m; });
    if (!index.Open(data, "Index", o.indexMode)) {
        std::cerr << "kolva-search: " << Utf8(failure) << " (" << data.string() << ")\n";
        return 1;
    }

    if (o.mode == Mode::kRaw) {
        std::u16string keywords = ForSearch(KeywordsFromUtf8(o.keywords, "KEYWORDS"));
        if (o.orMode)
            index.SearchOr(keywords, o.variant);
        else
            index.SearchAnd(keywords, o.variant);
        const auto& pages = *index.GetResultPages();
        const auto& counts = *index.GetResultCounts();
        for (int i = 0; i < index.GetResultCount(); ++i)
            std::cout << pages[size_t(i)] << '\t' << counts[size_t(i)] << '\n';
        return 0;
    }
    if (o.mode == Mode::kCompose) {
        std::string html;
        const int anchors = index.ComposePage(o.pageIndex, html, KeywordsFromUtf8(o.keywords, "KEYWORDS"),
                                              o.targetCode, o.variant);
        std::cout.write(html.data(), std::streamsize(html.size()));
        std::cout.flush();
        std::cerr << "anchors: " << anchors << '\n';
        return 0;
    }

    CCatalogue catalogue;
    if (!catalogue.Load(data / "kolva.dir", {})) {
        std::cerr << "kolva-search: you delete data file! (" << (data / "kolva.dir").string() << ")\n";
        return 1;
    }
    if (o.range == 0) throw UsageError("検索範囲をまた指定していません。 (--range 0)");
    if (!catalogue.IsValidSlot(o.range))
        throw UsageError("--range " + std::to_string(o.range) + ": the catalogue has slots 1 to " +
                         std::to_string(catalogue.NodeCount() - 1));

    if (o.mode == Mode::kKwic) return PrintConcordance(index, catalogue, o);
    std::vector<SearchNodeTag> rows;
    if (o.mode == Mode::kQueries) {
        std::ifstream in(o.queries, std::ios::binary);
        if (!in) throw UsageError("cannot read " + o.queries);
        std::string line;
        std::vector<std::u16string> queries;
        for (size_t n = 1; std::getline(in, line); ++n) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            queries.push_back(KeywordsFromUtf8(line, o.queries + ":" + std::to_string(n)));
        }
        std::string out;
        for (const std::u16string& q : queries) {
            using Micro = std::chrono::duration<double, std::micro>;
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

    const std::u16string typed = KeywordsFromUtf8(o.keywords, "KEYWORDS");
    if (ForSearch(typed).find_first_not_of(u' ') == std::u16string::npos)
        throw UsageError("何かキーワードを入力して検索をして下さい。");
    const uint32_t hits = SearchRows(index, catalogue, o, typed, rows);
    if (o.json) {
        std::string out = "{\"rows\":[";
        for (size_t i = 0; i < rows.size(); ++i) {
            const SearchNodeTag& r = rows[i];
            out += (i ? "," : "") + std::string("{\"category\":") + JsonString(r.category) +
                   ",\"title\":" + JsonString(r.title) + ",\"volume\":" + JsonString(r.volume) +
                   ",\"pageNumber\":" + std::to_string(r.pageNumber) +
                   ",\"hits\":" + std::to_string(r.hits) +
                   ",\"pageIndex\":" + std::to_string(r.pageIndex) + "}";
        }
        // The totals line holds nothing JSON would escape.
        out += "],\"pages\":" + std::to_string(rows.size()) + ",\"hits\":" + std::to_string(hits) +
               ",\"totals\":\"" + Totals(rows.size(), hits) + "\"}";
        std::cout << out << '\n';
        return 0;
    }
    std::string out;
    for (const SearchNodeTag& r : rows)
        out += Utf8(r.category) + '\t' + Utf8(r.title) + '\t' + Utf8(r.volume) + '\t' +
               std::to_string(r.pageNumber) + '\t' + std::to_string(r.hits) + '\t' +
               std::to_string(r.pageIndex) + '\n';
    std::cout << out << Totals(rows.size(), hits) << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
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
