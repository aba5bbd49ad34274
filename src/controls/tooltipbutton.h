// A push button with its own tooltip.
#pragma once

#include <QPushButton>

namespace kolva {

class CToolTipButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

    // Sets the tooltip's text (a null text changes nothing) and turns the tooltip on or off.
    void SetToolTipText(const QString* text, bool activate = true);
    bool ToolTipActive() const { return m_toolTipActive; }

protected:
    bool event(QEvent* event) override;

private:
    QString m_toolTipText;
    bool m_toolTipActive = false;
};

// A button painted from a strip of four equal pictures side by side: normal, pressed, hovered
// and disabled. It takes the size of one picture.
class CToolTipResourceButton : public CToolTipButton {
    Q_OBJECT
public:
    using CToolTipButton::CToolTipButton;

    // Loads the strip (a Qt resource path) and resizes the button to one picture.
    bool LoadBitmaps(const QString& path);
    // The x offset in the strip of the picture drawn now.
    int PictureOffset() const;
    QSize PictureSize() const { return QSize(m_nWidth, m_nHeight); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPixmap m_bitmap;
    int m_nWidth = 0;
    int m_nHeight = 0;
    bool m_bHover = false;
};

}  // namespace kolva
