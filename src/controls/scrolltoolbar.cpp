#include "controls/scrolltoolbar.h"

#include <QToolTip>

namespace kolva {

namespace {

void PaintWith(QWidget* widget, const QImage& picture) {
    if (picture.isNull()) return;
    QPalette palette = widget->palette();
    const QBrush brush(QPixmap::fromImage(picture));
    palette.setBrush(QPalette::Window, brush);
    palette.setBrush(QPalette::Base, brush);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace

void CXSliderCtrl::SetBkBitmap(const QImage& picture) { PaintWith(this, picture); }
void CXEdit::SetBkBitmap(const QImage& picture) { PaintWith(this, picture); }

CSCrollToolBar::CSCrollToolBar(QWidget* parent) : CXToolBar(parent) {}

void CSCrollToolBar::OnCreate() {
    SetImageSize(40, 40);
    SetBackground(QStringLiteral(":/pictures/toolbar-background.png"));
    LoadButtonImages(10, qRgb(255, 0, 255), QStringLiteral(":/pictures/toolbar-normal.png"),
                     QStringLiteral(":/pictures/toolbar-disabled.png"),
                     QStringLiteral(":/pictures/toolbar-hot.png"));

    m_wndSlider = new CXSliderCtrl(Qt::Horizontal, this);
    m_wndSlider->setObjectName(QStringLiteral("pageSlider"));
    m_wndSlider->setFixedWidth(240);  // with the page label, in sight on a window of 900 pixels
    m_wndSlider->setTickPosition(QSlider::TicksBelow);
    m_wndSlider->setFocusPolicy(Qt::StrongFocus);
    m_wndSlider->SetBkBitmap(Background());
    m_wndSlider->setRange(0, 0);
    addWidget(m_wndSlider);
    m_wndPageLabel = new CXEdit(this);
    m_wndPageLabel->setObjectName(QStringLiteral("pageLabel"));
    m_wndPageLabel->setReadOnly(true);
    // Wide enough for "page/last page" of the longest volumes.
    m_wndPageLabel->setFixedWidth(m_wndPageLabel->fontMetrics().horizontalAdvance(QStringLiteral("00000/00000")) + 12);
    m_wndPageLabel->setFrame(false);
    m_wndPageLabel->SetBkBitmap(Background());
    addWidget(m_wndPageLabel);

    const QCursor moving(QPixmap(QStringLiteral(":/pictures/slider-cursor.png")), 16, 16);
    connect(m_wndSlider, &QSlider::sliderPressed, this, [this, moving] { m_wndSlider->setCursor(moving); });
    connect(m_wndSlider, &QSlider::sliderMoved, this, [this](int position) {
        // The position follows the mouse in a tooltip while the slider is dragged.
        QToolTip::showText(QCursor::pos(), QString::number(position), m_wndSlider);
    });
    connect(m_wndSlider, &QSlider::sliderReleased, this, [this] {
        m_wndSlider->unsetCursor();
        OnEndOfMove();
    });
    connect(m_wndSlider, &QSlider::valueChanged, this, [this] {
        // A click in the channel or a key ends its movement at once; a drag ends on release.
        if (!m_settingSlider && !m_wndSlider->isSliderDown()) OnEndOfMove();
    });
}

void CSCrollToolBar::OnEndOfMove() { emit pageChosen(m_wndSlider->value()); }

void CSCrollToolBar::SetSliderRange(int minimum, int maximum) {
    if (!m_wndSlider) return;
    m_settingSlider = true;
    m_wndSlider->setRange(minimum, maximum);
    m_settingSlider = false;
}

void CSCrollToolBar::SetSliderPos(int position) {
    if (!m_wndSlider) return;
    m_settingSlider = true;
    m_wndSlider->setValue(position);
    m_settingSlider = false;
}

void CSCrollToolBar::SetPageLabel(const QString& text) {
    if (m_wndPageLabel) m_wndPageLabel->setText(text);
}

}  // namespace kolva
