#pragma once

#include <filesystem>
#include <functional>

#include "core/circle/circle.hpp"
#include "core/engine/link.hpp"
#include "core/settings/settings_writer.hpp"
#include "core/ui/settings_store.hpp"
#include "platform/notifier.hpp"

namespace thumbrover {

// The settings store's effects as the running program has them: the settings file (keeping a
// file with a mistake as config.toml.bak before replacing it), the steering circle, the engine
// link and the desktop's notifications. The file is written by a background writer, so `save`
// returns at once and a failed write is reported from there (standard error every time, a
// notification once per run of failures).
class AppSettingsEffects final : public SettingsEffects {
  public:
    // `link` gives the engine link, or null while the engine has not published it.
    AppSettingsEffects(std::filesystem::path file, CircleScaleTarget& circle, Notifier& notifier,
                       std::function<EngineLink*()> link = &published_engine_link);

    [[nodiscard]] Config load() override;
    [[nodiscard]] Result<void> save(const Config& config) override;
    void change_circle_scale(float scale) override;
    void send_config_changed(const Config& config) override;
    void notify(std::string_view heading, std::string_view body) override;

    // Waits until the file holds every change saved so far.
    void flush() { writer_.flush(); }

  private:
    std::filesystem::path file_;
    CircleScaleTarget& circle_;
    Notifier& notifier_;
    std::function<EngineLink*()> link_;
    SaveFailureReporter failures_;  // used on the writer's thread only
    BackgroundSettingsWriter writer_;
};

}  // namespace thumbrover
