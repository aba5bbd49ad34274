// The main window's toolbar: the command buttons, a page slider over the pages of the volume
// being read and a read-only page label ("headerCount/page").
#pragma once

#include <QLineEdit>
#include <QSlider>

#include "controls/xtoolbar.h"

namespace kolva {

class CLeftForm;

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
    void SetLeftForm(CLeftForm* form) { m_pLeftForm = form; }

    // Set by the frame and the pane when they show a page; these never show a page themselves.
    void SetSliderRange(int minimum, int maximum);
    void SetSliderPos(int position);
    void SetPageLabel(const QString& text);

    CXSliderCtrl* Slider() const { return m_wndSlider; }
    CXEdit* PageLabel() const { return m_wndPageLabel; }

private:
    // The end of a movement of the slider (drag released, a click in the channel, a key).
    void OnEndOfMove();

    CXSliderCtrl* m_wndSlider = nullptr;  // 101
    CXEdit* m_wndPageLabel = nullptr;     // 102
    CLeftForm* m_pLeftForm = nullptr;
    bool m_settingSlider = false;
};

}  // namespace kolva
