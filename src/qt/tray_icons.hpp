#pragma once

#include <QIcon>
#include <QImage>
#include <QPainterPath>

namespace thumbrover {

// The controller's silhouette on a 64-unit square: the tray's pictures and the application icon
// share it so that they read as one program.
[[nodiscard]] QPainterPath controller_outline();

// The program's own controller pictures: filled while the program is on and a controller is
// connected, an outline otherwise. Light with a dark edge, so they show on light and dark panels.
[[nodiscard]] QImage controller_picture(bool filled, int size);

// The tray icon for the current state. Where the icon theme has "input-gaming" the theme's
// picture is used (greyed out for the outline state) so the icon matches the rest of the panel;
// otherwise the program's own pictures.
[[nodiscard]] QIcon tray_icon(bool active);

}  // namespace thumbrover
