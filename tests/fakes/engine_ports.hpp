#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fakes/event_output.hpp"
#include "fakes/mouse_watcher.hpp"
#include "fakes/notifier.hpp"
#include "platform/engine_ports.hpp"

namespace thumbrover::fakes {

// Hands out recording fakes and keeps pointers to them, so a test reads what the engine did
// through them after the engine made and used them. `calls` lists the factories in the order
// they were called.
class FakeEnginePorts final : public EnginePorts {
  public:
    std::vector<std::string> calls;
    std::optional<std::string> output_error;
    RecordingNotifier notifications;
    // Set up before the engine makes the output (a failing call, a hook).
    RecordingOutput output_template;
    // What the engine made; null before.
    RecordingOutput* output = nullptr;
    RecordingDesktopActions* desktop = nullptr;

    Result<std::unique_ptr<EventOutput>> create_event_output() override {
        calls.emplace_back("create_event_output");
        if (output_error) return Error{*output_error};
        auto made = std::make_unique<RecordingOutput>(output_template);
        output = made.get();
        return std::unique_ptr<EventOutput>(std::move(made));
    }
    std::unique_ptr<DesktopActions> create_desktop_actions() override {
        calls.emplace_back("create_desktop_actions");
        auto made = std::make_unique<RecordingDesktopActions>();
        desktop = made.get();
        return made;
    }
    std::unique_ptr<MouseMotionSource> create_mouse_source() override {
        calls.emplace_back("create_mouse_source");
        return std::make_unique<ScriptedSource>();
    }
    Notifier& notifier() override { return notifications; }
};

}  // namespace thumbrover::fakes
