#include "shell/splash.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "ui/appinfo.h"

namespace kolva {

void CSplashPicture::Play() {
    m_playing = true;
    update();
}

void CSplashPicture::Stop() { m_playing = false; }

void CSplashPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient night(0, 0, 0, height());
    night.setColorAt(0, QColor(0x1C, 0x22, 0x3A));
    night.setColorAt(1, QColor(0x4A, 0x1E, 0x24));
    p.fillRect(rect(), night);
    const QRectF card(width() * 0.2, height() * 0.3, width() * 0.6, height() * 0.4);
    p.setPen(QPen(QColor(0xD9, 0xB3, 0x5B), 3));
    p.setBrush(QColor(0xF7, 0xF1, 0xDE));
    p.drawRoundedRect(card, 12, 12);
    QFont title;
    title.setFamilies({QStringLiteral("Noto Serif CJK JP"), QStringLiteral("Noto Sans CJK JP")});
    title.setPixelSize(std::max(24, int(card.height() / 5)));
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0xA3, 0x1F, 0x24));
    p.drawText(card.adjusted(0, 0, 0, -card.height() / 3), Qt::AlignCenter, QStringLiteral("Kolva全集"));
    QFont line = title;
    line.setPixelSize(std::max(14, int(card.height() / 12)));
    line.setBold(false);
    p.setFont(line);
    p.setPen(QColor(0x40, 0x34, 0x28));
    p.drawText(card.adjusted(0, card.height() / 3, 0, 0), Qt::AlignCenter, kMainCaption);
}

void CSplashWnd::EnableSplashScreen(bool enable) { c_bShowSplashWnd = enable; }

CSplashWnd::CSplashWnd(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_owner(owner) {
    setAttribute(Qt::WA_DeleteOnClose);
    setCursor(Qt::ArrowCursor);
}

CSplashWnd::~CSplashWnd() {
    if (c_pSplashWnd == this) c_pSplashWnd = nullptr;
}

bool CSplashWnd::Create() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return false;
    m_rect = screen->geometry();
    setGeometry(m_rect);
    m_timer.setSingleShot(true);
    m_timer.setInterval(kShowMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, [] { HideSplashScreen(); });
    m_timer.start();
    m_pFlash = new CSplashPicture(this);
    m_pFlash->setObjectName(QStringLiteral("splashPicture"));
    m_pFlash->setWindowTitle(QStringLiteral("Flash"));
    m_pFlash->setGeometry(0, 0, m_rect.width(), m_rect.height());
    m_pFlash->SetMovie(QCoreApplication::applicationDirPath() + QStringLiteral("/main.swf"));
    m_pFlash->Play();
    return true;
}

void CSplashWnd::ShowSplashScreen(QWidget* owner) {
    if (!c_bShowSplashWnd || c_pSplashWnd) return;
    c_pSplashWnd = new CSplashWnd(owner);
    if (!c_pSplashWnd->Create()) {
        delete c_pSplashWnd;  // the program goes on without a splash
        return;
    }
    c_pSplashWnd->showMaximized();
    c_pSplashWnd->repaint();
}

bool CSplashWnd::PreTranslateAppMessage(QEvent* event) {
    if (!c_pSplashWnd) return false;
    switch (event->type()) {
        case QEvent::KeyPress:
            break;
        case QEvent::MouseButtonPress:
        case QEvent::NonClientAreaMouseButtonPress: {
            const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
            if (button != Qt::LeftButton && button != Qt::RightButton && button != Qt::MiddleButton)
                return false;
            break;
        }
        default:
            return false;
    }
    HideSplashScreen();
    return true;
}

void CSplashWnd::HideSplashScreen() {
    CSplashWnd* splash = c_pSplashWnd;
    if (!splash) return;
    c_pSplashWnd = nullptr;
    splash->m_pFlash->Stop();
    QWidget* owner = splash->m_owner;
    splash->close();  // deletes the window
    if (owner) owner->repaint();
}

}  // namespace kolva
