#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/bindings/actions.hpp"
#include "core/common/result.hpp"

namespace thumbrover {

// The number is the index into `Bindings` and the order of the settings file; never reorder.
enum class Button : std::uint8_t {
    A = 0,
    B = 1,
    X = 2,
    Y = 3,
    LeftBumper = 4,
    RightBumper = 5,
    LeftTrigger = 6,
    RightTrigger = 7,
    View = 8,
    Menu = 9,
    LeftStickClick = 10,
    RightStickClick = 11,
    DpadUp = 12,
    DpadDown = 13,
    DpadLeft = 14,
    DpadRight = 15,
    Xbox = 16,
};

inline constexpr std::size_t kButtonCount = 17;

[[nodiscard]] constexpr std::size_t button_index(Button button) {
    return static_cast<std::size_t>(button);
}

// Every button in number order.
[[nodiscard]] constexpr std::array<Button, kButtonCount> all_buttons() {
    std::array<Button, kButtonCount> out{};
    for (std::size_t i = 0; i < kButtonCount; ++i)
        out[i] = static_cast<Button>(i);
    return out;
}

struct Binding {
    Action press;
    Action hold;  // None: the button has no hold action

    friend bool operator==(const Binding&, const Binding&) = default;
};

// Indexed by `button_index`.
using Bindings = std::array<Binding, kButtonCount>;

[[nodiscard]] inline Binding& binding_of(Bindings& bindings, Button button) {
    return bindings[button_index(button)];
}
[[nodiscard]] inline const Binding& binding_of(const Bindings& bindings, Button button) {
    return bindings[button_index(button)];
}

// The second set of actions that a held shift input gives the others, slot by slot. An unset
// entry leaves the input's own action in force (the layer is transparent where it says nothing);
// a None entry turns the input off while shift is held.
struct ShiftedLayer {
    std::array<std::optional<Action>, kButtonCount> press;  // indexed by `button_index`
    std::array<std::optional<Action>, kButtonCount> hold;

    [[nodiscard]] bool empty() const;

    friend bool operator==(const ShiftedLayer&, const ShiftedLayer&) = default;
};

// Every input's binding while shift is held: the layer's entries over `normal`.
[[nodiscard]] Bindings shifted_bindings(const Bindings& normal, const ShiftedLayer& layer);

// Whether the input bound so shifts the others instead of acting itself.
[[nodiscard]] inline bool is_shift_input(const Binding& binding) {
    return is_shift(binding.press);
}

// Where a table of bindings stands: what it may hold and how refusals name it.
struct BindingTable {
    std::string_view name;  // "[buttons]", "[shifted]", "[apps.\"vlc\".buttons]"
    bool shifted = false;   // a shift layer, which cannot shift again
};
inline constexpr BindingTable kButtonsTable{"[buttons]", false};
inline constexpr BindingTable kShiftedTable{"[shifted]", true};

// Why `action` cannot stand at `key` ("a", "a_hold") of `table`, or nothing: the shift action
// is only a press action, never the Xbox button's (holding that switches the program), and never
// inside a shift layer.
[[nodiscard]] std::optional<std::string> shift_refusal(const BindingTable& table,
                                                       std::string_view key, Button button,
                                                       bool hold, const Action& action);
// The refusal of a hold action given in `table` to an input that the same table makes shift.
[[nodiscard]] std::string shift_hold_refusal(const BindingTable& table, Button button);

// The settings key ("left_bumper"); the hold key is this followed by "_hold".
[[nodiscard]] std::string_view button_key(Button button);
// The user-interface label ("Left bumper (LB)").
[[nodiscard]] std::string_view button_label(Button button);
// Exact, case-sensitive lookup of a settings key (without "_hold").
[[nodiscard]] std::optional<Button> button_from_key(std::string_view key);

[[nodiscard]] Bindings default_bindings();

// Applies one entry of the [buttons] table: `key` as written in the file ("b", "b_hold") and its
// string value. Errors: "unknown button `{key}`", "unknown action `{value}` for `{key}`", and
// the shift action where it cannot stand (`shift_refusal`).
Result<void> apply_button_entry(Bindings& bindings, std::string_view key, std::string_view value);

// Appends the [buttons] lines: every press line, each followed by its hold line where one is
// needed to read back the same table. The Xbox hold is never written, nor the hold of a shift
// input, which nothing performs.
void append_button_lines(const Bindings& bindings, std::string& out);
[[nodiscard]] std::string button_lines(const Bindings& bindings);

// Appends one line for every entry that `press` and `hold` set, in button order, press before
// hold. The hold of an input that these entries make shift is left out.
void append_entry_lines(const std::array<std::optional<Action>, kButtonCount>& press,
                        const std::array<std::optional<Action>, kButtonCount>& hold,
                        std::string& out);

}  // namespace thumbrover
