#include "controls/xtoolbar.h"

#include <QAction>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleOptionToolBar>

#include "ui/icons.h"

namespace kolva {

QImage MaskStrip(const QImage& strip, QRgb transparent) {
    QImage out = strip.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((row[x] & 0xFFFFFF) == (transparent & 0xFFFFFF)) row[x] = 0;
    }
    return out;
}

namespace {

// The bar's items sit side by side as the pictures were drawn for: no spacing or margin between
// them, separators 6 pixels wide. With the buttons at image width + 7 this keeps the slider and
// the page label on a 1024-pixel window instead of in the overflow menu.
class CToolBarStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        switch (metric) {
            case PM_ToolBarItemSpacing:
            case PM_ToolBarItemMargin:
                return 0;
            case PM_ToolBarSeparatorExtent:
                return kSeparatorWidth;
            default:
                return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
};

}  // namespace

CXToolBar::CXToolBar(QWidget* parent) : QToolBar(parent) {
    LoadAppResources();
    auto* style = new CToolBarStyle;
    style->setParent(this);
    setStyle(style);
}

void CXToolBar::SetImageSize(int width, int height) {
    m_nImageWidth = width;
    m_nImageHeight = height;
    setIconSize(QSize(width, height));
}

void CXToolBar::SetBackground(const QString& path) {
    m_background = QImage(path);
    update();
}

void CXToolBar::LoadButtonImages(int imageCount, QRgb transparent, const QString& normal,
                                 const QString& disabled, const QString& hot) {
    m_nImageCount = imageCount;
    std::vector<QAction*> buttons;
    for (QAction* action : actions())
        if (!action->isSeparator()) buttons.push_back(action);
    const QImage strips[3] = {MaskStrip(QImage(normal), transparent),
                              MaskStrip(QImage(disabled), transparent),
                              MaskStrip(QImage(hot), transparent)};
    const QIcon::Mode modes[3] = {QIcon::Normal, QIcon::Disabled, QIcon::Active};
    for (size_t i = 0; i < buttons.size() && int(i) < imageCount; ++i) {
        QIcon icon;
        for (int s = 0; s < 3; ++s)
            icon.addPixmap(QPixmap::fromImage(strips[s].copy(int(i) * m_nImageWidth, 0,
                                                             m_nImageWidth, m_nImageHeight)),
                           modes[s]);
        buttons[i]->setIcon(icon);
        if (QWidget* button = widgetForAction(buttons[i])) button->setFixedWidth(m_nImageWidth + kButtonPadding);
    }
}

void CXToolBar::paintEvent(QPaintEvent* event) {
    QToolBar::paintEvent(event);
    if (m_background.isNull()) return;
    // The picture replaces the style's panel everywhere but on the handle, tiled from the
    // toolbar's top-left corner.
    QStyleOptionToolBar option;
    initStyleOption(&option);
    QRegion area(rect());
    if (isMovable()) area -= style()->subElementRect(QStyle::SE_ToolBarHandle, &option, this);
    QPainter painter(this);
    painter.setClipRegion(area);
    painter.fillRect(rect(), QBrush(QPixmap::fromImage(m_background)));
}

}  // namespace kolva
