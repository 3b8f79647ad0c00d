#include "macos/gamepad.hpp"

#import <CoreHaptics/CoreHaptics.h>
#import <Foundation/Foundation.h>
#import <GameController/GameController.h>

#include <map>

#include "macos/gamepad_elements.hpp"

namespace thumbrover {
namespace {

constexpr NSTimeInterval kRumbleSeconds = 0.15;

std::string error_text(NSError* error) {
    if (error == nil || error.localizedDescription == nil) return "unknown error";
    return error.localizedDescription.UTF8String;
}

GCControllerButtonInput* button_element(GCExtendedGamepad* pad, GamepadButton button) {
    switch (button) {
        case GamepadButton::A:
            return pad.buttonA;
        case GamepadButton::B:
            return pad.buttonB;
        case GamepadButton::X:
            return pad.buttonX;
        case GamepadButton::Y:
            return pad.buttonY;
        case GamepadButton::LeftShoulder:
            return pad.leftShoulder;
        case GamepadButton::RightShoulder:
            return pad.rightShoulder;
        case GamepadButton::Options:
            return pad.buttonOptions;
        case GamepadButton::Menu:
            return pad.buttonMenu;
        case GamepadButton::Home:
            return pad.buttonHome;
        case GamepadButton::LeftThumbstickButton:
            return pad.leftThumbstickButton;
        case GamepadButton::RightThumbstickButton:
            return pad.rightThumbstickButton;
    }
    return nil;
}

float axis_value(GCExtendedGamepad* pad, GamepadAxis axis) {
    switch (axis) {
        case GamepadAxis::LeftThumbstickX:
            return pad.leftThumbstick.xAxis.value;
        case GamepadAxis::LeftThumbstickY:
            return pad.leftThumbstick.yAxis.value;
        case GamepadAxis::RightThumbstickX:
            return pad.rightThumbstick.xAxis.value;
        case GamepadAxis::RightThumbstickY:
            return pad.rightThumbstick.yAxis.value;
        case GamepadAxis::LeftTrigger:
            return pad.leftTrigger.value;
        case GamepadAxis::RightTrigger:
            return pad.rightTrigger.value;
        case GamepadAxis::DpadX:
            return pad.dpad.xAxis.value;
        case GamepadAxis::DpadY:
            return pad.dpad.yAxis.value;
    }
    return 0.0f;
}

struct Known {
    GCController* controller = nil;
    CHHapticEngine* haptic_engine = nil;
    id<CHHapticPatternPlayer> haptic_player = nil;
};

}  // namespace

struct GameControllerGamepad::Impl {
    std::map<ControllerId, Known> known;
    ControllerId next_id = 1;

    GCController* find(ControllerId which) const {
        const auto it = known.find(which);
        return it == known.end() ? nil : it->second.controller;
    }
};

GameControllerGamepad::GameControllerGamepad() : impl_(std::make_unique<Impl>()) {}

GameControllerGamepad::~GameControllerGamepad() = default;

std::vector<ControllerId> GameControllerGamepad::controllers() {
    @autoreleasepool {
        std::vector<ControllerId> ids;
        std::map<ControllerId, Known> still_there;
        for (GCController* controller in GCController.controllers) {
            ControllerId found = 0;
            for (auto& [known_id, entry] : impl_->known) {
                if ([entry.controller isEqual:controller]) {
                    found = known_id;
                    still_there.emplace(known_id, std::move(entry));
                    break;
                }
            }
            if (found == 0) {
                found = impl_->next_id++;
                still_there.emplace(found, Known{controller, nil, nil});
            }
            ids.push_back(found);
        }
        impl_->known = std::move(still_there);
        return ids;
    }
}

bool GameControllerGamepad::has_extended_profile(ControllerId which) {
    GCController* controller = impl_->find(which);
    return controller != nil && controller.extendedGamepad != nil;
}

std::optional<ControllerSnapshot> GameControllerGamepad::read(ControllerId which) {
    GCExtendedGamepad* pad = impl_->find(which).extendedGamepad;
    if (pad == nil) return std::nullopt;
    const GamepadReader reader{
        [pad](GamepadButton button) -> std::optional<bool> {
            GCControllerButtonInput* element = button_element(pad, button);
            if (element == nil) return std::nullopt;
            return static_cast<bool>(element.isPressed);
        },
        [pad](GamepadAxis axis) { return axis_value(pad, axis); },
    };
    return read_snapshot(reader);
}

std::optional<std::string> GameControllerGamepad::vendor_name(ControllerId which) {
    NSString* name = impl_->find(which).vendorName;
    if (name == nil || name.length == 0) return std::nullopt;
    return std::string(name.UTF8String);
}

std::optional<float> GameControllerGamepad::battery_level(ControllerId which) {
    GCDeviceBattery* battery = impl_->find(which).battery;
    if (battery == nil) return std::nullopt;
    return battery.batteryLevel;
}

void GameControllerGamepad::disable_home_gesture(ControllerId which) {
    GCControllerButtonInput* home = impl_->find(which).extendedGamepad.buttonHome;
    if (home != nil)
        home.preferredSystemGestureState =
            static_cast<GCSystemGestureState>(kSystemGestureStateDisabled);
}

Result<void> GameControllerGamepad::rumble_once(ControllerId which) {
    @autoreleasepool {
        const auto it = impl_->known.find(which);
        if (it == impl_->known.end()) return Error{"controller has no haptics"};
        Known& entry = it->second;
        if (entry.haptic_engine == nil) {
            GCDeviceHaptics* haptics = entry.controller.haptics;
            if (haptics == nil) return Error{"controller has no haptics"};
            CHHapticEngine* engine = [haptics createEngineWithLocality:GCHapticsLocalityDefault];
            if (engine == nil) return Error{"could not create a haptic engine"};
            entry.haptic_engine = engine;
        }
        NSError* error = nil;
        if (![entry.haptic_engine startAndReturnError:&error]) return Error{error_text(error)};
        CHHapticEventParameter* intensity = [[CHHapticEventParameter alloc]
            initWithParameterID:CHHapticEventParameterIDHapticIntensity
                          value:1.0f];
        CHHapticEvent* event =
            [[CHHapticEvent alloc] initWithEventType:CHHapticEventTypeHapticContinuous
                                          parameters:@[ intensity ]
                                        relativeTime:0
                                            duration:kRumbleSeconds];
        CHHapticPattern* pattern = [[CHHapticPattern alloc] initWithEvents:@[ event ]
                                                                parameters:@[]
                                                                     error:&error];
        if (pattern == nil) return Error{error_text(error)};
        id<CHHapticPatternPlayer> player = [entry.haptic_engine createPlayerWithPattern:pattern
                                                                                  error:&error];
        if (player == nil) return Error{error_text(error)};
        if (![player startAtTime:CHHapticTimeImmediate error:&error])
            return Error{error_text(error)};
        entry.haptic_player = player;
        return {};
    }
}

void GameControllerGamepad::release(ControllerId which) {
    impl_->known.erase(which);
}

void monitor_controllers_in_background() {
    GCController.shouldMonitorBackgroundEvents = YES;
}

}  // namespace thumbrover
