#pragma once

#include <QImage>

namespace thumbrover {

// Painting on a QImage gives it a raster paint engine, with the stroker's and the rasteriser's
// buffers, that lives for as long as the image does. The pictures drawn here are kept for the
// whole run (in the tray icon, in the ring's window), so they are handed on as a plain copy once
// the painter has ended: a few kilobytes instead of tens. Call it only after the painter's end.
[[nodiscard]] inline QImage without_paint_engine(const QImage& painted) {
    return painted.copy();
}

}  // namespace thumbrover
