#include "controls/tooltipbutton.h"

#include <QEnterEvent>
#include <QPainter>

#include "ui/icons.h"

namespace kolva {

void CToolTipButton::SetToolTipText(const QString* text, bool activate) {
    if (!text) return;
    m_toolTipText = *text;
    m_toolTipActive = activate;
    setToolTip(activate ? m_toolTipText : QString());
}

bool CToolTipButton::event(QEvent* event) {
    // An inactive tooltip shows nothing, whatever text it keeps.
    if (event->type() == QEvent::ToolTip && !m_toolTipActive) return true;
    return QPushButton::event(event);
}

bool CToolTipResourceButton::LoadBitmaps(const QString& path) {
    LoadAppResources();
    if (!m_bitmap.load(path)) return false;
    m_nWidth = m_bitmap.width() / 4;
    m_nHeight = m_bitmap.height();
    setFixedSize(m_nWidth, m_nHeight);
    return true;
}

int CToolTipResourceButton::PictureOffset() const {
    if (!isEnabled()) return 3 * m_nWidth;
    if (isDown()) return m_nWidth;
    if (m_bHover) return 2 * m_nWidth;
    return 0;
}

void CToolTipResourceButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_bitmap, PictureOffset(), 0, m_nWidth, m_nHeight);
}

void CToolTipResourceButton::enterEvent(QEnterEvent* event) {
    m_bHover = true;
    update();
    CToolTipButton::enterEvent(event);
}

void CToolTipResourceButton::leaveEvent(QEvent* event) {
    m_bHover = false;
    update();
    CToolTipButton::leaveEvent(event);
}

}  // namespace kolva
