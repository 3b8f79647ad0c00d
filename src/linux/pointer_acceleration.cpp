#include "linux/pointer_acceleration.hpp"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "core/common/diag.hpp"
#include "linux/uinput_events.hpp"

namespace thumbrover {
namespace {

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

bool names(const std::optional<std::string>& desktops, std::string_view wanted) {
    if (!desktops) return false;
    // XDG_CURRENT_DESKTOP names the desktop and what it derives from, separated by colons.
    std::string_view rest = *desktops;
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        if (rest.substr(0, colon) == wanted) return true;
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return false;
}

}  // namespace

std::string i3_ipc_message(std::uint32_t type, std::string_view payload) {
    std::string message = "i3-ipc";
    const auto length = static_cast<std::uint32_t>(payload.size());
    message.append(reinterpret_cast<const char*>(&length), sizeof length);
    message.append(reinterpret_cast<const char*>(&type), sizeof type);
    message.append(payload);
    return message;
}

std::string sway_pointer_identifier() {
    std::string name(kUinputPointerName);
    for (char& c : name)
        if (c == ' ') c = '_';
    return std::to_string(kUinputVendor) + ":" + std::to_string(kUinputPointerProduct) + ":" + name;
}

std::string hyprland_pointer_name() {
    std::string name(kUinputPointerName);
    for (char& c : name) {
        if (c == ' ') c = '-';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

AccelerationEnvironment AccelerationEnvironment::from_process() {
    return {variable("THUMBROVER_ACCELERATION"), variable("SWAYSOCK"),
            variable("HYPRLAND_INSTANCE_SIGNATURE"), variable("XDG_CURRENT_DESKTOP"),
            variable("XDG_RUNTIME_DIR")};
}

AccelerationChoice choose_acceleration_route(const AccelerationEnvironment& env) {
    AccelerationChoice choice;
    if (env.forced == "compensate") choice.override = AccelerationOverride::Compensate;
    if (env.forced == "leave") choice.override = AccelerationOverride::Leave;
    if (env.swaysock) {
        choice.route = AccelerationRoute::Sway;
    } else if (env.hyprland_signature) {
        choice.route = AccelerationRoute::Hyprland;
    } else if (names(env.current_desktop, "KDE")) {
        choice.route = AccelerationRoute::KWin;
    } else if (names(env.current_desktop, "GNOME")) {
        choice.route = AccelerationRoute::Gnome;
    }
    return choice;
}

std::filesystem::path hyprland_socket(const AccelerationEnvironment& env) {
    const std::string signature = env.hyprland_signature.value_or("");
    if (env.runtime_dir) {
        std::filesystem::path current =
            std::filesystem::path(*env.runtime_dir) / "hypr" / signature / ".socket.sock";
        std::error_code error;
        if (std::filesystem::exists(current, error)) return current;
    }
    return std::filesystem::path("/tmp/hypr") / signature / ".socket.sock";
}

std::unique_ptr<EventOutput> handle_pointer_acceleration(std::unique_ptr<EventOutput> output,
                                                         const std::string& pointer_node,
                                                         const AccelerationEnvironment& env) {
    const AccelerationChoice choice = choose_acceleration_route(env);
    if (choice.override == AccelerationOverride::Leave) {
        diag("leaving the desktop's acceleration as it is, as THUMBROVER_ACCELERATION asks");
        return output;
    }
    std::unique_ptr<FlatPointerSwitch> flat;
    switch (choice.route) {
        case AccelerationRoute::Sway:
            flat = make_sway_switch(*env.swaysock);
            break;
        case AccelerationRoute::Hyprland:
            flat = make_hyprland_switch(hyprland_socket(env));
            break;
        case AccelerationRoute::KWin:
            flat = make_kwin_switch();
            break;
        case AccelerationRoute::Gnome:
        case AccelerationRoute::Defaults:
            break;
    }
    std::string why;
    if (choice.override == AccelerationOverride::Compensate) {
        why = "as THUMBROVER_ACCELERATION asks; ";
    } else if (flat) {
        const Result<void> done = flat->turn_off(pointer_node);
        if (done) {
            diag("acceleration turned off for Thumbrover's pointer (" +
                 std::string(flat->desktop()) + ")");
            return output;
        }
        why = std::string(flat->desktop()) + " did not turn it off: " + done.error() + "; ";
    }
    std::shared_ptr<MouseSettingReader> reader;
    if (choice.route == AccelerationRoute::Gnome) reader = make_gnome_mouse_reader();
    DesktopAcceleration setting;
    std::string source = "libinput's default";
    if (reader) {
        if (const auto read = reader->read()) {
            setting = *read;
            source = std::string(reader->desktop());
        }
    }
    diag("compensating for the desktop's acceleration (" + why + source + ", " + describe(setting) +
         ")");
    CompensatingOutput::SettingSource follow;
    if (reader) follow = [reader] { return reader->read(); };
    return std::make_unique<CompensatingOutput>(std::move(output), setting, std::move(follow), [] {
        // The kernel stamps the events libinput times on this clock.
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    });
}

}  // namespace thumbrover
