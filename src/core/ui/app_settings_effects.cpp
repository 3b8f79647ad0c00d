#include "core/ui/app_settings_effects.hpp"

#include <utility>

#include "core/engine/messages.hpp"
#include "core/settings/settings_file.hpp"

namespace thumbrover {

AppSettingsEffects::AppSettingsEffects(std::filesystem::path file, CircleScaleTarget& circle,
                                       Notifier& notifier, std::function<EngineLink*()> link)
    : file_(std::move(file)),
      circle_(circle),
      notifier_(notifier),
      link_(std::move(link)),
      writer_([this](const Config& config) { return save_window_settings(file_, config); },
              [this](const Result<void>& outcome) {
                  failures_.report(outcome,
                                   [this](std::string_view heading, std::string_view body) {
                                       notifier_.notify(heading, body);
                                   });
              }) {}

Config AppSettingsEffects::load() {
    // A window opening right after a change must read that change back, not the file before it.
    writer_.flush();
    return load_window_settings(file_);
}

Result<void> AppSettingsEffects::save(const Config& config) {
    writer_.submit(config);
    return {};
}

void AppSettingsEffects::change_circle_scale(float scale) {
    circle_.change_circle_scale(scale);
}

void AppSettingsEffects::send_config_changed(const Config& config) {
    EngineLink* link = link_ ? link_() : nullptr;
    // Before the engine has published its link there is nobody to tell; the engine loads the
    // file itself when it starts.
    if (link == nullptr) return;
    // A failed send means the engine has ended; the change has nobody left to act on it.
    static_cast<void>(link->sender().send(EngineMessage::config_changed(config)));
}

void AppSettingsEffects::notify(std::string_view heading, std::string_view body) {
    notifier_.notify(heading, body);
}

}  // namespace thumbrover
