#include "core/controller/engine_events.hpp"

#include <utility>

#include "core/engine/messages.hpp"

namespace thumbrover {

void EngineControllerEvents::connected(bool is_connected) {
    sender_.send(EngineMessage::connected(is_connected));
}

void EngineControllerEvents::button_changed(std::uint8_t index, bool pressed) {
    sender_.send(EngineMessage::input(InputEvent::button(index, pressed)));
}

void EngineControllerEvents::axis_changed(std::uint8_t index, float value) {
    sender_.send(EngineMessage::input(InputEvent::axis(index, value)));
}

void EngineControllerEvents::controller_gone() {
    sender_.send(EngineMessage::input(InputEvent::controller_gone()));
}

std::shared_ptr<ControllerLink> make_controller_link(EngineSender sender,
                                                     FeedbackReceiver feedback) {
    return std::make_shared<ControllerLink>(
        std::make_unique<EngineControllerEvents>(std::move(sender)), std::move(feedback));
}

}  // namespace thumbrover
