#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/gamepad.hpp"

namespace thumbrover::fakes {

struct FakePad {
    bool extended = true;
    ControllerSnapshot state;
    std::optional<std::string> vendor;
    std::optional<float> battery;
    std::optional<std::string> rumble_error;
};

// Everything the poll asks of the platform, with a log of the calls that change something.
class FakeGamepad final : public GamepadApi {
  public:
    std::vector<ControllerId> order;
    std::map<ControllerId, FakePad> pads;
    std::vector<std::string> calls;
    int list_queries = 0;

    FakePad& plug(ControllerId id) {
        order.push_back(id);
        return pads[id];
    }
    void unplug(ControllerId id) {
        std::erase(order, id);
        pads.erase(id);
    }

    std::vector<ControllerId> controllers() override {
        ++list_queries;
        return order;
    }
    bool has_extended_profile(ControllerId id) override {
        return pads.contains(id) && pads[id].extended;
    }
    std::optional<ControllerSnapshot> read(ControllerId id) override {
        if (!has_extended_profile(id)) return std::nullopt;
        return pads[id].state;
    }
    std::optional<std::string> vendor_name(ControllerId id) override { return pads[id].vendor; }
    std::optional<float> battery_level(ControllerId id) override { return pads[id].battery; }
    void disable_home_gesture(ControllerId id) override {
        calls.push_back("home " + std::to_string(id));
    }
    Result<void> rumble_once(ControllerId id) override {
        calls.push_back("rumble " + std::to_string(id));
        if (pads[id].rumble_error) return Error{*pads[id].rumble_error};
        return {};
    }
    void release(ControllerId id) override { calls.push_back("release " + std::to_string(id)); }
    void quiet_sticks(bool quiet) override { calls.push_back(quiet ? "quiet" : "loud"); }
};

}  // namespace thumbrover::fakes
