// The splitter of the main window: the left pane and the reading view side by side. It can hide
// the left column and bring it back at its old width, and it remembers the pane sizes for the
// profile ("SplitterWnd" / "Panes_<level>" = "hiddenCol size0 hiddenRow size1"), which the main
// window writes when it closes.
#pragma once

#include <QPointer>
#include <QSplitter>

namespace kolva {

class ST_SplitterWnd : public QSplitter {
    Q_OBJECT
public:
    explicit ST_SplitterWnd(int level = 0, QWidget* parent = nullptr);

    // Adds pane 0 (260 pixels wide) and pane 1 (the rest); side by side.
    void Create(QWidget* pane0, QWidget* pane1);

    // The full-width switch: hides column n when nothing is hidden, shows it when it is hidden.
    void ToggleSide(int n);
    void HideColumn(int n);
    void ShowColumn();
    // Copies the current pane sizes while nothing is hidden.
    void RememberSizes();
    // The profile entry of the remembered sizes: its key ("SplitterWnd/Panes_<level>") and its
    // value ("hiddenCol size0 hiddenRow size1"; a size of -1 is written as 100).
    QString ProfileKey() const;
    QString ProfileValue() const;

    int HiddenColumn() const { return m_nHiddenCol; }
    QWidget* Pane(int column) const;

    static constexpr int kInitialLeftWidth = 260;
    // The left pane's width at the first layout (the width kept from the last session).
    void SetLeftWidth(int width) { m_leftWidth = width; }
    // The left pane's width now, or before it was hidden.
    int LeftWidth() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    bool m_bVertical = true;  // one row, two columns
    int m_nHiddenCol = -1;
    int m_nHiddenRow = -1;
    int m_nSize0 = 100;
    int m_nSize1 = 100;
    int m_nMin0 = 10;
    int m_nMin1 = 10;
    QString m_strSection = QStringLiteral("SplitterWnd");
    int m_nLevel;
    QPointer<QWidget> m_panes[2];  // null once a pane is destroyed
    int m_leftWidth = kInitialLeftWidth;
    bool m_laidOut = false;  // the first layout has given pane 0 its 260 pixels
};

}  // namespace kolva
