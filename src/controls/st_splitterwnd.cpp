#include "controls/st_splitterwnd.h"

#include <QApplication>

namespace kolva {

ST_SplitterWnd::ST_SplitterWnd(int level, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), m_nLevel(level) {
    setChildrenCollapsible(false);
}

void ST_SplitterWnd::Create(QWidget* pane0, QWidget* pane1) {
    m_panes[0] = pane0;
    m_panes[1] = pane1;
    if (pane0) addWidget(pane0);
    if (pane1) addWidget(pane1);
    // Like a static splitter, the left column keeps its width and the last one takes the rest.
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
}

QWidget* ST_SplitterWnd::Pane(int column) const {
    return column >= 0 && column < 2 ? m_panes[column] : nullptr;
}

void ST_SplitterWnd::resizeEvent(QResizeEvent* event) {
    QSplitter::resizeEvent(event);
    if (!m_laidOut && count() == 2 && width() > m_leftWidth) {
        m_laidOut = true;
        setSizes({m_leftWidth, width() - m_leftWidth - handleWidth()});
    }
}

int ST_SplitterWnd::LeftWidth() const {
    if (m_nHiddenCol == 0 || sizes().size() < 2) return m_nSize0;
    return sizes()[0];
}

void ST_SplitterWnd::ToggleSide(int n) {
    if (m_nHiddenCol == -1)
        HideColumn(n);
    else if (m_nHiddenCol == n)
        ShowColumn();
}

void ST_SplitterWnd::HideColumn(int n) {
    if (m_nHiddenCol != -1) return;
    Q_ASSERT(n >= 0 && n < 2 && m_panes[n]);
    RememberSizes();
    m_nHiddenCol = n;
    // The active pane moves to the next column before its own column goes.
    QWidget* focus = QApplication::focusWidget();
    if (focus && m_panes[n]->isAncestorOf(focus) && m_panes[1 - n]) m_panes[1 - n]->setFocus();
    m_panes[n]->hide();
}

void ST_SplitterWnd::ShowColumn() {
    Q_ASSERT(m_nHiddenCol != -1);
    const int n = m_nHiddenCol;
    m_nHiddenCol = -1;
    m_panes[n]->show();
    // The column comes back at the width it had before it was hidden.
    const int total = width() - handleWidth();
    setSizes(n == 0 ? QList<int>{m_nSize0, total - m_nSize0} : QList<int>{total - m_nSize1, m_nSize1});
}

void ST_SplitterWnd::RememberSizes() {
    if (m_nHiddenCol != -1 || !m_panes[0] || !m_panes[1]) return;
    const QList<int> s = sizes();
    if (s.size() < 2) return;
    m_nSize0 = s[0];
    m_nSize1 = s[1];
    m_nMin0 = m_panes[0]->minimumSizeHint().width();
    m_nMin1 = m_panes[1]->minimumSizeHint().width();
}

QString ST_SplitterWnd::ProfileKey() const {
    return m_strSection + QStringLiteral("/Panes_%1").arg(m_nLevel);
}

QString ST_SplitterWnd::ProfileValue() const {
    auto size = [](int s) { return s == -1 ? 100 : s; };
    return QStringLiteral("%1 %2 %3 %4")
        .arg(m_nHiddenCol)
        .arg(size(m_nSize0))
        .arg(m_nHiddenRow)
        .arg(size(m_nSize1));
}

}  // namespace kolva
