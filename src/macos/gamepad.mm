#include "macos/gamepad.hpp"

#import <CoreHaptics/CoreHaptics.h>
#import <Foundation/Foundation.h>
#import <GameController/GameController.h>

#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "macos/gamepad_elements.hpp"
#include "macos/news_relay.hpp"
#include "macos/text.hpp"

namespace thumbrover {
namespace {

constexpr NSTimeInterval kRumbleSeconds = 0.15;

std::string error_text(NSError* error) {
    if (error == nil || error.localizedDescription == nil) return "unknown error";
    return utf8_text(error.localizedDescription.UTF8String, "unknown error");
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

void on_main_thread(dispatch_block_t block) {
    if (NSThread.isMainThread) {
        block();
    } else {
        dispatch_async(dispatch_get_main_queue(), block);
    }
}

// The controllers as the main thread last saw them, and the value-changed handlers on them. Shared
// with the connection observers, which may still be queued on the main thread when the gamepad
// ends.
class Roster {
  public:
    explicit Roster(std::shared_ptr<NewsRelay> relay)
        : relay_(std::move(relay)),
          handler_queue_(
              dispatch_queue_create("app.thumbrover.controller-input",
                                    dispatch_queue_attr_make_with_qos_class(
                                        DISPATCH_QUEUE_SERIAL, QOS_CLASS_USER_INTERACTIVE, 0))) {}

    [[nodiscard]] NSArray<GCController*>* listed() {
        std::lock_guard lock(mutex_);
        return listed_;
    }

    // Main thread. The framework's list may not yet (or no longer) hold the controller a
    // notification is about; the notification is the one to believe.
    void update(GCController* arrived, GCController* left) {
        NSMutableArray<GCController*>* now = [GCController.controllers mutableCopy];
        if (left != nil) [now removeObject:left];
        if (arrived != nil && ![now containsObject:arrived]) [now addObject:arrived];
        NSArray<GCController*>* before = nil;
        {
            std::lock_guard lock(mutex_);
            if (ended_) return;
            before = listed_;
            listed_ = [now copy];
        }
        for (GCController* controller in before) {
            if (![now containsObject:controller]) stop_listening(controller);
        }
        for (GCController* controller in now) {
            if (![before containsObject:controller]) listen(controller);
        }
    }

    // Main thread. Takes every handler off, for good.
    void end() {
        NSArray<GCController*>* before = nil;
        {
            std::lock_guard lock(mutex_);
            ended_ = true;
            before = std::exchange(listed_, @[]);
        }
        for (GCController* controller in before)
            stop_listening(controller);
    }

    void announce(ControllerNews news) { relay_->announce(news); }

  private:
    void listen(GCController* controller) {
        GCExtendedGamepad* pad = controller.extendedGamepad;
        if (pad == nil) return;
        controller.handlerQueue = handler_queue_;
        const std::shared_ptr<NewsRelay> relay = relay_;
        pad.valueChangedHandler = ^(GCExtendedGamepad* changed, GCControllerElement* element) {
          relay->announce_report(is_stick(changed, element));
        };
    }

    // Whether the element the handler names is one of the sticks (the pad, or one of its axes).
    static bool is_stick(GCExtendedGamepad* pad, GCControllerElement* element) {
        GCControllerDirectionPad* left = pad.leftThumbstick;
        GCControllerDirectionPad* right = pad.rightThumbstick;
        return element == left || element == left.xAxis || element == left.yAxis ||
               element == right || element == right.xAxis || element == right.yAxis;
    }

    static void stop_listening(GCController* controller) {
        controller.extendedGamepad.valueChangedHandler = nil;
    }

    std::shared_ptr<NewsRelay> relay_;
    // A queue of our own, so that news of a moving stick never waits for a busy main thread.
    dispatch_queue_t handler_queue_;
    std::mutex mutex_;
    NSArray<GCController*>* listed_ = @[];
    bool ended_ = false;
};

}  // namespace

struct GameControllerGamepad::Impl {
    std::map<ControllerId, Known> known;
    ControllerId next_id = 1;
    // Set once `watch` was called.
    std::shared_ptr<NewsRelay> relay;
    std::shared_ptr<Roster> roster;
    std::vector<id> observers;

