#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/system_services.hpp"

namespace thumbrover::fakes {

// The login item as the system keeps it. `calls` shows what was asked ("enabled?", "state?",
// "register", "unregister", "open login items"); a set `refusal` makes every change fail with
// that text. `awaiting`: registered but switched off in the system's list; registering then
// fails as the system's does, and unregistering clears it.
class FakeLoginItem final : public LoginItem {
  public:
    bool on = false;
    bool awaiting = false;
    std::optional<std::string> refusal;
    std::optional<std::string> open_failure;
    std::vector<std::string> calls;
    std::vector<bool> requests;

    bool enabled() override {
        calls.emplace_back("enabled?");
        return on && !awaiting;
    }
    LoginItemState state() override {
        calls.emplace_back("state?");
        if (awaiting) return LoginItemState::AwaitingApproval;
        return on ? LoginItemState::On : LoginItemState::Off;
    }
    Result<void> set_enabled(bool enabled) override {
        calls.emplace_back(enabled ? "register" : "unregister");
        requests.push_back(enabled);
        if (refusal) return Error{*refusal};
        if (enabled && awaiting) return Error{"already registered"};
        on = enabled;
        if (!enabled) awaiting = false;
        return {};
    }
    Result<void> open_approval() override {
        calls.emplace_back("open login items");
        if (open_failure) return Error{*open_failure};
        return {};
    }
};

class FakePermission final : public InputPermission {
  public:
    bool granted_now = true;
    int requests = 0;
    // Runs at every request, before it is counted (a test looks at the other ports here).
    std::function<void()> on_request;

    bool granted() override { return granted_now; }
    void request() override {
        if (on_request) on_request();
        ++requests;
    }
};

// Opens and starts nothing. `started` keeps both kinds of request in order ("open [target]",
// "sh -c [command] [argument 0]"); a set `failure` makes both fail with that text.
class FakeDesktop final : public Desktop {
  public:
    std::vector<std::string> started;
    std::vector<std::string> opened;
    std::vector<std::string> shells;
    std::optional<std::string> failure;
    std::string restart = "sleep 1; exec \"$0\"";
    std::optional<std::filesystem::path> bundle;
    std::optional<std::filesystem::path> executable;

    Result<void> open(const std::string& target) override {
        started.push_back("open [" + target + "]");
        opened.push_back(target);
        if (failure) return Error{*failure};
        return {};
    }
    Result<void> start_shell(const std::string& command, const std::string& argument0) override {
        started.push_back("sh -c [" + command + "] [" + argument0 + "]");
        shells.push_back(command);
        if (failure) return Error{*failure};
        return {};
    }
    // When set, a program started with `open_then` or `start_shell_then` ends at once with it.
    std::optional<int> exit_status;
    Result<void> open_then(const std::string& target, Ended ended) override {
        Result<void> result = open(target);
        if (result && exit_status && ended) ended(*exit_status);
        return result;
    }
    Result<void> start_shell_then(const std::string& command, const std::string& argument0,
                                  Ended ended) override {
        Result<void> shell = start_shell(command, argument0);
        if (shell && exit_status && ended) ended(*exit_status);
        return shell;
    }
    [[nodiscard]] std::string restart_command() const override { return restart; }
    [[nodiscard]] std::optional<std::filesystem::path> bundle_path() const override {
        return bundle;
    }
    [[nodiscard]] std::optional<std::filesystem::path> executable_path() const override {
        return executable;
    }
};

}  // namespace thumbrover::fakes
