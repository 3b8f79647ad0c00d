#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "macos/event_sink.hpp"
#include "macos/key_codes.hpp"
#include "platform/event_output.hpp"

namespace thumbrover {

// The click history of one mouse button, for click counting.
struct ButtonHistory {
    MacPoint location{};
    std::int64_t count = 0;
    std::optional<std::chrono::nanoseconds> pressed_at;
};

// Decides, for each input command, which macOS events to post and with which fields, and keeps
// the state real devices would have: held modifiers (so later keys carry their flags), held
// mouse buttons (so moves become drags), click histories (double and triple clicks), the part of
// a scroll too small to send yet, and the switcher's Command. The macOS adapter supplies the sink
// and owns the event source; everything here runs on the engine thread.
class MacEventOutput final : public EventOutput {
  public:
    explicit MacEventOutput(MacEventSink& sink);

    // Fails with "could not create an input event" when the sink cannot make an event, or when
    // the command names a mouse button or key that does not exist (nothing is posted then).
    [[nodiscard]] Result<void> perform(const OutputCommand& command) override;

    // The flags of a keyboard event posted now: the base flag, the masks of held modifiers and
    // the switcher's Command.
    [[nodiscard]] std::uint64_t current_flags() const;

    [[nodiscard]] const std::vector<Key>& held_keys() const { return held_keys_; }
    [[nodiscard]] bool command_held() const { return command_held_; }
    [[nodiscard]] bool button_down(std::size_t button) const { return button_down_.at(button); }
    [[nodiscard]] const ButtonHistory& history(std::size_t button) const {
        return history_.at(button);
    }
    [[nodiscard]] std::array<std::int32_t, 2> scroll_carry() const { return scroll_carry_; }

  private:
    Result<void> move(std::int32_t dx, std::int32_t dy);
    Result<void> scroll(std::int32_t vertical, std::int32_t horizontal);
    Result<void> button_press(std::uint8_t button);
    Result<void> button_release(std::uint8_t button);
    Result<void> key(std::uint8_t kind, std::uint8_t param, bool down);
    Result<void> plain_key(std::uint16_t code, std::uint64_t extra_flags, bool down);
    Result<void> modifier_change(std::uint16_t code);
    Result<void> hold_command(bool held);
    Result<void> switcher_tab();
    Result<void> launcher();
    Result<void> post(const MacEvent& event);

    MacEventSink& sink_;
    std::vector<Key> held_keys_;
    std::array<ButtonHistory, 3> history_{};
    std::array<std::int32_t, 2> scroll_carry_{0, 0};
    bool command_held_ = false;
    std::array<bool, 3> button_down_{false, false, false};
    // The code each held letter went down with, so it comes up on the same key even when the
    // user switches layouts in between.
    std::array<std::optional<std::uint16_t>, 26> letter_codes_down_{};
};

// Where a pointer move from `from` to `target` ends: the target itself when it lies on a display,
// otherwise clamped to the last pixel row or column of the display holding `from` (or of the
// first display when none holds it). Displays narrower or lower than one point are ignored;
// with no usable display the target stands.
[[nodiscard]] MacPoint clamp_to_displays(MacPoint from, MacPoint target,
                                         std::span<const MacRect> displays);

}  // namespace thumbrover
