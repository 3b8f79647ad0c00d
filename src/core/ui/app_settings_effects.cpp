#include "core/ui/app_settings_effects.hpp"

#include <utility>

#include "core/common/files.hpp"
#include "core/engine/messages.hpp"
#include "core/settings/config_file.hpp"
#include "core/settings/settings_file.hpp"

namespace thumbrover {
namespace {

// What a file's whole text gives: its settings, or the first mistake in it.
ConfigReading reading_of(const std::string& text) {
    ConfigReading reading;
    auto config = parse_config(text);
    if (config) {
        reading.status = ConfigStatus::Loaded;
        reading.config = std::move(config).value();
    } else {
        reading.status = ConfigStatus::Mistake;
        reading.problem = config.error();
    }
    return reading;
}

}  // namespace

AppSettingsEffects::AppSettingsEffects(std::filesystem::path file, CircleScaleTarget& circle,
                                       Notifier& notifier, std::function<EngineLink*()> link)
    : file_(std::move(file)),
      circle_(circle),
      notifier_(notifier),
      link_(std::move(link)),
      writer_([this](const Config& config) { return write(config); },
              [this](const Result<void>& outcome) {
                  failures_.report(outcome,
                                   [this](std::string_view heading, std::string_view body) {
                                       notifier_.notify(heading, body);
                                   });
              }) {}

Config AppSettingsEffects::load() {
    // A window opening right after a change must read that change back, not the file before it.
    writer_.flush();
    auto text = read_file(file_, kMaxConfigBytes);
    {
        const std::lock_guard lock(known_mutex_);
        settled_text_ = text ? std::optional(*text) : std::nullopt;
    }
    if (!text) return Config{};
    auto config = parse_config(*text);
    return config ? std::move(config).value() : Config{};
}

ConfigReading AppSettingsEffects::read() {
    writer_.flush();
    auto text = read_file(file_, kMaxConfigBytes);
    {
        const std::lock_guard lock(known_mutex_);
        settled_text_ = text ? std::optional(*text) : std::nullopt;
    }
    if (!text) return read_config(file_);
    return reading_of(*text);
}

std::optional<ConfigReading> AppSettingsEffects::outside_change() {
    auto text = read_file(file_, kMaxConfigBytes);
    if (!text) {
        // A file that is gone changes nothing; one that cannot be read is worth saying so.
        ConfigReading reading = read_config(file_);
        if (reading.status == ConfigStatus::Missing) return std::nullopt;
        return reading;
    }
    if (known_text(*text)) return std::nullopt;
    ConfigReading reading = reading_of(*text);
    const std::lock_guard lock(known_mutex_);
    settled_text_ = std::move(*text);
    return reading;
}

std::optional<Config> AppSettingsEffects::changed_underneath() {
    auto text = read_file(file_, kMaxConfigBytes);
    if (!text || known_text(*text)) return std::nullopt;
    auto config = parse_config(*text);
    if (!config) return std::nullopt;
    const std::lock_guard lock(known_mutex_);
    settled_text_ = std::move(*text);
    return std::move(config).value();
}

bool AppSettingsEffects::known_text(const std::string& text) {
    const std::lock_guard lock(known_mutex_);
    return text == settled_text_ || text == in_flight_text_;
}

Result<void> AppSettingsEffects::write(const Config& config) {
    std::string text = config_to_text(config);
    {
        const std::lock_guard lock(known_mutex_);
        in_flight_text_ = text;
    }
    Result<void> written = save_window_settings(file_, config);
    const std::lock_guard lock(known_mutex_);
    if (written) settled_text_ = std::move(text);
    in_flight_text_.reset();
    return written;
}

Result<void> AppSettingsEffects::save(const Config& config) {
    writer_.submit(config);
    return {};
}

void AppSettingsEffects::change_circle_scale(float scale) {
    circle_.change_circle_scale(scale);
}

void AppSettingsEffects::send_config_changed(const Config& config) {
    if (sent_hook_) sent_hook_(config);
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
