#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "core/circle/circle.hpp"
#include "core/common/result.hpp"
#include "core/settings/config.hpp"
#include "core/settings/config_file.hpp"
#include "core/ui/settings_store.hpp"

namespace thumbrover {

// Writes settings changed in a window. A file that exists but has a mistake is first kept as
// `{file}.bak` (replacing an older copy, and saying so on standard error), since the new file
// replaces the whole of it and a hand edit with one typo must not be lost. A file that exists but
// cannot be read cannot be kept, so it is not replaced either; that fails like a failed write.
[[nodiscard]] Result<void> save_window_settings(const std::filesystem::path& file,
                                                const Config& config);

// The settings store's effects as the application has them: the settings file, the steering
// circle, the engine and the desktop's notifications.
class AppSettingsEffects final : public SettingsEffects {
  public:
    // `send` hands a ConfigChanged message to the engine (dropping it while there is no engine
    // link yet).
    AppSettingsEffects(std::filesystem::path file, CircleScaleTarget& circle,
                       std::function<void(const Config&)> send, Notifier notify);

    [[nodiscard]] Config load() override;
    [[nodiscard]] Result<void> save(const Config& config) override;
    void change_circle_scale(float scale) override;
    void send_config_changed(const Config& config) override;
    void notify(std::string_view heading, std::string_view body) override;

  private:
    std::filesystem::path file_;
    CircleScaleTarget& circle_;
    std::function<void(const Config&)> send_;
    Notifier notify_;
};

}  // namespace thumbrover
