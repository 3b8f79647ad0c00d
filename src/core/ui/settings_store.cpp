#include "core/ui/settings_store.hpp"

#include <algorithm>
#include <string>
#include <utility>

namespace thumbrover {

Config& SettingsStore::cache() {
    if (!cache_) cache_ = effects_.load();
    return *cache_;
}

const Config& SettingsStore::get() {
    return cache();
}

void SettingsStore::reload() {
    const SettingsFollowed followed = take(effects_.read(), false);
    if (listener_ && (followed.settings || followed.problem)) listener_(followed);
}

SettingsFollowed SettingsStore::follow_file() {
    std::optional<ConfigReading> news = effects_.outside_change();
    if (!news) return {};
    const SettingsFollowed followed = take(std::move(*news), true);
    if (listener_ && (followed.settings || followed.problem)) listener_(followed);
    return followed;
}

SettingsFollowed SettingsStore::take(ConfigReading reading, bool announce) {
    SettingsFollowed followed;
    std::optional<SettingsFileProblem> problem;
    switch (reading.status) {
        case ConfigStatus::Loaded:
            if (!cache_ || *cache_ != reading.config) {
                // The engine read the file itself when it started; it needs telling only of
                // what changed since.
                const bool in_use_before = cache_.has_value();
                cache_ = std::move(reading.config);
                followed.settings = true;
                if (in_use_before) publish();
            }
            break;
        case ConfigStatus::Missing:
            // A file removed while the program runs takes nothing away: the next change made in a
            // window writes it again.
            break;
        case ConfigStatus::Mistake:
        case ConfigStatus::Unreadable:
            problem = SettingsFileProblem{reading.status, std::move(reading.problem)};
            break;
    }
    if (!cache_) cache_ = Config{};
    if (problem != problem_) {
        followed.problem = true;
        if (announce && problem) {
            effects_.notify(
                problem->status == ConfigStatus::Mistake ? kMistakeHeading : kUnreadableHeading,
                problem_notification_body(problem->report, kKeepingSettingsBody));
        }
        problem_ = std::move(problem);
    }
    return followed;
}

Config& SettingsStore::to_change() {
    if (cache_) {
        if (std::optional<Config> edited = effects_.changed_underneath())
            cache_ = std::move(*edited);
    }
    return cache();
}

double SettingsStore::set_number(const SliderSpec& slider, double value) {
    Config& config = to_change();
    slider.write(config, value);
    const double stored = slider.read(config);
    apply();
    return stored;
}

void SettingsStore::restore_defaults() {
    thumbrover::restore_default_settings(to_change());
    apply();
}

void SettingsStore::set_binding(Button button, BindingSide side, Action action) {
    Binding& binding = binding_of(to_change().buttons, button);
    if (side == BindingSide::Press && is_shift(action)) binding.hold = Action();
    (side == BindingSide::Press ? binding.press : binding.hold) = std::move(action);
    apply();
}

void SettingsStore::set_shifted_binding(Button button, BindingSide side,
                                        std::optional<Action> action) {
    ShiftedLayer& layer = to_change().shifted;
    (side == BindingSide::Press ? layer.press : layer.hold)[button_index(button)] =
        std::move(action);
    apply();
}

void SettingsStore::set_stick_role(Stick stick, StickRole role) {
    Config& config = to_change();
    (stick == Stick::Left ? config.left_stick : config.right_stick) = role;
    apply();
}

void SettingsStore::restore_default_buttons() {
    thumbrover::restore_default_buttons(to_change());
    apply();
}

void SettingsStore::set_check_for_updates(bool on) {
    to_change().check_for_updates = on;
    apply();
}

bool SettingsStore::add_app_profile(const RunningApp& app) {
    Config& config = to_change();
    if (find_app_profile(config, app.id) != nullptr || config.apps.size() >= kMaxAppProfiles ||
        !check_app_id(app.id).ok())
        return false;
    AppProfile profile;
    profile.id = app.id;
    profile.name = app.name.empty() ? app.id : app.name;
    config.apps.push_back(std::move(profile));
    apply();
    return true;
}

void SettingsStore::remove_app_profile(std::string_view id) {
    auto& apps = to_change().apps;
    const auto gone = std::remove_if(
        apps.begin(), apps.end(), [&](const AppProfile& app) { return same_app_id(app.id, id); });
    if (gone == apps.end()) return;
    apps.erase(gone, apps.end());
    apply();
}

void SettingsStore::set_app_binding(std::string_view id, Button button, BindingSide side,
                                    std::optional<Action> action) {
    AppProfile* app = find_app_profile(to_change(), id);
    if (app == nullptr) return;
    const std::size_t i = button_index(button);
    if (side == BindingSide::Press && action && is_shift(*action)) app->hold[i].reset();
    auto& slot = side == BindingSide::Press ? app->press : app->hold;
    slot[i] = std::move(action);
    apply();
}

void SettingsStore::set_app_shifted_binding(std::string_view id, Button button, BindingSide side,
                                            std::optional<Action> action) {
    AppProfile* app = find_app_profile(to_change(), id);
    if (app == nullptr) return;
    auto& slot = side == BindingSide::Press ? app->shifted.press : app->shifted.hold;
    slot[button_index(button)] = std::move(action);
    apply();
}

void SettingsStore::set_app_stick_role(std::string_view id, Stick stick,
                                       std::optional<StickRole> role) {
    AppProfile* app = find_app_profile(to_change(), id);
    if (app == nullptr) return;
    (stick == Stick::Left ? app->left_stick : app->right_stick) = role;
    apply();
}

void SettingsStore::apply() {
    failures_.report(effects_.save(*cache_),
                     [this](std::string_view heading, std::string_view body) {
                         effects_.notify(heading, body);
                     });
    publish();
    // The save replaces a file with a mistake (keeping it as the backup first); one that cannot
    // be read stays, and so does its problem.
    if (problem_ && problem_->status == ConfigStatus::Mistake) {
        problem_.reset();
        if (listener_) listener_(SettingsFollowed{false, true});
    }
}

void SettingsStore::publish() {
    const Config& config = *cache_;
    effects_.change_circle_scale(config.circle_scale);
    effects_.send_config_changed(config);
}

}  // namespace thumbrover
