// Random play with the whole program for a while (THUMBROVER_SOAK_SECONDS, 60 by default; the
// seed is printed, and THUMBROVER_SOAK_SEED plays the same game again), with a controller that
// reports through a device node as a real one does: trembling sticks streaming reports, taps,
// holds, the Xbox hold, the controller pulled out in the middle of a hold and plugged in again, and
// settings changed from another thread meanwhile. Afterwards nothing may be held in the X server,
// the program must still answer, and its memory must not have grown.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <utility>

#include "core/bindings/buttons.hpp"
#include "core/engine/messages.hpp"
#include "core/settings/config_file.hpp"
#include "e2e/program.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;
using testing::ProgramRun;
using Random = std::mt19937;

#if defined(__SANITIZE_ADDRESS__)
// Freed memory waits in AddressSanitizer's quarantine, so resident memory grows by design; its
// leak check at exit stands in for the measurement.
constexpr bool kMeasureMemory = false;
#else
constexpr bool kMeasureMemory = true;
#endif

long env_number(const char* name, long fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    return std::strtol(text, nullptr, 10);
}

double resident_mib() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0.0;
}

int between(Random& random, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
}

float deflection(Random& random) {
    return std::uniform_real_distribution<float>(-1.0f, 1.0f)(random);
}

// Every input does something that only reaches the X server (no program is started), with hold
// actions on some, and timings drawn at random.
Config random_config(Random& random) {
    Config config;
    const std::pair<const char*, const char*> bindings[] = {
        {"a", "left-click"},
        {"b", "right-click"},
        {"x", "ctrl+shift+t"},
        {"y", "app-switcher"},
        {"left_bumper", "precise-mode"},
        {"right_bumper", "page-down"},
        {"left_trigger", "middle-click"},
        {"right_trigger", "volume-up"},
        {"view", "mute"},
        {"menu", "play-pause"},
        {"left_stick_click", "ctrl+a"},
        {"right_stick_click", "shift"},
        {"dpad_up", "up"},
        {"dpad_down", "volume-down"},
        {"dpad_left", "previous-track"},
        {"dpad_right", "next-track"},
    };
    const char* holds[] = {"none", "right-click", "volume-down", "alt+tab", "precise-mode"};
    for (const auto& [key, action] : bindings) {
        EXPECT_TRUE(apply_button_entry(config.buttons, key, action).ok()) << key;
        const char* hold = holds[between(random, 0, 4)];
        EXPECT_TRUE(apply_button_entry(config.buttons, std::string(key) + "_hold", hold).ok());
    }
    config.hold_ms = static_cast<std::uint64_t>(between(random, 150, 600));
    config.alt_tab_commit_ms = static_cast<std::uint64_t>(between(random, 100, 900));
    config.volume_delay_ms = static_cast<std::uint64_t>(between(random, 100, 400));
    config.pointer_speed = static_cast<float>(between(random, 200, 2000));
    config.stick_deadzone = static_cast<float>(between(random, 5, 30)) / 100.0f;
    config.right_stick = between(random, 0, 3) == 0 ? StickRole::Pointer : StickRole::Scroll;
    return config;
}

// One trembling thumb on a stick: `reports` reports `gap` apart around a deflection.
void stream_stick(ProgramRun& program, Random& random, std::size_t x_axis, int reports,
                  std::chrono::milliseconds gap) {
    const float x = deflection(random);
    const float y = deflection(random);
    std::uniform_real_distribution<float> tremble(-0.02f, 0.02f);
    for (int i = 0; i < reports; ++i) {
        program.set_axes({{x_axis, x + tremble(random)}, {x_axis + 1, y + tremble(random)}});
        std::this_thread::sleep_for(gap);
    }
}

void play_one(ProgramRun& program, Random& random) {
    constexpr std::size_t kXbox = 8;
    const auto some_button = [&] {
        std::size_t b = 0;
        do {
            b = static_cast<std::size_t>(between(random, 0, 10));
        } while (b == kXbox);
        return b;
    };
    const auto stick = [&] { return between(random, 0, 1) == 0 ? std::size_t{0} : std::size_t{2}; };
    const auto gap = [&] { return std::chrono::milliseconds(between(random, 1, 8)); };
    switch (between(random, 0, 9)) {
        case 0:
        case 1:
            stream_stick(program, random, stick(), between(random, 10, 300), gap());
            program.set_axes({{0, 0.0f}, {1, 0.0f}, {2, 0.0f}, {3, 0.0f}});
            break;
        case 2: {  // a tap while steering
            const std::size_t b = some_button();
            program.set_button(b, true);
            stream_stick(program, random, stick(), between(random, 2, 40), gap());
            program.set_button(b, false);
            break;
        }
        case 3: {  // a hold
            const std::size_t b = some_button();
            program.set_button(b, true);
            std::this_thread::sleep_for(std::chrono::milliseconds(between(random, 200, 900)));
            program.set_button(b, false);
            break;
        }
        case 4:  // triggers and D-pad
            program.set_axis(static_cast<std::size_t>(between(random, 4, 5)),
                             static_cast<float>(between(random, 0, 10)) / 10.0f);
            program.set_axis(static_cast<std::size_t>(between(random, 6, 7)),
                             static_cast<float>(between(random, -1, 1)));
            std::this_thread::sleep_for(std::chrono::milliseconds(between(random, 5, 500)));
            break;
        case 5:  // the Xbox hold switches the program off or on; a short press does nothing
            program.set_button(kXbox, true);
            std::this_thread::sleep_for(std::chrono::milliseconds(between(random, 50, 1300)));
            program.set_button(kXbox, false);
            break;
        case 6: {  // pulled out in the middle of a hold, with a stick over
            program.set_button(some_button(), true);
            program.set_button(some_button(), true);
            program.set_axis(static_cast<std::size_t>(between(random, 4, 5)), 1.0f);
            stream_stick(program, random, stick(), between(random, 5, 60), gap());
            program.unplug();
            std::this_thread::sleep_for(std::chrono::milliseconds(between(random, 50, 700)));
            if (program.replug()) {
                (void)testing::wait_until([&] { return program.connected(); }, 5s);
            }
            break;
        }
        default:  // buttons mashed
            for (int i = between(random, 1, 20); i > 0; --i) {
                program.set_button(some_button(), between(random, 0, 1) == 0);
                std::this_thread::sleep_for(std::chrono::milliseconds(between(random, 0, 30)));
            }
            break;
    }
}

