#include "session/reading_session.h"

#include <algorithm>

namespace kolva {

void CReadingSession::MoveTo(int node, int page) {
    m_node = node;
    m_page = page;
    emit positionChanged(node, page);
    emit changed();
}

void CReadingSession::SetHits(int count, int current) {
    m_hitCount = count;
    m_currentHit = std::clamp(current, 0, std::max(count - 1, 0));
    emit changed();
}

void CReadingSession::StepHit(int step) {
    m_currentHit += step;
    emit changed();
}

void CReadingSession::RestartHits() {
    m_currentHit = 0;
    emit changed();
}

void CReadingSession::SetSearch(Query query, std::vector<SearchNodeTag> rows) {
    m_query = std::move(query);
    m_rows = std::move(rows);
    m_listPage = m_rows.empty() ? 0 : 1;
    emit changed();
}

void CReadingSession::SortRows(RowOrder order, bool descending) {
    kolva::SortRows(m_rows, order, descending);
    m_listPage = m_rows.empty() ? 0 : 1;
    emit changed();
}

bool CReadingSession::SetListPage(int page) {
    if (page < 1 || page > ListPageCount()) return false;
    m_listPage = page;
    emit changed();
    return true;
}

void CReadingSession::SetRange(int node, QString name) {
    m_rangeNode = node;
    m_rangeName = std::move(name);
    emit rangeChanged(m_rangeName);
    emit changed();
}

void CReadingSession::Remember(Visit visit) {
    if (m_revisiting) return;
    constexpr size_t kMostVisits = 500;
    if (!m_history.empty()) m_history.resize(m_historyAt + 1);  // the forward visits go
    m_history.push_back(std::move(visit));
    if (m_history.size() > kMostVisits) m_history.erase(m_history.begin());
    m_historyAt = m_history.size() - 1;
    emit changed();
}

bool CReadingSession::CanGoThroughHistory(int step) const {
    if (m_history.empty()) return false;
    return step < 0 ? m_historyAt > 0 : m_historyAt + 1 < m_history.size();
}

const CReadingSession::Visit* CReadingSession::GoThroughHistory(int step) {
    if (!CanGoThroughHistory(step)) return nullptr;
    m_historyAt = step < 0 ? m_historyAt - 1 : m_historyAt + 1;
    emit changed();
    return &m_history[m_historyAt];
}

}  // namespace kolva
