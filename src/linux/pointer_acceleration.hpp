#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/common/result.hpp"
#include "core/output/pointer_acceleration.hpp"
#include "platform/event_output.hpp"

// A Wayland desktop accelerates the uinput pointer like any mouse. Where the desktop lets a
// program turn that off for one device, it is turned off for ours alone; elsewhere the counts
// we post make up for it (core/output/pointer_acceleration). Chosen once, in the composition.

namespace thumbrover {

// Turns the desktop's acceleration off for our pointer and no other device.
//
// Contract: called on the engine thread each time our pointer device has been created (a
// compositor may drop per-device settings when it reloads, and takes a device up a little after
// it appears); returns at once or within a couple of seconds; an error names what refused.
class FlatPointerSwitch {
  public:
    virtual ~FlatPointerSwitch() = default;
    [[nodiscard]] virtual std::string_view desktop() const = 0;
    // `node`: our pointer's device node, /dev/input/eventN.
    [[nodiscard]] virtual Result<void> turn_off(const std::string& node) = 0;
};

// Where the desktop keeps one acceleration setting for every mouse, it is read instead.
class MouseSettingReader {
  public:
    virtual ~MouseSettingReader() = default;
    [[nodiscard]] virtual std::string_view desktop() const = 0;
    // None when the setting cannot be read now.
    [[nodiscard]] virtual std::optional<DesktopAcceleration> read() = 0;
};

// sway and other compositors that speak i3's IPC: `input <identifier> accel_profile flat` over
// the socket SWAYSOCK names.
[[nodiscard]] std::unique_ptr<FlatPointerSwitch> make_sway_switch(std::filesystem::path socket);
// Hyprland: `keyword device[<name>]:accel_profile flat` over its request socket.
[[nodiscard]] std::unique_ptr<FlatPointerSwitch> make_hyprland_switch(std::filesystem::path socket);
// KWin: our device's org.kde.KWin.InputDevice object on the session bus, its
// `pointerAccelerationProfileFlat` property set.
[[nodiscard]] std::unique_ptr<FlatPointerSwitch> make_kwin_switch();
// GNOME: org.gnome.desktop.peripherals.mouse `accel-profile` and `speed`, through GSettings.
// None where that schema is not installed.
[[nodiscard]] std::unique_ptr<MouseSettingReader> make_gnome_mouse_reader();

// i3 IPC's framing: "i3-ipc", the payload's length and the message type (both 32-bit, in this
// machine's byte order), then the payload.
[[nodiscard]] std::string i3_ipc_message(std::uint32_t type, std::string_view payload);
// sway's name of our pointer, "vendor:product:name" with the name's spaces as underscores.
[[nodiscard]] std::string sway_pointer_identifier();
// Hyprland's name of it: lower case, spaces as hyphens.
[[nodiscard]] std::string hyprland_pointer_name();

// Which way the session takes, from its environment (empty texts count as unset):
// THUMBROVER_ACCELERATION=compensate forces compensation, =leave posts as is (where the user has
// turned acceleration off already, or to see the desktop's own); SWAYSOCK is sway;
// HYPRLAND_INSTANCE_SIGNATURE is Hyprland; XDG_CURRENT_DESKTOP naming KDE is KWin; GNOME there
// is GNOME's setting read; anything else compensates for libinput's defaults.
enum class AccelerationRoute : std::uint8_t { Sway, Hyprland, KWin, Gnome, Defaults };
struct AccelerationEnvironment {
    std::optional<std::string> forced;  // THUMBROVER_ACCELERATION
    std::optional<std::string> swaysock;
    std::optional<std::string> hyprland_signature;
    std::optional<std::string> current_desktop;
    std::optional<std::string> runtime_dir;  // XDG_RUNTIME_DIR
    [[nodiscard]] static AccelerationEnvironment from_process();
};
enum class AccelerationOverride : std::uint8_t { Unset, Compensate, Leave };
struct AccelerationChoice {
    AccelerationRoute route = AccelerationRoute::Defaults;
    AccelerationOverride override = AccelerationOverride::Unset;
    friend bool operator==(const AccelerationChoice&, const AccelerationChoice&) = default;
};
[[nodiscard]] AccelerationChoice choose_acceleration_route(const AccelerationEnvironment& env);
// Hyprland's request socket: under XDG_RUNTIME_DIR/hypr since 0.40, /tmp/hypr before.
[[nodiscard]] std::filesystem::path hyprland_socket(const AccelerationEnvironment& env);

// The uinput output as it should post in this session: as it is where our pointer's
// acceleration could be turned off, else behind the compensation. Says on standard error which
// way was taken.
[[nodiscard]] std::unique_ptr<EventOutput> handle_pointer_acceleration(
    std::unique_ptr<EventOutput> output, const std::string& pointer_node,
    const AccelerationEnvironment& env);

}  // namespace thumbrover
