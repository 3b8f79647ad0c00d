// Saving the settings survives the process being killed at any moment: a child saves in a loop
// through both writers (a window's change and the plain file writer) and is killed with SIGKILL
// again and again; the file must always read back as one of the settings it was given, and the
// next start must find no temporary file of ours.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/bindings/actions.hpp"
#include "core/settings/app_folder.hpp"
#include "core/settings/config_file.hpp"
#include "core/ui/app_settings_effects.hpp"
#include "core/ui/settings_store.hpp"
#include "core/ui/sliders.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

struct NoCircle final : CircleScaleTarget {
    void change_circle_scale(float) override {}
};
struct NoNotifier final : Notifier {
    void notify(std::string_view, std::string_view) override {}
};

// The two settings the child swaps between differ at the top and at the bottom of the file, so
// a file cut short or mixed from two saves cannot pass for either.
Config old_settings() {
    return Config{};
}
Config new_settings() {
    Config config;
    config.pointer_speed = 1600.0f;
    binding_of(config.buttons, Button::Xbox).press = *parse_action("mute");
    return config;
}

const SliderSpec& pointer_slider() {
    for (const SliderSpec& slider : slider_specs())
        if (slider.field == "pointer_speed") return slider;
    std::abort();
}

// Every settings the child can leave in the file: each writer's whole records, and the window's
// record between its two changes.
std::vector<Config> possible_settings() {
    Config pointer_only = old_settings();
    pointer_only.pointer_speed = new_settings().pointer_speed;
    Config binding_only = new_settings();
    binding_only.pointer_speed = old_settings().pointer_speed;
    return {old_settings(), new_settings(), pointer_only, binding_only};
}

// The child's whole life: save, save, save, until it is killed. `phase` varies where in the
// cycle it starts, so that kills land on every kind of step.
[[noreturn]] void save_forever(const fs::path& file, unsigned phase) {
    NoCircle circle;
    NoNotifier notifier;
    AppSettingsEffects effects(file, circle, notifier, [] { return nullptr; });
    SettingsStore store(effects);
    (void)store.get();
    const Action mute = *parse_action("mute");
    const Action launcher = *parse_action("launcher");
    for (unsigned step = phase;; ++step) {
        switch (step % 4) {
            case 0:
                (void)write_config(file, new_settings());
                break;
            case 1:
                (void)write_config(file, old_settings());
                break;
            case 2:
                store.set_number(pointer_slider(), 1600.0);
                store.set_binding(Button::Xbox, BindingSide::Press, mute);
                effects.flush();
                break;
            case 3:
                store.set_number(pointer_slider(), 800.0);
                store.set_binding(Button::Xbox, BindingSide::Press, launcher);
                effects.flush();
                break;
        }
    }
}

std::vector<std::string> folder_entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(CrashSafety, SettingsKilledWhileSavingReadBackWholeAndLeaveNothingBehind) {
    constexpr int kKills = 200;
    TempDir dir;
    const fs::path file = dir / "config.toml";
    ASSERT_TRUE(write_config(file, old_settings()).ok());
    const std::vector<Config> possible = possible_settings();

    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> wait_us(0, 20000);
    int temporary_files_found = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) save_forever(file, static_cast<unsigned>(kill));
        std::this_thread::sleep_for(std::chrono::microseconds(wait_us(random)));
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the child ended by itself, status " << status;

        const ConfigReading reading = read_config(file);
        ASSERT_EQ(reading.status, ConfigStatus::Loaded) << reading.problem;
        bool known = false;
        for (const Config& config : possible)
            known = known || reading.config == config;
        ASSERT_TRUE(known) << config_to_text(reading.config);

        if (folder_entries(dir.path()).size() > 1) ++temporary_files_found;
        remove_stale_saves(dir.path());
        ASSERT_EQ(folder_entries(dir.path()), std::vector<std::string>{"config.toml"});
    }
    // How many kills landed inside a save; on a disk that flushes for real, about half.
    RecordProperty("kills_inside_a_save", temporary_files_found);
}

}  // namespace
}  // namespace thumbrover
