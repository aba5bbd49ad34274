// The reading session: where the reader is (the volume's catalogue slot and the page number), the
// hits of the result page shown and the current one, the pages viewed, for back and forward, the
// last search (what it asked, its rows and the list page shown of them) and the range the next
// search is limited to.
// It is the one owner of the position: the frame, the toolbar and the pane ask it to move and
// follow its signals. It holds no widget and shows nothing itself.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <vector>

#include "catalogue/query.h"
#include "catalogue/results.h"
#include "concordance/concordance.h"

namespace kolva {

class CReadingSession : public QObject {
    Q_OBJECT
public:
    // One page viewed: a volume's page, or a result page at a hit.
    struct Visit {
        bool result = false;
        int node = 0, page = 0;   // a volume page
        uint32_t pageIndex = 0;   // a result page
        int anchor = 0;
        ConcordanceQuery query;
    };

    // What a search asked: its words (parted by U+3000, as pages are marked with them), how they
    // combine, the text searched and whether variant characters count.
    struct Query {
        QString keywords;
        SearchMethod method = SearchMethod::kAnd;
        SearchTarget target = SearchTarget::kWholeText;
        bool variants = true;
    };

    static constexpr int kRowsPerListPage = 100;

    explicit CReadingSession(QObject* parent = nullptr) : QObject(parent) {}

    int Node() const { return m_node; }  // the volume being read, 0 = none
    int Page() const { return m_page; }  // its page number
    int HitCount() const { return m_hitCount; }  // hit anchors on the result page shown
    int CurrentHit() const { return m_currentHit; }
    bool CanStepHit(int step) const {
        return step < 0 ? m_currentHit + step >= 0 : m_currentHit + step < m_hitCount;
    }

    // The position moves to page `page` of the volume in slot `node`.
    void MoveTo(int node, int page);
    // A result page is shown with `count` anchors, at hit `current` (kept within them).
    void SetHits(int count, int current);
    // The current hit moves by step (F3, Alt+F3); a search starts again at the first.
    void StepHit(int step);
    void RestartHits();

    // The last search run: what it asked and its rows, in the order shown (the list's headings
    // sort them). New rows are shown from their first list page.
    const Query& LastQuery() const { return m_query; }
    const std::vector<SearchNodeTag>& Rows() const { return m_rows; }
    void SetSearch(Query query, std::vector<SearchNodeTag> rows);
    void SortRows(RowOrder order, bool descending);

    // The rows by list pages of kRowsPerListPage: the page shown (1-based; 0 without rows) and
    // how many there are. SetListPage is false, nothing moved, for a page that is not there.
    int ListPage() const { return m_listPage; }
    int ListPageCount() const { return int((m_rows.size() + kRowsPerListPage - 1) / kRowsPerListPage); }
    bool SetListPage(int page);

    // The range the next search is limited to: a catalogue slot (kWholeCollection for all of it)
    // and the path of its entry, as the search panel shows it.
    int RangeNode() const { return m_rangeNode; }
    const QString& RangeName() const { return m_rangeName; }
    void SetRange(int node, QString name);

    // The pages viewed. A page shown again from them is not remembered anew.
    void Remember(Visit visit);
    bool CanGoThroughHistory(int step) const;
    // The visit before (-1) or after (+1) the one shown, which becomes the one shown; null at
    // either end. Show it between BeginRevisit and EndRevisit.
    const Visit* GoThroughHistory(int step);
    void BeginRevisit() { m_revisiting = true; }
    void EndRevisit() { m_revisiting = false; }

signals:
    // The position moved (volume slot, page number).
    void positionChanged(int node, int page);
    // The range of the next search moved (its entry's path, as the search panel shows it).
    void rangeChanged(const QString& name);
    // Anything of the session changed: position, hits, rows, range or pages viewed.
    void changed();

private:
    int m_node = 0;
    int m_page = 0;
    int m_hitCount = 0;
    int m_currentHit = 0;
    Query m_query;
    std::vector<SearchNodeTag> m_rows;
    int m_listPage = 0;
    int m_rangeNode = 1;
    QString m_rangeName = QStringLiteral("ｾｭ");
    std::vector<Visit> m_history;
    size_t m_historyAt = 0;     // the visit shown, when m_history has any
    bool m_revisiting = false;  // a visit is being shown again: it is not remembered anew
};

}  // namespace kolva
