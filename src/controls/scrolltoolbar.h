// The main window's toolbar: the command buttons, a page slider over the pages of the volume
// being read and a read-only page label ("headerCount/page"). The toolbar shows no page itself:
// it tells the main window which page the reader chose with the slider, and the main window sets
// the slider and the label whenever a page is shown.
#pragma once

#include <QLineEdit>
#include <QSlider>

#include "controls/xtoolbar.h"

namespace kolva {

// A slider and an edit that paint their background with the toolbar's picture.
class CXSliderCtrl : public QSlider {
    Q_OBJECT
public:
    using QSlider::QSlider;
    void SetBkBitmap(const QImage& picture);
};

class CXEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;
    void SetBkBitmap(const QImage& picture);
};

class CSCrollToolBar : public CXToolBar {
    Q_OBJECT
public:
    explicit CSCrollToolBar(QWidget* parent = nullptr);

    // Builds the picture background, the slider and the label after the buttons were added.
    void OnCreate();

    // Set by the main window when a page is shown; these never show a page themselves.
    void SetSliderRange(int minimum, int maximum);
    void SetSliderPos(int position);
    void SetPageLabel(const QString& text);

    CXSliderCtrl* Slider() const { return m_wndSlider; }
    CXEdit* PageLabel() const { return m_wndPageLabel; }

signals:
    // The reader moved the slider to page number page (once, when the movement ended).
    void pageChosen(int page);

private:
    // The end of a movement of the slider (drag released, a click in the channel, a key).
    void OnEndOfMove();

    CXSliderCtrl* m_wndSlider = nullptr;  // 101
    CXEdit* m_wndPageLabel = nullptr;     // 102
    bool m_settingSlider = false;
};

}  // namespace kolva
