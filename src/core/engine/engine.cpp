#include "core/engine/engine.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "core/common/numeric.hpp"

namespace thumbrover {
namespace {

void emit(EngineState& state, CommandKind kind, std::uint8_t p1 = 0, std::uint8_t p2 = 0) {
    state.emit(OutputCommand{kind, p1, p2, 0, 0});
}

void emit_key(EngineState& state, CommandKind kind, Key key) {
    emit(state, kind, key_kind_number(key.kind), key.effective_param());
}

CommandList take_pending(EngineState& state) {
    return std::exchange(state.pending, {});
}

std::uint8_t flag(bool value) {
    return value ? 1 : 0;
}

EngineTime saturating_add(EngineTime a, EngineTime b) {
    if (b.count() > 0 && a.count() > std::numeric_limits<EngineTime::rep>::max() - b.count()) {
        return EngineTime::max();
    }
    return a + b;
}

// Whether at least `span` has passed from `since` to `now`; never true when the clock runs
// backwards relative to `since`.
bool elapsed(EngineTime since, EngineTime now, EngineTime span) {
    return now >= since && now - since >= span;
}

std::optional<std::uint8_t> mouse_button_of(ActionKind kind) {
    switch (kind) {
        case ActionKind::LeftClick:
            return 0;
        case ActionKind::RightClick:
            return 1;
        case ActionKind::MiddleClick:
            return 2;
        default:
            return std::nullopt;
    }
}

std::optional<Key> media_key_of(ActionKind kind) {
    switch (kind) {
        case ActionKind::PlayPause:
            return Key(KeyKind::PlayPause);
        case ActionKind::NextTrack:
            return Key(KeyKind::NextTrack);
        case ActionKind::PreviousTrack:
            return Key(KeyKind::PreviousTrack);
        case ActionKind::VolumeUp:
            return Key(KeyKind::VolumeUp);
        case ActionKind::VolumeDown:
            return Key(KeyKind::VolumeDown);
        case ActionKind::Mute:
            return Key(KeyKind::Mute);
        default:
            return std::nullopt;
    }
}

bool is_volume(ActionKind kind) {
    return kind == ActionKind::VolumeUp || kind == ActionKind::VolumeDown;
}

// The actions that do the same thing whether started on button-down or tapped.
void one_shot_action(EngineState& state, const Action& action, EngineTime now) {
    switch (action.kind) {
        case ActionKind::PreciseMode:
            state.precise = !state.precise;
            return;
        case ActionKind::AppSwitcher:
            if (!state.switcher_deadline) emit(state, CommandKind::HoldCommand, 1);
            emit(state, CommandKind::SwitcherTab);
            state.switcher_deadline =
                saturating_add(now, ms_to_engine_time(state.config.alt_tab_commit_ms));
            return;
        case ActionKind::Launcher:
            emit(state, CommandKind::Launcher);
            return;
        case ActionKind::OnScreenKeyboard:
            emit(state, CommandKind::OnScreenKeyboard);
            return;
        case ActionKind::MissionControl:
            emit(state, CommandKind::MissionControl);
            return;
        default:
            if (const auto key = media_key_of(action.kind)) {
                emit_key(state, CommandKind::KeyTap, *key);
            }
            return;
    }
}

Button wire_button(std::uint8_t number) {
    // Number 8 (Xbox) never reaches this; the others keep their order, skipping the triggers.
    static constexpr std::array<Button, kWireButtonCount> buttons = {
        Button::A,
        Button::B,
        Button::X,
        Button::Y,
        Button::LeftBumper,
        Button::RightBumper,
        Button::View,
        Button::Menu,
        Button::Xbox,
        Button::LeftStickClick,
        Button::RightStickClick,
    };
    return buttons[number];
}

void trigger_changed(EngineState& state, Button button, float value, EngineTime now) {
    const bool down = state.pressed[button_index(button)];
    if (down && value < 0.3f) {
        button_changed(state, button, false, now);
    } else if (!down && value >= 0.5f) {
        button_changed(state, button, true, now);
    }
}

void dpad_changed(EngineState& state, bool vertical, float value, EngineTime now) {
    // Only -1, 0 and +1 mean anything; a stray larger value counts as its direction.
    const std::int32_t n = std::clamp(saturate_cast<std::int32_t>(std::round(value)), -1, 1);
    std::int32_t& stored = vertical ? state.dpad_y : state.dpad_x;
    if (n == stored) return;
    const std::int32_t old = std::exchange(stored, n);
    const auto direction = [vertical](std::int32_t sign) {
        if (vertical) return sign < 0 ? Button::DpadUp : Button::DpadDown;
        return sign < 0 ? Button::DpadLeft : Button::DpadRight;
    };
    if (old != 0) button_changed(state, direction(old), false, now);
    if (n != 0) button_changed(state, direction(n), true, now);
}

static_assert(kButtonCount <= 32, "the layer of each press is one bit of a 32-bit word");

std::uint32_t bit(std::size_t i) {
    return std::uint32_t{1} << i;
}

// The binding in force for a press of button `i` in the layer it began in.
const Binding& layer_binding(const EngineState& state, std::size_t i) {
    const bool shifted = state.has_layer && (state.shifted_presses & bit(i)) != 0;
    return shifted ? state.shifted[i] : state.config.buttons[i];
}

// Remembers whether a press beginning now is shifted.
void note_layer(EngineState& state, std::size_t i) {
    if (state.shift_held != 0) {
        state.shifted_presses |= bit(i);
    } else {
        state.shifted_presses &= ~bit(i);
    }
}

// The binding that decides a press of button `i`: the one it began under when it was kept
// across a change of the application in front (taken out of `kept` for the caller to hold while
// it acts), else the one in force in the layer it began in.
const Binding& binding_in_force(EngineState& state, std::size_t i, std::optional<Binding>& kept) {
    if (!state.kept_binding[i]) return layer_binding(state, i);
    kept = std::exchange(state.kept_binding[i], std::nullopt);
    return *kept;
}

void xbox_released(EngineState& state, EngineTime now) {
    const auto pressed_at = std::exchange(state.xbox_press, std::nullopt);
    std::optional<Binding> kept;
    const Binding& binding = binding_in_force(state, button_index(Button::Xbox), kept);
    if (pressed_at && !state.xbox_hold_fired && state.enabled) {
        tap_action(state, binding.press, now);
    }
    state.xbox_hold_fired = false;
}

void xbox_hold_check(EngineState& state, EngineTime now) {
    if (state.xbox_press && !state.xbox_hold_fired &&
        elapsed(*state.xbox_press, now, ms_to_engine_time(state.config.xbox_hold_ms))) {
        state.xbox_hold_fired = true;
        switch_on_off(state);
    }
}

void hold_timers(EngineState& state, EngineTime now) {
    const EngineTime hold = ms_to_engine_time(state.config.hold_ms);
    for (std::size_t i = 0; i < kButtonCount; ++i) {
        auto& pressed_at = state.press_time[i];
        if (!pressed_at || !elapsed(*pressed_at, now, hold)) continue;
        pressed_at.reset();
        std::optional<Binding> kept;
        tap_action(state, binding_in_force(state, i, kept).hold, now);
    }
}

void repeat_timers(EngineState& state, EngineTime now) {
    for (std::size_t i = 0; i < kButtonCount; ++i) {
        auto& due = state.repeat_time[i];
        if (!due || *due > now || !state.held_action[i]) continue;
        if (const auto key = media_key_of(state.held_action[i]->kind)) {
            emit_key(state, CommandKind::KeyTap, *key);
        }
        due = saturating_add(now, ms_to_engine_time(state.config.volume_repeat_ms));
    }
}

void switcher_deadline(EngineState& state, EngineTime now) {
    if (state.switcher_deadline && *state.switcher_deadline <= now) {
        state.switcher_deadline.reset();
        emit(state, CommandKind::HoldCommand, 0);
    }
}

}  // namespace

EngineTime ms_to_engine_time(std::uint64_t ms) {
    constexpr std::uint64_t max_ms =
        static_cast<std::uint64_t>(std::numeric_limits<EngineTime::rep>::max()) / 1'000'000;
    if (ms > max_ms) return EngineTime::max();
    return EngineTime(static_cast<EngineTime::rep>(ms) * 1'000'000);
}

void button_changed(EngineState& state, Button button, bool pressed, EngineTime now) {
    const std::size_t i = button_index(button);
    if (state.pressed[i] == pressed) return;
    state.pressed[i] = pressed;
    if (pressed) {
        state.kept_binding[i].reset();
        // A shift input acts as nothing else, in either layer; its hold is never decided.
        if (is_shift_input(state.config.buttons[i])) {
            state.shift_held |= bit(i);
            return;
        }
        note_layer(state, i);
        const Binding& binding = layer_binding(state, i);
        if (!binding.hold.is_none()) {
            state.press_time[i] = now;
        } else {
            start_action(state, button, binding.press, now);
        }
        return;
    }
    // Decided by what the press was, whatever the settings have become since.
    if ((state.shift_held & bit(i)) != 0) {
        state.shift_held &= ~bit(i);
        return;
    }
    std::optional<Binding> kept;
    const Binding& binding = binding_in_force(state, i, kept);
    if (std::exchange(state.press_time[i], std::nullopt)) {
        tap_action(state, binding.press, now);
    } else {
        release_button(state, button);
    }
}

void start_action(EngineState& state, Button button, const Action& action, EngineTime now) {
    const std::size_t i = button_index(button);
    if (action.kind == ActionKind::None) return;
    if (const auto mouse = mouse_button_of(action.kind)) {
        emit(state, CommandKind::ButtonDown, *mouse);
    } else if (is_volume(action.kind)) {
        emit_key(state, CommandKind::KeyTap, *media_key_of(action.kind));
        state.repeat_time[i] = saturating_add(now, ms_to_engine_time(state.config.volume_delay_ms));
    } else if (action.kind == ActionKind::Shortcut) {
        for (const Key& modifier : action.shortcut.modifiers) {
            emit_key(state, CommandKind::KeyDown, modifier);
        }
        emit_key(state, CommandKind::KeyDown, action.shortcut.key);
    } else {
        one_shot_action(state, action, now);
        return;
    }
    state.held_action[i] = action;
}

void tap_action(EngineState& state, const Action& action, EngineTime now) {
    if (const auto mouse = mouse_button_of(action.kind)) {
        emit(state, CommandKind::Click, *mouse);
    } else if (action.kind == ActionKind::Shortcut) {
        const auto& modifiers = action.shortcut.modifiers;
        for (const Key& modifier : modifiers)
            emit_key(state, CommandKind::KeyDown, modifier);
        emit_key(state, CommandKind::KeyTap, action.shortcut.key);
        for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) {
            emit_key(state, CommandKind::KeyUp, *it);
        }
    } else if (action.kind != ActionKind::None) {
        // Volume taps once here, without a repeat, like the other media keys.
        one_shot_action(state, action, now);
    }
}

