// The splash window shown while the program starts.
#pragma once

class QEvent;
class QWidget;

namespace kolva {

class CSplashWnd {
public:
    // Whether a splash may be shown; set once at start-up from the command line.
    static void EnableSplashScreen(bool enable);
    // Shows the splash over owner when allowed and none is up.
    static void ShowSplashScreen(QWidget* owner);
    // Called for every event before anything else; true when the splash has dealt with it.
    static bool PreTranslateAppMessage(QEvent* event);
    static void HideSplashScreen();
    static bool IsEnabled() { return c_bShowSplashWnd; }

private:
    static inline bool c_bShowSplashWnd = false;
};

}  // namespace kolva
