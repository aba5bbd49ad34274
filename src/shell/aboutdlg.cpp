#include "shell/aboutdlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>

#include "ui/appinfo.h"

namespace kolva {

QPixmap AboutPicture() {
    QPixmap picture(500, 350);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient paper(0, 0, 0, 350);
    paper.setColorAt(0, QColor(0xF7, 0xF1, 0xDE));
    paper.setColorAt(1, QColor(0xE6, 0xDA, 0xB8));
    p.fillRect(picture.rect(), paper);
    p.setPen(QPen(QColor(0xA3, 0x1F, 0x24), 3));
    p.drawRect(QRectF(12, 12, 476, 326));
    p.setPen(QPen(QColor(0xBE, 0x96, 0x46), 1));
    p.drawRect(QRectF(20, 20, 460, 310));
    QFont title;
    title.setFamilies({QStringLiteral("Noto Serif CJK JP"), QStringLiteral("Noto Sans CJK JP")});
    title.setPixelSize(34);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0xA3, 0x1F, 0x24));
    p.drawText(QRect(20, 70, 460, 60), Qt::AlignCenter, QStringLiteral("Kolva全集"));
    QFont body = title;
    body.setPixelSize(17);
    body.setBold(false);
    p.setFont(body);
    p.setPen(QColor(0x40, 0x34, 0x28));
    p.drawText(QRect(20, 140, 460, 30), Qt::AlignCenter, QStringLiteral("現代全文検索"));
    p.drawText(QRect(20, 190, 460, 30), Qt::AlignCenter, kAppTitle);
    body.setPixelSize(13);
    p.setFont(body);
    p.drawText(QRect(20, 280, 460, 24), Qt::AlignCenter,
               QStringLiteral("クリック、Enter または Esc で閉じます。"));
    return picture;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("aboutBox"));
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("aboutPicture"));
    picture->setPixmap(AboutPicture());
    picture->move(0, 0);
    picture->adjustSize();
    picture->setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(500, 350);
}

void CAboutDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) accept();
}

void CAboutDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        accept();
    else if (event->key() == Qt::Key_Escape)
        reject();
}

}  // namespace kolva