    GCController* find(ControllerId which) const {
        const auto it = known.find(which);
        return it == known.end() ? nil : it->second.controller;
    }
};

GameControllerGamepad::GameControllerGamepad() : impl_(std::make_unique<Impl>()) {}

GameControllerGamepad::~GameControllerGamepad() {
    if (!impl_->roster) return;
    for (id observer : impl_->observers)
        [NSNotificationCenter.defaultCenter removeObserver:observer];
    impl_->relay->stop();
    const std::shared_ptr<Roster> roster = impl_->roster;
    on_main_thread(^{
      roster->end();
    });
}

bool GameControllerGamepad::watch(std::function<void(ControllerNews)> news) {
    if (impl_->roster) return true;
    impl_->relay = std::make_shared<NewsRelay>(std::move(news));
    impl_->roster = std::make_shared<Roster>(impl_->relay);
    const std::shared_ptr<Roster> roster = impl_->roster;
    NSNotificationCenter* center = NSNotificationCenter.defaultCenter;
    NSOperationQueue* main = NSOperationQueue.mainQueue;
    impl_->observers.push_back([center addObserverForName:GCControllerDidConnectNotification
                                                   object:nil
                                                    queue:main
                                               usingBlock:^(NSNotification* note) {
                                                 roster->update(note.object, nil);
                                                 roster->announce(ControllerNews::Devices);
                                               }]);
    impl_->observers.push_back([center addObserverForName:GCControllerDidDisconnectNotification
                                                   object:nil
                                                    queue:main
                                               usingBlock:^(NSNotification* note) {
                                                 roster->update(nil, note.object);
                                                 roster->announce(ControllerNews::Devices);
                                               }]);
    on_main_thread(^{
      roster->update(nil, nil);
      roster->announce(ControllerNews::Devices);
    });
    return true;
}

std::vector<ControllerId> GameControllerGamepad::controllers() {
    @autoreleasepool {
        std::vector<ControllerId> ids;
        std::map<ControllerId, Known> still_there;
        NSArray<GCController*>* listed =
            impl_->roster ? impl_->roster->listed() : GCController.controllers;
        for (GCController* controller in listed) {
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
    @autoreleasepool {
        GCController* controller = impl_->find(which);
        return controller != nil && controller.extendedGamepad != nil;
    }
}

std::optional<ControllerSnapshot> GameControllerGamepad::read(ControllerId which) {
    // The reader's thread has no run loop to drain autoreleased objects, so every call drains its
    // own.
    @autoreleasepool {
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
}

std::optional<std::string> GameControllerGamepad::vendor_name(ControllerId which) {
    @autoreleasepool {
        NSString* name = impl_->find(which).vendorName;
        if (name == nil || name.length == 0) return std::nullopt;
        const char* text = name.UTF8String;
        if (text == nullptr) return std::nullopt;
        return std::string(text);
    }
}

std::optional<float> GameControllerGamepad::battery_level(ControllerId which) {
    @autoreleasepool {
        GCDeviceBattery* battery = impl_->find(which).battery;
        if (battery == nil) return std::nullopt;
        return battery.batteryLevel;
    }
}

void GameControllerGamepad::disable_home_gesture(ControllerId which) {
    @autoreleasepool {
        GCControllerButtonInput* home = impl_->find(which).extendedGamepad.buttonHome;
        if (home == nil) return;
        on_main_thread(^{
          home.preferredSystemGestureState =
              static_cast<GCSystemGestureState>(kSystemGestureStateDisabled);
        });
    }
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

void GameControllerGamepad::quiet_sticks(bool quiet) {
    if (impl_->relay) impl_->relay->set_quiet_sticks(quiet);
}

void GameControllerGamepad::release(ControllerId which) {
    // Its handler was taken off on the main thread when it disconnected, before it left the list.
    impl_->known.erase(which);
}

void monitor_controllers_in_background() {
    GCController.shouldMonitorBackgroundEvents = YES;
}

}  // namespace thumbrover