void release_button(EngineState& state, Button button) {
    const std::size_t i = button_index(button);
    state.repeat_time[i].reset();
    const auto held = std::exchange(state.held_action[i], std::nullopt);
    if (!held) return;
    if (const auto mouse = mouse_button_of(held->kind)) {
        emit(state, CommandKind::ButtonUp, *mouse);
    } else if (held->kind == ActionKind::Shortcut) {
        emit_key(state, CommandKind::KeyUp, held->shortcut.key);
        const auto& modifiers = held->shortcut.modifiers;
        for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) {
            emit_key(state, CommandKind::KeyUp, *it);
        }
    }
}

void release_everything(EngineState& state) {
    for (const Button button : all_buttons())
        release_button(state, button);
    state.pressed.fill(false);
    state.press_time.fill(std::nullopt);
    state.shift_held = 0;
    // The Xbox button's press is not dropped here; it keeps what it began with.
    state.shifted_presses &= bit(button_index(Button::Xbox));
    for (std::size_t i = 0; i < kButtonCount; ++i)
        if (i != button_index(Button::Xbox)) state.kept_binding[i].reset();
    state.dpad_x = 0;
    state.dpad_y = 0;
    if (state.switcher_deadline) {
        state.switcher_deadline.reset();
        emit(state, CommandKind::HoldCommand, 0);
    }
    if (state.circle_shown) {
        state.circle_shown = false;
        emit(state, CommandKind::SteeringCircle, 0);
    }
}

