#pragma once

#include <string>
#include <string_view>

#include "core/ui/settings_store.hpp"

namespace thumbrover {

// The button beside the banner: the Settings window's own "Open Config File".
inline constexpr std::string_view kBannerOpenConfigFile = "Open Config File";

// Above Settings when it opened because the desktop shows no tray icons, so that the user knows
// how to come back to the program once the window is closed.
inline constexpr std::string_view kNoTrayNote =
    "This desktop has no tray to show Thumbrover's icon in, so this window opens instead. "
    "Thumbrover keeps running when you close it; to open it again, start Thumbrover again "
    "from the application menu.";

// What the banner above Settings and Customize Buttons says while the settings file is not in
// use: where the mistake is and what it is, what the program does meanwhile, and what the next
// change made in a window does to the file.
[[nodiscard]] std::string settings_file_banner(const SettingsFileProblem& problem);

}  // namespace thumbrover
