#include "concordance/concordance_page.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "text/codeconverter.h"
#include "text/utf8.h"

namespace kolva {

namespace {

std::u16string Utf16(std::string_view utf8) {
    // Concordance text is made by the program: UTF-8, a lone surrogate's bytes at most.
    std::u16string text;
    size_t bad = 0;
    Utf8ToUtf16(utf8, text, bad, true);
    return text;
}

void Escape(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
}
std::string Escaped(std::string_view text) {
    std::string out;
    Escape(out, text);
    return out;
}
std::string Escaped(std::u16string_view text) { return Escaped(ToUtf8(text)); }

bool Number(std::string_view text, uint64_t limit, uint64_t& value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value <= limit;
}

// Hits per label, labels in the order of their first page.
std::vector<ConcordanceBar> Bars(const std::vector<SearchNodeTag>& rows,
                                 const std::u16string* book) {
    std::map<std::u16string, std::pair<uint32_t, uint64_t>> bars;  // label -> first page, hits
    for (const SearchNodeTag& row : rows) {
        if (book && row.title != *book) continue;
        const std::u16string label(book ? row.volume : row.title);
        auto [it, added] = bars.try_emplace(label, row.pageIndex, 0);
        it->second.first = std::min(it->second.first, row.pageIndex);
        it->second.second += row.hits;
    }
    std::vector<std::pair<uint32_t, ConcordanceBar>> ordered;
    for (auto& [label, value] : bars) ordered.push_back({value.first, {label, value.second}});
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ConcordanceBar> out;
    for (auto& entry : ordered) out.push_back(std::move(entry.second));
    return out;
}

constexpr const char* kStyle =
    "body{font-family:serif;margin:12px 16px;color:#222}"
    "h1{font-size:18px;margin:4px 0}h2{font-size:14px;margin:14px 0 4px}"
    "p{margin:4px 0}.nav a,.nav b{margin-right:10px}"
    // Small enough that forty characters of context and the citation fit a 1024-pixel window.
    "table{border-collapse:collapse;margin-top:6px;font-size:13px}"
    "td,th{padding:2px 4px;border-bottom:1px solid #e4dccb;white-space:nowrap}"
    "td.s{white-space:normal;min-width:6em;max-width:18em}"
    "th{background:#f4ecd8;text-align:left;font-weight:normal}"
    "td.l{text-align:right}td.m{text-align:center}"
    "td.s a{color:#335;text-decoration:none}td.c a{color:#888;text-decoration:none}"
    "svg text{font-size:12px}svg a:hover rect{fill:#c0504d}";

// A horizontal bar chart; with linkBooks each bar chooses its book for the volume chart.
void AppendChart(std::string& out, const std::vector<ConcordanceBar>& bars, int chosen,
                 const ConcordancePageModel& model, bool linkBooks) {
    constexpr int kRow = 18, kLabel = 170, kWidth = 420;
    uint64_t most = 1;
    for (const ConcordanceBar& bar : bars) most = std::max(most, bar.hits);
    const int height = int(bars.size()) * kRow + 4;
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(kLabel + kWidth + 80) +
           "\" height=\"" + std::to_string(height) + "\">";
    for (size_t i = 0; i < bars.size(); ++i) {
        const ConcordanceBar& bar = bars[i];
        const int y = int(i) * kRow + 2;
        const int width = std::max(1, int(double(bar.hits) / double(most) * kWidth));
        if (linkBooks)
            out += "<a href=\"" + ConcordanceViewLink(model.order, model.page, int(i)) + "\">";
        out += "<text x=\"" + std::to_string(kLabel - 6) + "\" y=\"" + std::to_string(y + 13) +
               "\" text-anchor=\"end\">" +
               Escaped(bar.label.empty() ? std::u16string(u"（巻なし）") : bar.label) + "</text>";
        out += "<rect x=\"" + std::to_string(kLabel) + "\" y=\"" + std::to_string(y + 2) +
               "\" width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(kRow - 5) +
               "\" fill=\"" + (int(i) == chosen ? "#c0504d" : "#8a7a5a") + "\"/>";
        out += "<text x=\"" + std::to_string(kLabel + width + 6) + "\" y=\"" +
               std::to_string(y + 13) + "\">" + std::to_string(bar.hits) + "</text>";
        if (linkBooks) out += "</a>";
    }
    out += "</svg>";
}

std::string LineLink(const char* kind, const ConcordanceLine& line) {
    return std::string(kConcordanceScheme) + ":" + kind + "?row=" + std::to_string(line.row) +
           "&amp;anchor=" + std::to_string(line.anchor);
}

}  // namespace

std::string ConcordanceViewLink(ConcordanceOrder order, size_t page, int book) {
    return std::string(kConcordanceScheme) + ":view?order=" + ConcordanceOrderName(order) +
           "&amp;page=" + std::to_string(page) + "&amp;book=" + std::to_string(book);
}

bool ParseConcordanceLink(std::string_view url, ConcordanceLink& link) {
    const std::string prefix = std::string(kConcordanceScheme) + ":";
    if (url.substr(0, prefix.size()) != prefix) return false;
    url.remove_prefix(prefix.size());
    const size_t question = url.find('?');
    const std::string_view kind = url.substr(0, question);
    ConcordanceLink parsed;
    if (kind == "view") parsed.kind = ConcordanceLink::kView;
    else if (kind == "line") parsed.kind = ConcordanceLink::kLine;
    else if (kind == "copy") parsed.kind = ConcordanceLink::kCopy;
    else return false;
    std::string_view query = question == std::string_view::npos ? "" : url.substr(question + 1);
    bool haveRow = false, haveAnchor = false;
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? "" : query.substr(amp + 1);
        const size_t eq = pair.find('=');
        if (eq == std::string_view::npos) return false;
        const std::string_view key = pair.substr(0, eq), value = pair.substr(eq + 1);
        uint64_t n = 0;
        if (key == "order") {
            if (!ParseConcordanceOrder(value, parsed.order)) return false;
        } else if (key == "book") {
            if (value == "-1") parsed.book = -1;
            else if (Number(value, INT32_MAX, n)) parsed.book = int(n);
            else return false;
        } else if (key == "page" && Number(value, UINT32_MAX, n)) {
            parsed.page = size_t(n);
        } else if (key == "row" && Number(value, UINT32_MAX, n)) {
            parsed.row = uint32_t(n);
            haveRow = true;
        } else if (key == "anchor" && Number(value, INT32_MAX, n)) {
            parsed.anchor = int(n);
            haveAnchor = true;
        } else {
            return false;
        }
    }
    if (parsed.kind != ConcordanceLink::kView && !(haveRow && haveAnchor)) return false;
    link = parsed;
    return true;
}

