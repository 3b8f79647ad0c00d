#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/bindings/buttons.hpp"
#include "core/common/result.hpp"
#include "core/settings/config.hpp"
#include "core/settings/settings_writer.hpp"
#include "core/ui/sliders.hpp"
#include "platform/front_app.hpp"

namespace thumbrover {

// Where the settings store reads from and what it does after a change. The application wires it
// to the settings file, the steering circle, the engine link and the notifier; tests record the
// calls. Every method is called on the user-interface thread.
class SettingsEffects {
  public:
    virtual ~SettingsEffects() = default;

    // The settings file's contents, or the defaults when it is missing, unreadable or has a
    // mistake. Never reports anything: a broken file is the start-up check's to report.
    [[nodiscard]] virtual Config load() = 0;
    // Replaces the settings file. The error is one line without the program prefix, such as
    // "could not write {path}: {reason}".
    [[nodiscard]] virtual Result<void> save(const Config& config) = 0;
    // The file's settings when something other than this store has changed the file since the
    // store last loaded or saved it (a hand edit saved while a window is open). None when the
    // file holds what the store knows, is missing or unreadable, or has a mistake: the next save
    // keeps a file with a mistake as a backup before it replaces it.
    [[nodiscard]] virtual std::optional<Config> changed_underneath() { return std::nullopt; }
    // Hands the scale to the steering circle, which rebuilds only when it differs.
    virtual void change_circle_scale(float scale) = 0;
    // Sends a ConfigChanged message with this copy to the engine; dropped while the engine link
    // is not published yet.
    virtual void send_config_changed(const Config& config) = 0;
    // A desktop notification; callable any time.
    virtual void notify(std::string_view heading, std::string_view body) = 0;
};

enum class BindingSide : std::uint8_t { Press = 0, Hold = 1 };
enum class Stick : std::uint8_t { Left = 0, Right = 1 };

// The user interface's own copy of the settings and the one way a window changes them. The copy
// is loaded on first use; after every change it is saved, the circle scale is handed on and the
// engine gets a copy, in that order. A change that cannot be saved still takes effect. When the
// file was edited by hand since the copy was taken, the copy is taken afresh before the change,
// so that a change touches only its own setting and never undoes the edit.
class SettingsStore final {
  public:
    explicit SettingsStore(SettingsEffects& effects) : effects_(effects) {}

    // The current settings (loaded first if this is the first use).
    [[nodiscard]] const Config& get();
    // Reads the file afresh, so that hand edits show in a window that opens. Saves and sends
    // nothing: the engine learns of hand edits with the next change made in a window.
    void reload();

    // A slider moved: stores the value with the slider's snapping and returns the value stored,
    // read back as the value label shows it.
    double set_number(const SliderSpec& slider, double value);
    // Every setting but the button bindings back to its default.
    void restore_defaults();
    // Making an input the shift also turns its hold off: nothing performs it, and a file that
    // gave one would be refused.
    void set_binding(Button button, BindingSide side, Action action);
    // The action of an input while shift is held; none makes it the same as without shift.
    void set_shifted_binding(Button button, BindingSide side, std::optional<Action> action);
    void set_stick_role(Stick stick, StickRole role);
    // The button bindings and both stick roles back to their defaults; the rest is kept.
    void restore_default_buttons();

    // An application's own bindings, which start out empty: everything the same as for all
    // applications. False when it has them already or the file holds as many as it may.
    bool add_app_profile(const RunningApp& app);
    void remove_app_profile(std::string_view id);
    // None makes the binding or role the same as for all applications again. Nothing happens for
    // an application without a profile.
    void set_app_binding(std::string_view id, Button button, BindingSide side,
                         std::optional<Action> action);
    void set_app_stick_role(std::string_view id, Stick stick, std::optional<StickRole> role);
    // None: the same as the main shifted layer says, or as without shift where it says nothing.
    void set_app_shifted_binding(std::string_view id, Button button, BindingSide side,
                                 std::optional<Action> action);

  private:
    Config& cache();
    // The copy a change is made to: the cache, refreshed first when the file changed under it.
    Config& to_change();
    void apply();

    SettingsEffects& effects_;
    std::optional<Config> cache_;
    SaveFailureReporter failures_;
};

}  // namespace thumbrover
