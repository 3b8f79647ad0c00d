#pragma once

#include <functional>

namespace thumbrover {

// Whether the desktop has somewhere to show the program's icon: a StatusNotifier host, an XEmbed
// tray, the menu bar. Without one the program has no presence on screen, so the front end opens
// Settings instead. Main thread only.
class TrayHostWatch {
  public:
    virtual ~TrayHostWatch() = default;

    [[nodiscard]] virtual bool available() = 0;
    // Told on the main thread whenever `available` changes; replaces an earlier listener.
    virtual void on_change(std::function<void(bool available)> listener) = 0;
};

}  // namespace thumbrover
