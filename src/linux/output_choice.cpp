#include "linux/output_choice.hpp"

#include <atomic>

namespace thumbrover {
namespace {

std::atomic<OutputKind> g_chosen{OutputKind::Xtest};
std::atomic<bool> g_requested{false};

bool set(std::optional<std::string_view> value) {
    return value && !value->empty();
}

}  // namespace

Result<OutputKind> parse_output_kind(std::string_view value) {
    if (value == "xtest") return OutputKind::Xtest;
    if (value == "uinput") return OutputKind::Uinput;
    return Error{"unknown output `" + std::string(value) + "` (xtest or uinput)"};
}

Result<OutputChoice> choose_output(std::optional<OutputKind> requested,
                                   const SessionVariables& session) {
    OutputChoice choice;
    if (requested) {
        choice = *requested == OutputKind::Uinput
                     ? OutputChoice{OutputKind::Uinput,
                                    "posting input through uinput, as --output=uinput asks"}
                     : OutputChoice{OutputKind::Xtest,
                                    "posting input through XTEST, as --output=xtest asks"};
    } else if (set(session.wayland_display)) {
        choice = {OutputKind::Uinput,
                  "posting input through uinput: this is a Wayland session (WAYLAND_DISPLAY is "
                  "set)"};
    } else if (set(session.session_type) && *session.session_type == "wayland") {
        choice = {OutputKind::Uinput,
                  "posting input through uinput: this is a Wayland session "
                  "(XDG_SESSION_TYPE is wayland)"};
    } else {
        choice = {OutputKind::Xtest, "posting input through XTEST: this is an X11 session"};
    }
    const bool drawn_elsewhere = choice.kind == OutputKind::Uinput && set(session.qt_platform);
    if (!set(session.display) && !set(session.wayland_display) && !drawn_elsewhere) {
        return Error{
            "no graphical session: Thumbrover runs in an X11 or Wayland desktop session "
            "(neither DISPLAY nor WAYLAND_DISPLAY is set)"};
    }
    return choice;
}

SessionAbilities session_abilities(OutputKind kind) {
    if (kind == OutputKind::Uinput) return {false, false, false, false};
    return {};
}

OutputKind chosen_output() {
    return g_chosen.load(std::memory_order_relaxed);
}

void set_chosen_output(OutputKind kind, bool requested) {
    g_chosen.store(kind, std::memory_order_relaxed);
    g_requested.store(requested, std::memory_order_relaxed);
}

std::string restart_output_argument() {
    if (!g_requested.load(std::memory_order_relaxed)) return {};
    return chosen_output() == OutputKind::Uinput ? "--output=uinput" : "--output=xtest";
}

}  // namespace thumbrover
