#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace thumbrover {

// The macOS side of the application shell. Main thread only, after the toolkit's application
// object exists.

// The accessory activation policy: no Dock icon, and the main menu shows only while one of the
// program's windows is active.
void use_accessory_activation_policy();

// Installs the main menu: an application menu with "Close Window" (Command-W, performClose:) and
// "Quit Thumbrover" (Command-Q, which calls `quit`), and an "Edit" menu (Cut, Copy, Paste, Select
// All, Undo with their usual keys) so that text fields get the standard editing commands.
void install_main_menu(std::function<void()> quit);

// Calls `reopen` whenever the user opens the program again while it runs (from the Finder or
// Spotlight), whether or not one of its windows is visible. The handler takes effect once
// AppKit has finished launching the program (before that, AppKit would replace it); a later
// call replaces `reopen`.
void on_reopen(std::function<void()> reopen);

// An SF Symbol drawn into pixels for the status item: straight rows of premultiplied RGBA, top
// row first, at `scale` pixels per point. The symbol is a shape, not a picture: the front end
// marks the icon as a mask, which macOS shows as a template image tinted for the menu bar.
struct SymbolPixels {
    int width = 0;
    int height = 0;
    double scale = 1.0;
    std::vector<std::uint8_t> rgba;
};

// "gamecontroller" or "gamecontroller.fill" at `point_size`; none when the system has no such
// symbol (the caller keeps its previous icon then).
[[nodiscard]] std::optional<SymbolPixels> render_symbol(std::string_view name, double point_size);

}  // namespace thumbrover