void let_go_of_everything(ProgramRun& program) {
    program.set_axes({{0, 0.0f}, {1, 0.0f}, {2, 0.0f}, {3, 0.0f}, {4, 0.0f}, {5, 0.0f}});
    program.set_axes({{6, 0.0f}, {7, 0.0f}});
    for (std::size_t b = 0; b <= 10; ++b)
        program.set_button(b, false);
}

TEST(Soak, RandomPlayLeavesNothingHeldAndTheProgramAnswering) {
    const auto length =
        std::chrono::seconds(std::max(10L, env_number("THUMBROVER_SOAK_SECONDS", 60)));
    const auto seed =
        static_cast<unsigned>(env_number("THUMBROVER_SOAK_SEED", std::random_device{}()));
    // Memory counts from when the program has settled: after a minute, or a third of a short run.
    const auto settled = std::min<std::chrono::seconds>(60s, length / 3);
    std::printf("soak: %lld s of random play, THUMBROVER_SOAK_SEED=%u\n",
                static_cast<long long>(length.count()), seed);
    std::fflush(stdout);

    Random settings_random(seed + 1);
    const Config first = random_config(settings_random);
    const int status = ProgramRun::run(
        [&](ProgramRun& program) {
            std::atomic<bool> playing{true};
            // The settings windows send whole records from the main thread; here another thread
            // sends them while the controller plays.
            std::thread settings([&] {
                while (playing) {
                    std::this_thread::sleep_for(
                        std::chrono::milliseconds(between(settings_random, 200, 1500)));
                    if (const EngineLink* link = published_engine_link()) {
                        link->sender().send(
                            EngineMessage::config_changed(random_config(settings_random)));
                    }
                }
            });
            Random random(seed);
            const auto start = std::chrono::steady_clock::now();
            std::optional<double> settled_mib;
            std::size_t rounds = 0;
            while (std::chrono::steady_clock::now() - start < length) {
                play_one(program, random);
                ++rounds;
                if (!settled_mib && std::chrono::steady_clock::now() - start >= settled) {
                    settled_mib = resident_mib();
                }
            }
            playing = false;
            settings.join();
            let_go_of_everything(program);

            // Nothing held: the app switcher's Alt waits out its commit time at most.
            const testing::XDisplayPtr display = testing::open_x_display();
            std::string held;
            EXPECT_TRUE(testing::wait_until(
                [&] {
                    held = testing::held_down(display.get());
                    return held.empty();
                },
                3s))
                << "held after " << rounds << " rounds: " << held;

            // Still answering: switched on if the last Xbox hold left it off, the stick moves
            // the pointer.
            const EngineLink* link = published_engine_link();
            ASSERT_NE(link, nullptr);
            if (!link->status().enabled) LinkedEngineRequests().send_toggle();
            ASSERT_TRUE(testing::wait_until([&] { return link->status().enabled; }, 3s));
            ASSERT_TRUE(program.connected());
            XWarpPointer(display.get(), 0, DefaultRootWindow(display.get()), 0, 0, 0, 0, 960, 540);
            XSync(display.get(), False);
            program.set_axis(testing::kAxisLeftX, 1.0f);
            EXPECT_TRUE(testing::wait_until(
                [&] { return testing::query_pointer(display.get()).x > 980; }, 3s))
                << "the stick no longer moves the pointer";
            program.set_axis(testing::kAxisLeftX, 0.0f);

            const double end_mib = resident_mib();
            std::printf("soak: %zu rounds; resident %.1f MiB once settled, %.1f MiB at the end\n",
                        rounds, settled_mib.value_or(0.0), end_mib);
            if (kMeasureMemory && settled_mib) {
                EXPECT_LE(end_mib, *settled_mib + 1.0) << "resident memory grew";
            }
        },
        [&](const std::filesystem::path& dir) {
            const Result<void> written = write_config(config_path(dir), first);
            ASSERT_TRUE(written.ok()) << written.error();
        },
        {}, testing::PadReports::ThroughNode);
    EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace thumbrover
