#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/bindings/buttons.hpp"
#include "core/engine/messages.hpp"
#include "core/output/command.hpp"
#include "core/settings/config.hpp"

namespace thumbrover {

using CommandList = std::vector<OutputCommand>;

struct Vec2 {
    float x = 0.0f;
    float y = 0.0f;

    friend bool operator==(const Vec2&, const Vec2&) = default;
};

// Longest step one tick moves for; a stalled engine must not fling the pointer.
inline constexpr EngineTime kMaxTickStep = std::chrono::milliseconds(50);
// How long after the real mouse moved the steering circle stays away.
inline constexpr EngineTime kMouseQuietTime = std::chrono::milliseconds(500);

// Everything the engine remembers. Owned by the engine thread alone, so nothing here locks.
struct EngineState {
    EngineState(Config start_config, bool start_enabled)
        : settings(std::move(start_config)), enabled(start_enabled) {
        put_in_force();
    }

    // Makes `config` the settings in force for `front_app`. They carry no profiles of their
    // own: copying a hundred of them on every change of window would be most of its cost.
    void put_in_force() {
        std::vector<AppProfile> apps = std::exchange(settings.apps, {});
        config = settings;
        settings.apps = std::move(apps);
        if (const AppProfile* app =
                front_app.empty() ? nullptr : find_app_profile(settings, front_app))
            apply_app_profile(config, *app);
        // Most settings have no layer, and a change of window should not pay for one.
        has_layer = !config.shifted.empty();
        if (has_layer) shifted = shifted_bindings(config.buttons, config.shifted);
    }

    // The shaped deflection (`stick_vector`) of the left (0) or right (1) stick under the settings
    // in force. Asked for several times on every tick, it is worked out again only when the
    // stick's position or the shaping settings have changed.
    [[nodiscard]] Vec2 shaped(std::size_t stick) const;

    // Appends to `pending`. The first command of an operation reserves room for the rest, so an
    // operation that emits allocates once and one that emits nothing not at all.
    void emit(OutputCommand command) {
        if (pending.capacity() == 0) pending.reserve(8);
        pending.push_back(command);
    }

    // The settings as the user made them, every application's profile included.
    Config settings;
    // The identity of the application in front; empty while none is known.
    std::string front_app;
    // What the engine works from: `settings` with the profile of `front_app` applied (and no
    // profiles of its own). `change_settings` and `change_front_app` keep the three together.
    Config config;
    // Every input's binding while shift is held, worked out from `config` by `put_in_force`;
    // only meaningful while `has_layer`, since without a layer it is `config.buttons`.
    Bindings shifted;
    bool has_layer = false;
    // The inputs held down as shift (bit `button_index`); shift is held while any is.
    std::uint32_t shift_held = 0;
    // The presses under way that began while shift was held, and so finish in the shifted
    // bindings even when shift is let go first (bit `button_index`, the Xbox button's included).
    std::uint32_t shifted_presses = 0;
    // The binding a press of an undecided button (its hold action neither fired nor ruled out,
    // or the Xbox button's press action) began under, kept when the application in front changed
    // meanwhile, so that its release or hold does what the press began. Cleared when decided.
    std::array<std::optional<Binding>, kButtonCount> kept_binding;
    // Likewise the role of a stick (left, right) that was off rest when the application in front
    // changed, until it comes back to rest: the pointer being steered does not turn into a
    // scroll half-way.
    std::array<std::optional<StickRole>, 2> kept_role;
    CommandList pending;
    std::array<std::optional<Action>, kButtonCount> held_action;
    EngineTime last_motion{0};
    std::optional<EngineTime> last_mouse;
    std::array<std::optional<EngineTime>, kButtonCount> press_time;
    std::array<std::optional<EngineTime>, kButtonCount> repeat_time;
    std::optional<EngineTime> xbox_press;
    std::optional<EngineTime> switcher_deadline;
    std::optional<EngineTime> last_tick;
    float lx = 0.0f;
    float ly = 0.0f;
    float rx = 0.0f;
    float ry = 0.0f;
    Vec2 pointer_remainder;
    Vec2 scroll_remainder;
    std::int32_t dpad_x = 0;
    std::int32_t dpad_y = 0;
    bool enabled = true;
    bool precise = false;
    bool circle_shown = false;
    std::array<bool, kButtonCount> pressed{};
    bool xbox_hold_fired = false;

  private:
    struct ShapedStick {
        float x;
        float y;
        float deadzone;
        float curve;
        Vec2 shaped;
    };
    mutable std::array<std::optional<ShapedStick>, 2> shaped_;
};

// The three operations the loop calls. Each returns the commands it produced, in order, and
// leaves `state.pending` empty. An empty result allocates nothing.
[[nodiscard]] CommandList handle_input(EngineState& state, const InputEvent& event, EngineTime now);
[[nodiscard]] CommandList tick(EngineState& state, EngineTime now);
[[nodiscard]] CommandList release_all(EngineState& state);

// A new settings record: it applies to the next event and tick. A mouse button or key held
// down is still released by the action that pressed it.
void change_settings(EngineState& state, Config settings);
// The application in front is now `app_id` (empty: none known): its profile applies from the next
// event and tick. Every press under way finishes as it began: a held action is released by its
// own action, an undecided press is decided by the binding it started with, and the repeat and
// app-switcher timers run on. Returns no commands.
void change_front_app(EngineState& state, std::string app_id);

// The shaped deflection of one stick: a circular dead zone, then the power curve applied to what
// lies beyond it, in the stick's direction. Settings that make this meaningless (a dead zone of
// 1 or more, a NaN or negative curve) and NaN positions give a vector of length at most 1, or
// (0, 0), never a NaN or an infinity.
[[nodiscard]] Vec2 stick_vector(float x, float y, float deadzone, float curve);

// The building blocks of the operations above. They append to `state.pending`.
void button_changed(EngineState& state, Button button, bool pressed, EngineTime now);
void start_action(EngineState& state, Button button, const Action& action, EngineTime now);
void tap_action(EngineState& state, const Action& action, EngineTime now);
void release_button(EngineState& state, Button button);
void release_everything(EngineState& state);
void switch_on_off(EngineState& state);
void pointer_phase(EngineState& state, float step_seconds, EngineTime now);
void scroll_phase(EngineState& state, float step_seconds);

// Settings durations are milliseconds; this never overflows (absurd values saturate).
[[nodiscard]] EngineTime ms_to_engine_time(std::uint64_t ms);

}  // namespace thumbrover
