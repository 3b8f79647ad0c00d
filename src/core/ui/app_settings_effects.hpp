#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "core/circle/circle.hpp"
#include "core/engine/link.hpp"
#include "core/settings/settings_writer.hpp"
#include "core/ui/settings_store.hpp"
#include "platform/notifier.hpp"

namespace thumbrover {

// The settings store's effects as the running program has them: the settings file (keeping a
// file with a mistake as config.toml.bak before replacing it, and noticing a hand edit made since
// the store last read or wrote it), the steering circle, the engine link and the desktop's
// notifications. The file is written by a background writer, so `save` returns at once and a
// failed write is reported from there (standard error every time, a notification once per run
// of failures).
class AppSettingsEffects final : public SettingsEffects {
  public:
    // `link` gives the engine link, or null while the engine has not published it.
    AppSettingsEffects(std::filesystem::path file, CircleScaleTarget& circle, Notifier& notifier,
                       std::function<EngineLink*()> link = &published_engine_link);

    [[nodiscard]] Config load() override;
    [[nodiscard]] Result<void> save(const Config& config) override;
    [[nodiscard]] std::optional<Config> changed_underneath() override;
    [[nodiscard]] ConfigReading read() override;
    [[nodiscard]] std::optional<ConfigReading> outside_change() override;
    void change_circle_scale(float scale) override;
    void send_config_changed(const Config& config) override;
    void notify(std::string_view heading, std::string_view body) override;

    // Waits until the file holds every change saved so far.
    void flush() { writer_.flush(); }
    // Told of the settings in use whenever they go to the engine (the release check follows
    // its switch this way).
    void on_sent(std::function<void(const Config&)> hook) { sent_hook_ = std::move(hook); }

  private:
    // Whether the file's text is one this store put there or read from it. Without a write in
    // flight the file holds the text last loaded or written; during one it may hold either.
    [[nodiscard]] bool known_text(const std::string& text);
    [[nodiscard]] Result<void> write(const Config& config);

    std::filesystem::path file_;
    CircleScaleTarget& circle_;
    Notifier& notifier_;
    std::function<EngineLink*()> link_;
    std::function<void(const Config&)> sent_hook_;
    SaveFailureReporter failures_;  // used on the writer's thread only
    std::mutex known_mutex_;
    std::optional<std::string> settled_text_;    // loaded or last written; none: no file
    std::optional<std::string> in_flight_text_;  // being written right now
    BackgroundSettingsWriter writer_;
};

}  // namespace thumbrover
