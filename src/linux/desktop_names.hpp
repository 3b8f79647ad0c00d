#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/front_app.hpp"

namespace thumbrover {

// The folders of data for applications, most important first: $XDG_DATA_HOME (~/.local/share),
// then each of $XDG_DATA_DIRS (/usr/local/share:/usr/share).
[[nodiscard]] std::vector<std::filesystem::path> data_folders();
// Their applications/ folders, which hold desktop files.
[[nodiscard]] std::vector<std::filesystem::path> application_folders();

// The `Name=` of the desktop file that describes the application `app_id`: the one named
// `app_id`.desktop (a Wayland app_id is that name, by the rules of xdg-shell), else one whose
// `StartupWMClass=` is `app_id` (an X window class). Letters compare regardless of case, as
// identities do. Nothing when no such file is found or it has no usable name.
[[nodiscard]] std::optional<std::string> desktop_name(
    std::string_view app_id, const std::vector<std::filesystem::path>& folders);

// The applications to offer from the identities of the windows in the desktop's order, as
// `distinct_apps` lists them, each named by its desktop file where one matches.
[[nodiscard]] std::vector<RunningApp> named_apps(const std::vector<std::string>& ids,
                                                 const std::vector<std::filesystem::path>& folders);

}  // namespace thumbrover
