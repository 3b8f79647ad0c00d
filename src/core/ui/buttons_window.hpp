#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/bindings/actions.hpp"
#include "core/bindings/buttons.hpp"
#include "core/bindings/labels.hpp"
#include "core/settings/config.hpp"
#include "core/ui/settings_store.hpp"

namespace thumbrover {

// The fixed texts of the Buttons window. Button names come from `button_label`.
namespace buttons_texts {
inline constexpr std::string_view kTitle = "Customize Buttons";
inline constexpr std::string_view kNote =
    "Choose what each part of the controller does. A hold action happens instead when a button is "
    "held; buttons with one react when you let go, so they cannot drag.";
inline constexpr std::string_view kLeftStick = "Left stick";
inline constexpr std::string_view kRightStick = "Right stick";
inline constexpr std::string_view kPressHeading = "Press";
inline constexpr std::string_view kHoldHeading = "Hold";
// Shown instead of the Xbox button's hold pop-up: holding it always switches the program.
inline constexpr std::string_view kXboxHoldNote = "Turns Thumbrover on or off";
inline constexpr std::string_view kRestoreDefaultButtons = "Restore Default Buttons";
inline constexpr std::string_view kOtherKey = "Other key or shortcut\u2026";
inline constexpr std::string_view kUnusableKey =
    "That key cannot be used yet. Try another one, or press Esc to cancel.";
inline constexpr std::string_view kAppliesTo = "Applies to:";
inline constexpr std::string_view kAllApps = "All applications";
inline constexpr std::string_view kAddApp = "Add the application\u2026";
// The first entry of every pop-up in an application's profile, followed by what that is.
inline constexpr std::string_view kSameAsAll = "Same as All applications";
inline constexpr std::string_view kRemoveApp = "Remove Application";
// Shown in one line where the platform cannot tell the application in front and the watcher
// has nothing more to say.
inline constexpr std::string_view kNoFrontApp =
    "This desktop does not tell which application is in front, so All applications is used "
    "everywhere.";
inline constexpr std::string_view kNoRunningApps = "No other application has a window open";
// Shown once some input is bound to the shift action: which set of actions the pop-ups edit.
inline constexpr std::string_view kLayer = "Layer:";
inline constexpr std::string_view kWithoutShift = "Without shift";
inline constexpr std::string_view kWithShift = "While shift is held";
inline constexpr std::string_view kPressWithShiftHeading = "Press with shift";
inline constexpr std::string_view kHoldWithShiftHeading = "Hold with shift";
// The first entry of every pop-up of the shifted actions, followed by what that is.
inline constexpr std::string_view kSameAsUnshifted = "Same as without shift";
// Asked before the changes that cannot be taken back.
inline constexpr std::string_view kConfirmRestoreButtons = "Restore the default buttons?";
inline constexpr std::string_view kConfirmRestoreButtonsDetail =
    "Every button and both sticks go back to what they did at first. The buttons of single "
    "applications stay as they are.";
inline constexpr std::string_view kConfirmRemoveApp = "Remove the buttons for this application?";
inline constexpr std::string_view kConfirmRemoveAppDetail =
    "It then uses the buttons for all applications.";
// A screen reader's name of a binding pop-up: the button's label, then this and the side.
inline constexpr std::string_view kPressSuffix = ", press";
inline constexpr std::string_view kHoldSuffix = ", hold";
}  // namespace buttons_texts

// One entry of a binding pop-up.
// SameAsAll and SameAsUnshifted both take the entry away, so that the slot follows what lies
// under it.
enum class ChoiceKind : std::uint8_t {
    Action = 0,
    Separator = 1,
    OtherKey = 2,
    SameAsAll = 3,
    SameAsUnshifted = 4,
};

struct Choice {
    ChoiceKind kind = ChoiceKind::Separator;
    Action action;      // for ChoiceKind::Action
    std::string title;  // empty for a separator

