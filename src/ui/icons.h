// The program's pictures, drawn by the program itself.
#pragma once

#include <QIcon>

namespace kolva {

// Makes the program's compiled-in resources (pictures, the keyword page) available; the windows
// call it before they use them.
void LoadAppResources();

// The window icon (48, 32 and 16 pixels).
QIcon AppIcon();
// The small icon of the main window.
QIcon SmallAppIcon();

}  // namespace kolva
