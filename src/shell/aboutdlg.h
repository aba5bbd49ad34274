// The About box: a frameless tool window showing one picture; a left-button release, Enter or
// Esc closes it.
#pragma once

#include <QDialog>

namespace kolva {

// The About picture, 500 x 350, drawn by the program.
QPixmap AboutPicture();

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace kolva
