#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/bindings/buttons.hpp"
#include "core/common/result.hpp"
#include "core/settings/config.hpp"
#include "core/settings/config_file.hpp"
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
    // The file as it is now, with its problem when it cannot be used.
    [[nodiscard]] virtual ConfigReading read() { return {ConfigStatus::Loaded, load(), {}}; }
    // The file as it is now when something other than this store changed it since the store
    // last read or wrote it; none when it holds what the store knows or is missing.
    [[nodiscard]] virtual std::optional<ConfigReading> outside_change() { return std::nullopt; }
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

// Why the settings file is not in use: it has a mistake, or it cannot be read. `report` is the
// reader's one-line report ("line 23, column 11, key `hold_ms`: invalid value: …") or reason.
struct SettingsFileProblem {
    ConfigStatus status = ConfigStatus::Mistake;
    std::string report;

    friend bool operator==(const SettingsFileProblem&, const SettingsFileProblem&) = default;
};

// What reading the file again changed, for the windows to show.
struct SettingsFollowed {
    bool settings = false;  // the settings in use are now the file's
    bool problem = false;   // the file's problem appeared, changed or went away
};

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
    // Reads the file afresh. A correct file becomes the settings in use (handed to the circle
    // and the engine when it differs from them; nothing is saved). A file with a mistake, or one
    // that cannot be read, changes nothing but becomes the `file_problem`; before any file was
    // used, the defaults are in use, as in the engine.
    void reload();
    // The same for a file that something else changed since the store last read or wrote it (a
    // hand edit saved); a new problem is also notified, since no window may be open to show it.
    // Nothing happens when the file holds what the store knows or is gone.
    SettingsFollowed follow_file();
    // Why the file is not in use; none when it is.
    [[nodiscard]] const std::optional<SettingsFileProblem>& file_problem() const {
        return problem_;
    }
    // Told on the user-interface thread whenever a reload, a followed edit or a change made in a
    // window changed what the windows show of the file (not for the changes windows make).
    void on_followed(std::function<void(SettingsFollowed)> listener) {
        listener_ = std::move(listener);
    }

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
    // The once-a-day release check on or off.
    void set_check_for_updates(bool on);

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
    // Hands the settings in use to the circle and the engine without saving them.
    void publish();
    SettingsFollowed take(ConfigReading reading, bool announce);

    SettingsEffects& effects_;
    std::optional<Config> cache_;
    std::optional<SettingsFileProblem> problem_;
    std::function<void(SettingsFollowed)> listener_;
    SaveFailureReporter failures_;
};

}  // namespace thumbrover
