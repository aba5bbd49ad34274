// The program's pictures, drawn by the program itself.
#pragma once

#include <QIcon>

namespace kolva {

// The window icon (48, 32 and 16 pixels).
QIcon AppIcon();
// The small icon of the main window.
QIcon SmallAppIcon();

}  // namespace kolva
