#include "pane/concordancebrowser.h"

#include <QClipboard>
#include <QGuiApplication>

#include "platform/scratch.h"
#include "view/bookview.h"

namespace kolva {

namespace {
constexpr const char* kFirstFile = "concordance1.html";
constexpr const char* kSecondFile = "concordance2.html";
}  // namespace

CConcordanceBrowser::CConcordanceBrowser(CBookView* view, std::filesystem::path scratchFolder,
                                         ShowHit showHit, QObject* parent)
    : QObject(parent),
      m_pBookView(view),
      m_scratchFolder(std::move(scratchFolder)),
      m_showHit(std::move(showHit)) {}

CConcordanceBrowser::~CConcordanceBrowser() {
    std::error_code ec;
    for (const char* name : {kFirstFile, kSecondFile}) std::filesystem::remove(m_scratchFolder / name, ec);
}

void CConcordanceBrowser::Open(const CIndex& index, std::vector<SearchNodeTag> rows,
                               ConcordanceQuery query, QString totals, QString options) {
    m_rows = std::move(rows);
    std::vector<uint32_t> pages;
    pages.reserve(m_rows.size());
    for (const SearchNodeTag& row : m_rows) pages.push_back(row.pageIndex);
    m_concordance = std::make_unique<CConcordance>(index, std::move(pages), std::move(query));
    m_totals = std::move(totals);
    m_options = std::move(options);
    m_books = HitsPerBook(m_rows);
    m_sorted.clear();
    m_sortedOrder = ConcordanceOrder::kPage;
    // The volume chart starts with the book that has the most hits.
    int book = -1;
    for (size_t i = 0; i < m_books.size(); ++i)
        if (book < 0 || m_books[i].hits > m_books[size_t(book)].hits) book = int(i);
    Show(ConcordanceOrder::kPage, 0, book);
}

void CConcordanceBrowser::Close() {
    // A concordance on show gives way to a line that says whose it is, so that no dead line
    // or copy link stays in sight.
    const bool onShow = m_concordance && m_pBookView && !m_file.empty() &&
                        m_pBookView->GetLocationURL() == QString::fromStdString(m_file.string());
    if (onShow) {
        const std::filesystem::path file = m_scratchFolder / "concordance-retired.html";
        const std::string html =
            "<html><head><meta charset=\"utf-8\"><title>用例一覧</title></head><body>"
            "<p>この用例一覧は前の検索のものでした。新しい検索の結果は左の一覧にあります"
            "（一覧 → 用例一覧で新しい用例一覧を開きます）。</p></body></html>";
        if (WriteFileNoFollow(file, html)) {
            m_file = file;
            m_pBookView->Navigate2(QString::fromStdString(file.string()));
        }
    }
    m_concordance.reset();
    m_rows.clear();
    m_sorted.clear();
    m_shown.clear();
    m_books.clear();
}

void CConcordanceBrowser::Show(ConcordanceOrder order, size_t page, int book) {
    if (!m_concordance) return;
    m_order = order;
    m_page = page;
    m_book = book >= 0 && size_t(book) < m_books.size() ? book : -1;
    m_shown.clear();
    const size_t first = page * kConcordancePageLines;
    bool more = false;
    if (order == ConcordanceOrder::kPage) {
        m_concordance->AppendPageOrderLines(first, kConcordancePageLines, m_shown);
        more = m_concordance->LinesCounted() > first + m_shown.size() ||
               (!m_concordance->AllCounted() && m_shown.size() == kConcordancePageLines);
    } else {
        // Sorting needs every line; they are made once per order and kept while it is shown.
        if (m_sorted.empty() || m_sortedOrder != order) {
            m_sorted.clear();
            m_sorted = m_concordance->Lines(order);
            m_sortedOrder = order;
        }
        for (size_t i = first; i < m_sorted.size() && i < first + kConcordancePageLines; ++i)
            m_shown.push_back(m_sorted[i]);
        more = m_sorted.size() > first + kConcordancePageLines;
    }

    ConcordancePageModel model;
    model.keywords = m_concordance->Query().keywords;
    model.totals = m_totals.toStdU16String();
    model.options = m_options.toStdU16String();
    model.order = order;
    model.page = page;
    model.firstLine = first;
    model.allKnown = order != ConcordanceOrder::kPage || m_concordance->AllCounted();
    model.linesKnown = order == ConcordanceOrder::kPage ? m_concordance->LinesCounted() : m_sorted.size();
    model.more = more;
    model.books = m_books;
    model.book = m_book;
    if (m_book >= 0) model.volumes = HitsPerVolume(m_rows, m_books[size_t(m_book)].label);
    model.rows = &m_rows;
    model.lines = &m_shown;

    const std::filesystem::path file = m_scratchFolder / (m_useFirstFile ? kFirstFile : kSecondFile);
    if (!WriteFileNoFollow(file, ConcordancePageHtml(model))) return;
    m_useFirstFile = !m_useFirstFile;
    m_file = file;
    if (m_pBookView) m_pBookView->Navigate2(QString::fromStdString(file.string()));
}

const ConcordanceLine* CConcordanceBrowser::FindShown(uint32_t row, int anchor) const {
    for (const ConcordanceLine& line : m_shown)
        if (line.row == row && line.anchor == anchor) return &line;
    return nullptr;
}

bool CConcordanceBrowser::Answer(const QString& url) {
    ConcordanceLink link;
    if (!m_concordance || !ParseConcordanceLink(url.toStdString(), link)) return false;
    switch (link.kind) {
        case ConcordanceLink::kView:
            Show(link.order, link.page, link.book);
            return true;
        case ConcordanceLink::kLine:
            if (link.row >= m_rows.size()) return false;
            if (m_showHit) m_showHit(m_rows[link.row].pageIndex, link.anchor, m_concordance->Query());
            return true;
        case ConcordanceLink::kCopy: {
            const ConcordanceLine* line = FindShown(link.row, link.anchor);
            if (!line) return false;
            QGuiApplication::clipboard()->setText(
                QString::fromStdU16String(ConcordanceCopyText(*line, m_rows[line->row])));
            return true;
        }
    }
    return false;
}

}  // namespace kolva
