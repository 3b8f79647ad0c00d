#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/common/result.hpp"

namespace thumbrover {

// How the program posts its input on Linux, chosen once at start.
enum class OutputKind : std::uint8_t {
    Xtest,   // into the X server: reaches X clients only, with the ring and the mouse watcher
    Uinput,  // virtual input devices in the kernel: what every Wayland compositor reads
};

struct OutputChoice {
    OutputKind kind = OutputKind::Xtest;
    std::string reason;  // the start-up line: "posting input through XTEST: ..."
    friend bool operator==(const OutputChoice&, const OutputChoice&) = default;
};

// The value of `--output=` ("xtest" or "uinput"), or an error naming the value refused.
[[nodiscard]] Result<OutputKind> parse_output_kind(std::string_view value);

// The environment variables that tell which session the program started in.
struct SessionVariables {
    std::optional<std::string_view> display;          // DISPLAY
    std::optional<std::string_view> wayland_display;  // WAYLAND_DISPLAY
    std::optional<std::string_view> session_type;     // XDG_SESSION_TYPE
    std::optional<std::string_view> qt_platform;      // QT_QPA_PLATFORM
};

// An X11 session keeps XTEST; a Wayland session (WAYLAND_DISPLAY set, or XDG_SESSION_TYPE
// "wayland") gets uinput, since XTEST there reaches only the X clients of Xwayland; `--output`
// overrides both. Empty variables count as unset. With neither DISPLAY nor WAYLAND_DISPLAY there
// is no graphical session to post into and the answer is an error, unless uinput is chosen and
// Qt is told where to draw (offscreen, say), since uinput needs no session of its own.
[[nodiscard]] Result<OutputChoice> choose_output(std::optional<OutputKind> requested,
                                                 const SessionVariables& session);

// What a session offers, decided with the output: XTEST sessions have a global pointer that the
// ring can follow, a cursor that can be hidden and a real mouse that can be watched; a Wayland
// compositor gives no client any of these, nor tells every client which application is in front.
struct SessionAbilities {
    bool ring = true;
    bool cursor_hiding = true;
    bool mouse_watcher = true;
    // The X server tells which application is in front, for each application's own bindings;
    // a Wayland session has a way of each desktop's own instead.
    bool front_app = true;
};
[[nodiscard]] SessionAbilities session_abilities(OutputKind kind);

// The choice made at start, for the adapters that differ by it; XTEST until the shell chooses.
// `requested`: the command line named it.
[[nodiscard]] OutputKind chosen_output();
void set_chosen_output(OutputKind kind, bool requested = false);
// What a restart passes on so that it posts input as this run does: "--output=..." where the
// command line named the output; otherwise nothing, and the session decides again, as it did.
[[nodiscard]] std::string restart_output_argument();

}  // namespace thumbrover
