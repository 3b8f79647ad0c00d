#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/ui/settings_store.hpp"

namespace thumbrover::testing {

// Records every effect of the settings store, in order, as one line each.
class RecordingEffects final : public SettingsEffects {
  public:
    Config file;              // what `load` returns
    bool fail_saves = false;  // makes `save` fail
    std::vector<std::string> calls;
    std::vector<Config> saved;
    std::vector<Config> sent;
    std::vector<float> scales;

    // How the file reads, beside `file`: a mistake or a file that cannot be read.
    std::optional<std::pair<ConfigStatus, std::string>> problem;
    // What `outside_change` gives next (once); none: the file holds what the store knows.
    std::optional<ConfigReading> outside;

    Config load() override {
        calls.push_back("load");
        return file;
    }
    ConfigReading read() override {
        calls.push_back("load");
        if (problem) return {problem->first, Config{}, problem->second};
        return {ConfigStatus::Loaded, file, {}};
    }
    std::optional<ConfigReading> outside_change() override {
        return std::exchange(outside, std::nullopt);
    }
    Result<void> save(const Config& config) override {
        calls.push_back("save");
        if (fail_saves) return Error{"could not write /nowhere/config.toml: Permission denied"};
        saved.push_back(config);
        file = config;
        return {};
    }
    void change_circle_scale(float scale) override {
        calls.push_back("circle");
        scales.push_back(scale);
    }
    void send_config_changed(const Config& config) override {
        calls.push_back("send");
        sent.push_back(config);
    }
    void notify(std::string_view heading, std::string_view body) override {
        calls.push_back("notify: " + std::string(heading) + " | " + std::string(body));
    }
};

}  // namespace thumbrover::testing
