// A toolbar with a picture background and true-colour buttons whose transparent parts (pixels of
// the transparent colour in the strips) show the background picture behind each button.
#pragma once

#include <QImage>
#include <QToolBar>
#include <vector>

namespace kolva {

// Composites a strip of images over the background as the toolbar lays its items out: x starts
// at 3 and y at 4; a separator adds 6 to x, a button takes image n (while n is below imageCount),
// its transparent pixels take the background pixel at (x + column, y + row) counted from the
// bottom edges (the button face colour outside the background), then x grows by width + 7.
QImage CompositeStrip(const QImage& strip, const QImage& background,
                      const std::vector<bool>& itemIsSeparator, int imageCount, int width,
                      int height, QRgb transparent, QRgb buttonFace);

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
