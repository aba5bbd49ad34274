#include "controls/xtoolbar.h"

#include <QAction>
#include <QApplication>
#include <QPainter>
#include <QPalette>

#include "shell/icons.h"

namespace kolva {

QImage CompositeStrip(const QImage& stripIn, const QImage& backgroundIn,
                      const std::vector<bool>& itemIsSeparator, int imageCount, int width,
                      int height, QRgb transparent, QRgb buttonFace) {
    QImage strip = stripIn.convertToFormat(QImage::Format_RGB32);
    if (backgroundIn.isNull()) return strip;
    const QImage background = backgroundIn.convertToFormat(QImage::Format_RGB32);
    const int y = 4;
    int x = 3, n = 0;
    for (bool separator : itemIsSeparator) {
        if (separator) {
            x += 6;
            continue;
        }
        if (n >= imageCount) continue;
        for (int r = 0; r < height; ++r) {          // rows from the bottom edge
            const int stripRow = strip.height() - 1 - r;
            const int backRow = background.height() - 1 - (r + y);
            for (int c = 0; c < width; ++c) {
                QRgb& pixel = reinterpret_cast<QRgb*>(strip.scanLine(stripRow))[n * width + c];
                if ((pixel & 0xFFFFFF) != (transparent & 0xFFFFFF)) continue;
                const bool inside = x + c < background.width() && backRow >= 0;
                pixel = inside ? background.pixel(x + c, backRow) : buttonFace;
            }
        }
        x += width + 7;
        ++n;
    }
    return strip;
}

CXToolBar::CXToolBar(QWidget* parent) : QToolBar(parent) { LoadAppResources(); }

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
    std::vector<bool> separators;
    std::vector<QAction*> buttons;
    for (QAction* action : actions()) {
        separators.push_back(action->isSeparator());
        if (!action->isSeparator()) buttons.push_back(action);
    }
    const QRgb face = QApplication::palette().color(QPalette::Button).rgb();
    const QImage strips[3] = {
        CompositeStrip(QImage(normal), m_background, separators, imageCount, m_nImageWidth,
                       m_nImageHeight, transparent, face),
        CompositeStrip(QImage(disabled), m_background, separators, imageCount, m_nImageWidth,
                       m_nImageHeight, transparent, face),
        CompositeStrip(QImage(hot), m_background, separators, imageCount, m_nImageWidth,
                       m_nImageHeight, transparent, face)};
    const QIcon::Mode modes[3] = {QIcon::Normal, QIcon::Disabled, QIcon::Active};
    for (size_t i = 0; i < buttons.size() && int(i) < imageCount; ++i) {
        QIcon icon;
        for (int s = 0; s < 3; ++s)
            icon.addPixmap(QPixmap::fromImage(strips[s].copy(int(i) * m_nImageWidth, 0,
                                                             m_nImageWidth, m_nImageHeight)),
                           modes[s]);
        buttons[i]->setIcon(icon);
    }
}

void CXToolBar::paintEvent(QPaintEvent* event) {
    if (!m_background.isNull()) {
        QPainter painter(this);
        painter.fillRect(rect(), QBrush(QPixmap::fromImage(m_background)));  // tiled
    }
    QToolBar::paintEvent(event);
}

}  // namespace kolva