std::vector<ConcordanceBar> HitsPerBook(const std::vector<SearchNodeTag>& rows) {
    return Bars(rows, nullptr);
}

std::vector<ConcordanceBar> HitsPerVolume(const std::vector<SearchNodeTag>& rows,
                                          std::u16string_view book) {
    const std::u16string title(book);
    return Bars(rows, &title);
}

std::u16string ConcordanceCitation(const SearchNodeTag& row) {
    std::u16string out = u"《";
    out += row.title;
    out += u"》";
    out += row.volume;
    const std::string page = std::to_string(row.pageNumber);
    out += u' ';
    out.append(page.begin(), page.end());
    return out + u"頁";
}

std::u16string ConcordanceCopyText(const ConcordanceLine& line, const SearchNodeTag& row) {
    return Utf16(line.left + line.match + line.right) + u"（" + ConcordanceCitation(row) + u"）";
}

std::string ConcordancePageHtml(const ConcordancePageModel& m) {
    std::string out;
    const size_t lineCount = m.lines ? m.lines->size() : 0;
    out.reserve(4096 + lineCount * 400);
    out += "<!DOCTYPE html><html><head><meta charset=\"UTF-8\"><title>用例一覧 ";
    out += Escaped(m.keywords);
    out += "</title><style>";
    out += kStyle;
    out += "</style></head><body>";
    out += "<h1>用例一覧 「" + Escaped(m.keywords) + "」</h1>";
    out += "<p>" + Escaped(m.totals) + "　" + Escaped(m.options) + "</p>";

    if (!m.books.empty()) {
        out += "<h2>書名ごとの箇所（棒を選ぶと巻ごとに分けます）</h2>";
        AppendChart(out, m.books, m.book, m, true);
    }
    if (m.book >= 0 && size_t(m.book) < m.books.size() && !m.volumes.empty()) {
        out += "<h2>《" + Escaped(m.books[size_t(m.book)].label) + "》巻ごとの箇所</h2>";
        AppendChart(out, m.volumes, -1, m, false);
    }

    // Orders and pages.
    out += "<p class=\"nav\">並べ方：";
    const std::pair<ConcordanceOrder, const char*> orders[] = {
        {ConcordanceOrder::kPage, "頁順"}, {ConcordanceOrder::kLeft, "左文脈順"},
        {ConcordanceOrder::kRight, "右文脈順"}};
    for (const auto& [order, name] : orders) {
        if (order == m.order) out += std::string("<b>") + name + "</b>";
        else out += "<a href=\"" + ConcordanceViewLink(order, 0, m.book) + "\">" + name + "</a>";
    }
    out += "</p><p class=\"nav\">";
    if (lineCount == 0) {
        out += "用例はありません。";
    } else {
        out += std::to_string(m.firstLine + 1) + "–" + std::to_string(m.firstLine + lineCount) +
               " 行目（" + (m.allKnown ? "全 " : "これまでに ") + std::to_string(m.linesKnown) +
               " 行）";
    }
    out += "</p><p class=\"nav\">";
    if (m.page > 0)
        out += "<a href=\"" + ConcordanceViewLink(m.order, m.page - 1, m.book) + "\">前の " +
               std::to_string(kConcordancePageLines) + " 行</a>";
    if (m.more)
        out += "<a href=\"" + ConcordanceViewLink(m.order, m.page + 1, m.book) + "\">次の " +
               std::to_string(kConcordancePageLines) + " 行</a>";
    out += "</p>";

    if (lineCount) {
        out += "<table><tr><th>書名 巻 頁</th><th style=\"text-align:right\">前</th>"
               "<th style=\"text-align:center\">用例</th><th>後</th><th></th></tr>";
        for (const ConcordanceLine& line : *m.lines) {
            const SearchNodeTag* row =
                m.rows && line.row < m.rows->size() ? &(*m.rows)[line.row] : nullptr;
            const std::string show = LineLink("line", line);
            out += "<tr><td class=\"s\"><a href=\"" + show + "\">" +
                   (row ? Escaped(ConcordanceCitation(*row)) : std::string()) + "</a></td>";
            out += "<td class=\"l\">" + Escaped(line.left) + "</td>";
            out += "<td class=\"m\"><a href=\"" + show +
                   "\" style=\"text-decoration:none\"><b style='color:red;background:#D9D9D9;'>" +
                   Escaped(line.match) + "</b></a></td>";
            out += "<td>" + Escaped(line.right) + "</td>";
            out += "<td class=\"c\"><a href=\"" + LineLink("copy", line) +
                   "\" title=\"出典つきでコピー\">写</a></td></tr>";
        }
        out += "</table>";
    }
    out += "</body></html>";
    return out;
}

}  // namespace kolva