void switch_on_off(EngineState& state) {
    const bool was_on = state.enabled;
    state.enabled = !was_on;
    if (was_on) release_everything(state);
    emit(state, CommandKind::SetEnabled, flag(state.enabled));
    emit(state, CommandKind::Rumble);
}

void change_settings(EngineState& state, Config settings) {
    state.settings = std::move(settings);
    state.put_in_force();
}

namespace {

// Whether the left (0) or right (1) stick is out of its dead zone.
bool stick_off_rest(const EngineState& state, std::size_t stick) {
    const Vec2 v = state.shaped(stick);
    return v.x != 0.0f || v.y != 0.0f;
}

}  // namespace

void change_front_app(EngineState& state, std::string app_id) {
    if (app_id == state.front_app) return;
    for (std::size_t stick = 0; stick < 2; ++stick) {
        if (!state.kept_role[stick] && stick_off_rest(state, stick))
            state.kept_role[stick] =
                stick == 0 ? state.config.left_stick : state.config.right_stick;
    }
    for (std::size_t i = 0; i < kButtonCount; ++i) {
        const bool undecided = i == button_index(Button::Xbox) ? state.xbox_press.has_value()
                                                               : state.press_time[i].has_value();
        if (undecided && !state.kept_binding[i]) state.kept_binding[i] = layer_binding(state, i);
    }
    state.front_app = std::move(app_id);
    state.put_in_force();
}

