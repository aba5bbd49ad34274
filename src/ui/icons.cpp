#include "ui/icons.h"

#include <QPainter>
#include <QPixmap>

// The resources live in a static library, so they must be registered by hand.
static void RegisterResources() { Q_INIT_RESOURCE(kolva); }

namespace kolva {

void LoadAppResources() {
    static const bool registered = (RegisterResources(), true);
    (void)registered;
}

namespace {

// A closed book in red cloth with the character 閲 ("read") on its cover.
QPixmap BookPicture(int size, bool small) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal m = size / 12.0;
    const QRectF cover(m * 2, m, size - m * 3, size - m * 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF2, 0xEC, 0xD9));  // page edges
    p.drawRoundedRect(cover.translated(m * 0.8, m * 0.6), m, m);
    p.setBrush(small ? QColor(0x2E, 0x6B, 0x3A) : QColor(0xA3, 0x1F, 0x24));
    p.drawRoundedRect(cover, m, m);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRect(QRectF(cover.left(), cover.top(), m * 1.2, cover.height()));  // spine
    QFont font;
    font.setPixelSize(int(cover.height() * 0.62));
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0xF5, 0xD7, 0x6E));
    p.drawText(cover.adjusted(m, 0, 0, 0), Qt::AlignCenter, QStringLiteral("閲"));
    return pixmap;
}

}  // namespace

QIcon AppIcon() {
    QIcon icon;
    for (int size : {48, 32, 16}) icon.addPixmap(BookPicture(size, false));
    return icon;
}

QIcon SmallAppIcon() {
    QIcon icon;
    icon.addPixmap(BookPicture(16, true));
    return icon;
}

}  // namespace kolva
