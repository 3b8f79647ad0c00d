#pragma once

#include <memory>

#include "core/controller/link.hpp"

namespace thumbrover {

// The controller poll's messages as the engine receives them: `Connected`, and `Input` carrying
// `ButtonChange`, `AxisChange` or `ControllerGone`. A closed channel drops them.
class EngineControllerEvents final : public ControllerEvents {
  public:
    explicit EngineControllerEvents(EngineSender sender) : sender_(std::move(sender)) {}

    void connected(bool is_connected) override;
    void button_changed(std::uint8_t index, bool pressed) override;
    void axis_changed(std::uint8_t index, float value) override;
    void controller_gone() override;

  private:
    EngineSender sender_;
};

// The link the engine thread publishes at start: a clone of its sender and the receiving end of
// a new feedback channel, whose sending end the engine keeps for rumble requests.
[[nodiscard]] std::shared_ptr<ControllerLink> make_controller_link(EngineSender sender,
                                                                   FeedbackReceiver feedback);

}  // namespace thumbrover
