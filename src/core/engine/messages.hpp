#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>

#include "core/engine/link.hpp"
#include "core/settings/config.hpp"

namespace thumbrover {

// Engine time: the duration since the engine loop started, on the monotonic clock.
using EngineTime = std::chrono::nanoseconds;

enum class InputKind : std::uint8_t {
    ButtonChange = 0,
    AxisChange = 1,
    MouseMoved = 2,
    ControllerGone = 3,
    Toggle = 4,
};

// Controller button numbers on the wire; the triggers and the d-pad arrive as axes.
inline constexpr std::uint8_t kXboxButtonNumber = 8;
inline constexpr std::uint8_t kWireButtonCount = 11;
// Axis numbers: 0..3 the sticks (x right, y down), 4 and 5 the triggers (0..1), 6 and 7 the
// d-pad (-1, 0, +1; y down).
inline constexpr std::uint8_t kAxisCount = 8;

struct InputEvent {
    InputKind kind = InputKind::ButtonChange;
    std::uint8_t index = 0;    // button number 0..10 or axis number 0..7
    std::uint8_t pressed = 0;  // ButtonChange: 1 down, 0 up
    float value = 0.0f;        // AxisChange: the new value

    [[nodiscard]] static InputEvent button(std::uint8_t number, bool down) {
        return {InputKind::ButtonChange, number, static_cast<std::uint8_t>(down ? 1 : 0), 0.0f};
    }
    [[nodiscard]] static InputEvent axis(std::uint8_t number, float value) {
        return {InputKind::AxisChange, number, 0, value};
    }
    [[nodiscard]] static InputEvent mouse_moved() { return {InputKind::MouseMoved, 0, 0, 0.0f}; }
    [[nodiscard]] static InputEvent controller_gone() {
        return {InputKind::ControllerGone, 0, 0, 0.0f};
    }
    [[nodiscard]] static InputEvent toggle() { return {InputKind::Toggle, 0, 0, 0.0f}; }

    friend bool operator==(const InputEvent&, const InputEvent&) = default;
};

struct ConnectedMessage {
    bool connected = false;
};

// A whole settings record. It travels boxed so that the channel's other messages stay small.
struct ConfigChangedMessage {
    std::unique_ptr<Config> config;
};

struct QuitMessage {};

// The application in front changed: its identity (the window class on Linux, the bundle
// identifier on macOS), empty when no application is in front or it cannot be told.
struct FrontAppMessage {
    std::string app_id;
};

// What other threads tell the engine; the alternatives are in their wire order.
struct EngineMessage {
    std::variant<InputEvent, ConnectedMessage, ConfigChangedMessage, QuitMessage, FrontAppMessage>
        payload;

    [[nodiscard]] static EngineMessage input(InputEvent event) { return {event}; }
    [[nodiscard]] static EngineMessage connected(bool value) { return {ConnectedMessage{value}}; }
    [[nodiscard]] static EngineMessage config_changed(Config config) {
        return {ConfigChangedMessage{std::make_unique<Config>(std::move(config))}};
    }
    [[nodiscard]] static EngineMessage quit() { return {QuitMessage{}}; }
    [[nodiscard]] static EngineMessage front_app(std::string app_id) {
        return {FrontAppMessage{std::move(app_id)}};
    }
};

}  // namespace thumbrover