    friend bool operator==(const Choice&, const Choice&) = default;
};

// Which actions a platform offers beyond those every platform can carry out.
struct OfferedActions {
    // macOS refuses to open its on-screen keyboard for another program; desktops that have one
    // open it on request.
    bool on_screen_keyboard = false;
};

// The entries of a binding pop-up whose binding is `current`: the fixed actions offered (and the
// shift action where `offer_shift`), a separator, the plain keys offered, `current` when it is
// none of those, a separator and "Other key or shortcut…". `current` is therefore listed exactly
// once.
[[nodiscard]] std::vector<Choice> binding_choices(const Action& current,
                                                  OfferedActions offered = {},
                                                  bool offer_shift = false,
                                                  const PlatformLabels& labels = native_labels());
// The index of `current` in `choices` (0 when it is missing, which `binding_choices` rules out).
[[nodiscard]] std::size_t choice_index(const std::vector<Choice>& choices, const Action& current);

// A binding pop-up's tag is the button's index × 2, plus 1 for the hold action. The Xbox button
// has no hold pop-up (tag 33), since holding it always switches the program on or off.
inline constexpr std::size_t kBindingTagCount = kButtonCount * 2;

struct BindingSlot {
    Button button;
    BindingSide side;

    friend bool operator==(const BindingSlot&, const BindingSlot&) = default;
};

[[nodiscard]] constexpr std::int64_t binding_tag(Button button, BindingSide side) {
    return static_cast<std::int64_t>(button_index(button) * 2 + (side == BindingSide::Hold));
}
// The slot behind a tag; nothing for the Xbox hold and for tags that name no pop-up.
[[nodiscard]] std::optional<BindingSlot> binding_slot(std::int64_t tag);

// The stick pop-ups: items "Move the pointer", "Scroll", "Nothing" at indices 0, 1, 2, which are
// also the `StickRole` numbers.
inline constexpr std::int64_t kLeftStickTag = 1000;
inline constexpr std::int64_t kRightStickTag = 1001;
[[nodiscard]] const std::array<std::string_view, 3>& stick_choice_titles();

// A key pressed during a capture: the platform's key code and the modifier keys held (Ctrl, Shift,
// Alt, Meta in any order).
struct KeyPress {
    std::uint32_t code = 0;
    std::vector<Key> modifiers;
};

// The platform's table from key codes to keys; nothing for a key that cannot be captured. A media
// key binds its action (play-pause, volume-up, ...).
using KeyCodeTable = std::function<std::optional<Key>(std::uint32_t code)>;

// One entry of the "Applies to:" pop-up: all applications, one application's profile, or the
// entry that adds one.
enum class ScopeKind : std::uint8_t { All = 0, App = 1, Separator = 2, Add = 3 };

struct ScopeChoice {
    ScopeKind kind = ScopeKind::All;
    std::string app_id;  // for ScopeKind::App
    std::string title;

    friend bool operator==(const ScopeChoice&, const ScopeChoice&) = default;
};

// "Same as All applications (Left click)".
[[nodiscard]] std::string same_as_all_title(std::string_view what);

// Which set of actions the binding pop-ups show.
enum class Layer : std::uint8_t { Normal = 0, Shifted = 1 };

// "Same as without shift (Left click)".
[[nodiscard]] std::string same_as_unshifted_title(std::string_view what);

// "Press the key or shortcut for A (hold). Esc cancels."; with shift: "(hold with shift)".
[[nodiscard]] std::string capture_prompt(BindingSlot slot, Layer layer = Layer::Normal);

// The Buttons window's state: what every pop-up lists and selects, the key capture and its
// prompt. The view builds its pop-ups from `binding_popup` and the stick selections after every
// call that says so, and keeps a key monitor installed exactly while `capturing()`.
class ButtonsWindowModel final {
  public:
    // `apps` lists the running applications for "Add the application…" and says whether the
    // application in front can be told at all; null: no application can be added.
    explicit ButtonsWindowModel(SettingsStore& store, OfferedActions offered = {},
                                FrontAppWatcher* apps = nullptr,
                                const PlatformLabels& labels = native_labels());

    struct Popup {
        std::vector<Choice> choices;
        std::size_t selected = 0;
        // False where the slot means nothing: the hold of a shift input, and a shift input's
        // slots among the shifted actions.
        bool enabled = true;
        // In an application's profile: the binding is the profile's own, not the one for all
        // applications.
        bool overridden = false;
    };

    // What the view must do after a call.
    enum class Update : std::uint8_t {
        Nothing = 0,
        Popups,          // rebuild every pop-up from the model
        CaptureStarted,  // remove any key monitor, install a new one, show the prompt
        PromptChanged,   // the capture goes on; show the new prompt text
        CaptureEnded,    // remove the key monitor, hide the prompt, rebuild every pop-up
        ChooseApp,       // offer `addable_apps()`; the choice goes to `add_app`
    };