CommandList handle_input(EngineState& state, const InputEvent& event, EngineTime now) {
    switch (event.kind) {
        case InputKind::ButtonChange:
            if (event.index == kXboxButtonNumber) {
                if (event.pressed != 0) {
                    state.xbox_press = now;
                    state.xbox_hold_fired = false;
                    note_layer(state, button_index(Button::Xbox));
                } else {
                    xbox_released(state, now);
                }
            } else if (state.enabled && event.index < kWireButtonCount) {
                button_changed(state, wire_button(event.index), event.pressed != 0, now);
            }
            break;
        case InputKind::AxisChange:
            switch (event.index) {
                case 0:
                case 1:
                case 2:
                case 3: {
                    const std::size_t stick = event.index < 2 ? 0 : 1;
                    float& axis = event.index == 0   ? state.lx
                                  : event.index == 1 ? state.ly
                                  : event.index == 2 ? state.rx
                                                     : state.ry;
                    axis = event.value;
                    if (state.kept_role[stick] && !stick_off_rest(state, stick))
                        state.kept_role[stick].reset();
                    break;
                }
                case 4:
                case 5:
                    if (state.enabled) {
                        trigger_changed(
                            state, event.index == 4 ? Button::LeftTrigger : Button::RightTrigger,
                            event.value, now);
                    }
                    break;
                case 6:
                case 7:
                    if (state.enabled) dpad_changed(state, event.index == 7, event.value, now);
                    break;
                default:
                    break;
            }
            break;
        case InputKind::MouseMoved:
            state.last_mouse = now;
            if (state.circle_shown) {
                state.circle_shown = false;
                emit(state, CommandKind::SteeringCircle, 0);
            }
            break;
        case InputKind::ControllerGone:
            release_everything(state);
            state.lx = state.ly = state.rx = state.ry = 0.0f;
            state.kept_role.fill(std::nullopt);
            state.xbox_press.reset();
            state.kept_binding[button_index(Button::Xbox)].reset();
            state.xbox_hold_fired = false;
            break;
        case InputKind::Toggle:
            switch_on_off(state);
            break;
    }
    return take_pending(state);
}

CommandList tick(EngineState& state, EngineTime now) {
    EngineTime step{0};
    if (state.last_tick && now >= *state.last_tick) {
        step = std::min(now - *state.last_tick, kMaxTickStep);
    }
    state.last_tick = now;
    const float step_seconds = static_cast<float>(step.count()) / 1e9f;

    xbox_hold_check(state, now);
    if (state.enabled) {
        hold_timers(state, now);
        repeat_timers(state, now);
        switcher_deadline(state, now);
        pointer_phase(state, step_seconds, now);
        scroll_phase(state, step_seconds);
    }
    return take_pending(state);
}

CommandList release_all(EngineState& state) {
    release_everything(state);
    return take_pending(state);
}

}  // namespace thumbrover
