#include "shell/splash.h"

namespace kolva {

void CSplashWnd::EnableSplashScreen(bool enable) { c_bShowSplashWnd = enable; }

// The splash window itself arrives with the toolbar and its commands; until then nothing shows.
void CSplashWnd::ShowSplashScreen(QWidget*) {}

bool CSplashWnd::PreTranslateAppMessage(QEvent*) { return false; }

void CSplashWnd::HideSplashScreen() {}

}  // namespace kolva