    // Opening the window: reads the settings file afresh and rebuilds every list.
    void open();
    // Rebuilds every list from the settings store.
    void refresh();

    // Nothing for a tag without a pop-up.
    [[nodiscard]] const Popup* binding_popup(std::int64_t tag) const;
    [[nodiscard]] std::size_t stick_selection(Stick stick) const;
    // The stick pop-ups' entries: in a profile, "Same as All applications (…)" comes first.
    [[nodiscard]] const std::vector<std::string>& stick_titles(Stick stick) const;

    // "Applies to:": "All applications", every application with a profile in the file's order,
    // and, where the application in front can be told, a separator and "Add the application…".
    [[nodiscard]] const std::vector<ScopeChoice>& scope_choices() const { return scopes_; }
    [[nodiscard]] std::size_t scope_selection() const { return scope_selected_; }
    // The application whose profile the pop-ups show; none for all applications.
    [[nodiscard]] const std::optional<std::string>& app() const { return app_; }
    // False where the platform cannot tell the application in front.
    [[nodiscard]] bool front_app_known() const;
    // Whether the window says in one line that the platform cannot tell it (a Wayland session).
    // The one line saying why the application in front is not followed (and what would help),
    // or empty where it is.
    [[nodiscard]] std::string front_app_note() const;
    // "Layer:" is shown once an input of the bindings shown (all applications', or the profile's)
    // is the shift. Its entries are "Without shift" and "While shift is held", in `Layer` order.
    [[nodiscard]] bool shows_layer() const { return shows_layer_; }
    [[nodiscard]] Layer layer() const { return layer_; }
    [[nodiscard]] static const std::array<std::string_view, 2>& layer_titles();
    // The headings of the press and hold columns for the layer shown.
    [[nodiscard]] std::string_view press_heading() const;
    [[nodiscard]] std::string_view hold_heading() const;
    // "Layer:" changed to entry `index`. Ends a capture under way.
    Update layer_changed(std::int64_t index);

    // The running applications with windows that have no profile yet.
    [[nodiscard]] std::vector<RunningApp> addable_apps() const;

    // "Applies to:" changed to entry `index`. Ends a capture under way.
    Update scope_changed(std::int64_t index);
    // Adds the application's profile (empty: all the same as for all applications) and shows it.
    Update add_app(const RunningApp& app);
    // Removes the profile shown and goes back to all applications.
    Update remove_app();

    // A binding pop-up changed to entry `index` (negative counts as 0).
    Update binding_changed(std::int64_t tag, std::int64_t index);
    // A stick pop-up changed. The pop-up already shows the choice, so nothing is rebuilt.
    Update stick_changed(std::int64_t tag, std::int64_t index);
    // A key went down while the key monitor was installed.
    Update key_captured(const KeyPress& press, const KeyCodeTable& table);
    Update restore_default_buttons();
    // Ends a capture without changing anything (the window closed).
    Update cancel_capture();

    [[nodiscard]] bool capturing() const { return capture_.has_value(); }
    [[nodiscard]] std::optional<BindingSlot> capture() const { return capture_; }
    [[nodiscard]] bool prompt_visible() const { return capture_.has_value(); }
    [[nodiscard]] const std::string& prompt() const { return prompt_; }

  private:
    // The profile shown, when it is still in the settings.
    [[nodiscard]] const AppProfile* profile() const;
    void set_binding(BindingSlot slot, Layer layer, std::optional<Action> action);
    [[nodiscard]] Popup shifted_popup(const Config& config, const AppProfile* app,
                                      BindingSlot slot) const;
    // Ends a capture; whether one was under way.
    bool end_capture();

    SettingsStore& store_;
    OfferedActions offered_;
    FrontAppWatcher* apps_;
    const PlatformLabels& labels_;
    std::optional<std::string> app_;
    std::vector<ScopeChoice> scopes_;
    std::size_t scope_selected_ = 0;
    std::array<std::vector<std::string>, 2> stick_titles_;
    std::array<std::optional<Popup>, kBindingTagCount> popups_;
    std::array<std::size_t, 2> sticks_{0, 1};
    std::optional<BindingSlot> capture_;
    Layer capture_layer_ = Layer::Normal;
    std::string prompt_;
    Layer layer_ = Layer::Normal;
    bool shows_layer_ = false;
};

}  // namespace thumbrover
