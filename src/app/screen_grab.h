// Reading an area of the screen. On X11 the screen itself is read; Wayland
// lets no program read other windows, so there the desktop's screenshot
// portal is asked for the screen and the area is cut from its picture.
#pragma once

#include <QImage>
#include <QRect>

namespace pixtrel {

// The pixels of area (screen coordinates); null when it is empty or the
// screen could not be read (no screen, the portal refused or is missing).
QImage GrabScreenArea(const QRect& area);

}  // namespace pixtrel
