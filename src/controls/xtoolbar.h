// A toolbar with a picture background (tiled) and true-colour buttons whose transparent parts
// (pixels of the transparent colour in the strips) show the background picture behind them.
#pragma once

#include <QImage>
#include <QToolBar>
#include <vector>

namespace kolva {

// A strip of button pictures with every pixel of the transparent colour made see-through, so
// that the toolbar's background picture shows behind the button wherever the button sits.
QImage MaskStrip(const QImage& strip, QRgb transparent);

// A button is its image plus this many pixels wide; a separator is kSeparatorWidth wide.
inline constexpr int kButtonPadding = 7;
inline constexpr int kSeparatorWidth = 6;

class CXToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit CXToolBar(QWidget* parent = nullptr);

    void SetImageSize(int width, int height);
    void SetBackground(const QString& path);
    // Gives every button its normal, disabled and hot picture from the three strips.
    void LoadButtonImages(int imageCount, QRgb transparent, const QString& normal,
                          const QString& disabled, const QString& hot);
    const QImage& Background() const { return m_background; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_nImageCount = 0;
    int m_nImageWidth = 24;
    int m_nImageHeight = 24;
    QImage m_background;
};

}  // namespace kolva
