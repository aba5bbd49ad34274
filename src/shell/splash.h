// The splash window: it covers the screen while the program starts and goes after 50 seconds or
// at the first key or mouse press anywhere in the program (that press does nothing else).
#pragma once

#include <QTimer>
#include <QWidget>

class QEvent;

namespace kolva {

// The movie player layer of the splash: the movie's path, play and stop. No movie player exists
// on this platform, so it shows a title card drawn by the program while it "plays".
class CShockwaveFlash : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    void SetMovie(const QString& path) { m_movie = path; }
    const QString& Movie() const { return m_movie; }
    void Play();
    void Stop();
    bool IsPlaying() const { return m_playing; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_movie;
    bool m_playing = false;
};

class CSplashWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kShowMilliseconds = 3000;  // at most; the ready window closes it sooner

    // Whether a splash may be shown; set once at start-up from the command line.
    static void EnableSplashScreen(bool enable);
    // Shows the splash over owner when allowed and none is up.
    static void ShowSplashScreen(QWidget* owner);
    // Called for every event before anything else; true when the splash has dealt with it.
    static bool PreTranslateAppMessage(QEvent* event);
    static void HideSplashScreen();
    static bool IsEnabled() { return c_bShowSplashWnd; }
    static CSplashWnd* Current() { return c_pSplashWnd; }

    CShockwaveFlash* Player() const { return m_pFlash; }
    const QTimer& Timer() const { return m_timer; }

private:
    explicit CSplashWnd(QWidget* owner);
    ~CSplashWnd() override;
    bool Create();

    QRect m_rect;                   // the screen the splash covers
    CShockwaveFlash* m_pFlash = nullptr;
    QTimer m_timer;
    QWidget* m_owner;

    static inline bool c_bShowSplashWnd = false;
    static inline CSplashWnd* c_pSplashWnd = nullptr;
};

}  // namespace kolva
