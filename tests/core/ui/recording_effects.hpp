#pragma once

#include <string>
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

    Config load() override {
        calls.push_back("load");
        return file;
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
