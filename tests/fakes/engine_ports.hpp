#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fakes/event_output.hpp"
#include "fakes/front_app.hpp"
#include "fakes/mouse_watcher.hpp"
#include "fakes/notifier.hpp"
#include "platform/engine_ports.hpp"

namespace thumbrover::fakes {

// Hands out objects that forward to recording fakes it owns, so a test reads what the engine did
// after the engine has destroyed what it made. `calls` lists the factories in the order they
// were called.
class FakeEnginePorts final : public EnginePorts {
  public:
    std::vector<std::string> calls;
    std::optional<std::string> output_error;
    RecordingNotifier notifications;
    RecordingOutput output;
    RecordingDesktopActions desktop;
    FrontAppScript front_apps;

    Result<std::unique_ptr<EventOutput>> create_event_output() override {
        calls.emplace_back("create_event_output");
        if (output_error) return Error{*output_error};
        return std::unique_ptr<EventOutput>(std::make_unique<ForwardingOutput>(output));
    }
    std::unique_ptr<DesktopActions> create_desktop_actions() override {
        calls.emplace_back("create_desktop_actions");
        return std::make_unique<ForwardingDesktopActions>(desktop);
    }
    std::unique_ptr<MouseMotionSource> create_mouse_source() override {
        calls.emplace_back("create_mouse_source");
        return std::make_unique<ScriptedSource>();
    }
    std::unique_ptr<FrontAppWatcher> create_front_app_watcher() override {
        calls.emplace_back("create_front_app_watcher");
        return std::make_unique<ScriptedFrontApps>(front_apps);
    }
    Notifier& notifier() override { return notifications; }

  private:
    class ForwardingOutput final : public EventOutput {
      public:
        explicit ForwardingOutput(EventOutput& target) : target_(target) {}
        Result<void> perform(const OutputCommand& command) override {
            return target_.perform(command);
        }

      private:
        EventOutput& target_;
    };
    class ForwardingDesktopActions final : public DesktopActions {
      public:
        explicit ForwardingDesktopActions(DesktopActions& target) : target_(target) {}
        Result<void> show_overview() override { return target_.show_overview(); }
        Result<void> show_on_screen_keyboard() override {
            return target_.show_on_screen_keyboard();
        }

      private:
        DesktopActions& target_;
    };
};

}  // namespace thumbrover::fakes
