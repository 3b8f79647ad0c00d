#include "core/app/linked_engine.hpp"

#include "core/engine/messages.hpp"

namespace thumbrover {

namespace {

void send(const std::function<const EngineLink*()>& engine_link, EngineMessage message) {
    if (const EngineLink* link = engine_link()) link->sender().send(std::move(message));
}

}  // namespace

void LinkedEngineRequests::send_toggle() {
    send(engine_link_, EngineMessage::input(InputEvent::toggle()));
}

void LinkedEngineRequests::send_quit() {
    send(engine_link_, EngineMessage::quit());
}

}  // namespace thumbrover
