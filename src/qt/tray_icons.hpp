#pragma once

#include <QIcon>
#include <QImage>
#include <QPainterPath>
#include <functional>

namespace thumbrover {

// The controller's silhouette on a 64-unit square: the tray's pictures and the application icon
// share it so that they read as one program.
[[nodiscard]] QPainterPath controller_outline();

// The program's own controller pictures: filled while the program is on and a controller is
// connected, an outline otherwise. Light with a dark edge, so they show on light and dark panels.
[[nodiscard]] QImage controller_picture(bool filled, int size);

// The tray icon's pictures for the current state, made now. Where the icon theme has
// "input-gaming" the theme's picture is used (greyed out for the outline state) so the icon
// matches the rest of the panel; otherwise the program's own pictures.
[[nodiscard]] QIcon tray_pictures(bool active);

// The tray icon for the current state: `tray_pictures`, made only when something first asks for
// them. On a desktop without a tray host, or before the panel has started, that is never, and
// the program keeps neither the theme's index nor the painting code in memory.
[[nodiscard]] QIcon tray_icon(bool active);

// An icon that makes itself with `make` the first time anything needs its pictures (a pixmap, its
// sizes, painting it) and keeps what it made; copies share it. Never null. Main thread only.
[[nodiscard]] QIcon deferred_icon(std::function<QIcon()> make);

}  // namespace thumbrover
