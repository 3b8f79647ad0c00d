#include "macos/event_poster.hpp"

#import <AppKit/AppKit.h>
#import <CoreGraphics/CoreGraphics.h>

#include <algorithm>
#include <chrono>

#include "macos/cf_owned.hpp"
#include "macos/event_output.hpp"
#include "macos/event_sink.hpp"

namespace thumbrover {
namespace {

bool is_mouse(MacEventType type) {
    switch (type) {
        case MacEventType::LeftMouseDown:
        case MacEventType::LeftMouseUp:
        case MacEventType::RightMouseDown:
        case MacEventType::RightMouseUp:
        case MacEventType::MouseMoved:
        case MacEventType::LeftMouseDragged:
        case MacEventType::RightMouseDragged:
        case MacEventType::OtherMouseDown:
        case MacEventType::OtherMouseUp:
        case MacEventType::OtherMouseDragged:
            return true;
        default:
            return false;
    }
}

class CoreGraphicsSink final : public MacEventSink {
  public:
    explicit CoreGraphicsSink(CfOwned<CGEventSourceRef> source) : source_(std::move(source)) {}

    bool post(const MacEvent& event) override {
        @autoreleasepool {
            CfOwned<CGEventRef> made = make(event);
            if (!made) return false;
            CGEventRef e = made.get();
            if (event.click_state)
                CGEventSetIntegerValueField(e, kCGMouseEventClickState, *event.click_state);
            if (event.delta) {
                CGEventSetIntegerValueField(e, kCGMouseEventDeltaX, event.delta->x);
                CGEventSetIntegerValueField(e, kCGMouseEventDeltaY, event.delta->y);
            }
            CGEventSetIntegerValueField(e, kCGEventSourceUserData, event.user_data);
            CGEventPost(kCGHIDEventTap, e);
            return true;
        }
    }

    MacPoint pointer_location() override {
        const CfOwned<CGEventRef> now(CGEventCreate(nullptr));
        if (!now) return {};
        const CGPoint p = CGEventGetLocation(now.get());
        return {p.x, p.y};
    }

    std::size_t active_displays(std::array<MacRect, mac::kMaxDisplays>& out) override {
        std::array<CGDirectDisplayID, mac::kMaxDisplays> ids{};
        std::uint32_t count = 0;
        // A failed query leaves the count at 0: moves then go unclamped.
        (void)CGGetActiveDisplayList(static_cast<std::uint32_t>(ids.size()), ids.data(), &count);
        const std::size_t n = std::min<std::size_t>(count, ids.size());
        for (std::size_t i = 0; i < n; ++i) {
            const CGRect r = CGDisplayBounds(ids[i]);
            out[i] = MacRect{r.origin.x, r.origin.y, r.size.width, r.size.height};
        }
        return n;
    }

    double double_click_interval_seconds() override { return NSEvent.doubleClickInterval; }

    std::chrono::nanoseconds monotonic_now() override {
        return std::chrono::steady_clock::now().time_since_epoch();
    }

  private:
    CfOwned<CGEventRef> make(const MacEvent& event) {
        CGEventSourceRef source = source_.get();
        if (is_mouse(event.type)) {
            return CfOwned<CGEventRef>(
                CGEventCreateMouseEvent(source, static_cast<CGEventType>(event.type),
                                        CGPointMake(event.location.x, event.location.y),
                                        static_cast<CGMouseButton>(event.mouse_button)));
        }
        switch (event.type) {
            case MacEventType::ScrollWheel:
                return CfOwned<CGEventRef>(CGEventCreateScrollWheelEvent2(
                    source, kCGScrollEventUnitPixel, 2, event.wheel1, event.wheel2, event.wheel3));
            case MacEventType::KeyDown:
            case MacEventType::KeyUp: {
                CfOwned<CGEventRef> key(CGEventCreateKeyboardEvent(
                    source, event.key_code, event.type == MacEventType::KeyDown));
                if (key) CGEventSetFlags(key.get(), static_cast<CGEventFlags>(event.flags));
                return key;
            }
            case MacEventType::FlagsChanged: {
                CfOwned<CGEventRef> change(
                    CGEventCreateKeyboardEvent(source, event.key_code, true));
                if (change) {
                    CGEventSetType(change.get(), kCGEventFlagsChanged);
                    CGEventSetFlags(change.get(), static_cast<CGEventFlags>(event.flags));
                }
                return change;
            }
            case MacEventType::SystemDefined: {
                NSEvent* media = [NSEvent
                    otherEventWithType:NSEventTypeSystemDefined
                              location:NSZeroPoint
                         modifierFlags:static_cast<NSEventModifierFlags>(event.modifier_flags)
                             timestamp:0
                          windowNumber:0
                               context:nil
                               subtype:event.subtype
                                 data1:static_cast<NSInteger>(event.data1)
                                 data2:static_cast<NSInteger>(event.data2)];
                CGEventRef borrowed = media.CGEvent;
                if (borrowed == nullptr) return {};
                // The NSEvent owns its CGEvent; keep it alive past the autorelease pool.
                return CfOwned<CGEventRef>(
                    static_cast<CGEventRef>(const_cast<void*>(CFRetain(borrowed))));
            }
            default:
                return {};
        }
    }

    CfOwned<CGEventSourceRef> source_;
};

class CoreGraphicsEventOutput final : public EventOutput {
  public:
    explicit CoreGraphicsEventOutput(CfOwned<CGEventSourceRef> source)
        : sink_(std::move(source)), logic_(sink_) {}

    Result<void> perform(const OutputCommand& command) override { return logic_.perform(command); }

  private:
    // Declared first: the logic reads the double-click interval from the sink as it is made.
    CoreGraphicsSink sink_;
    MacEventOutput logic_;
};

}  // namespace

Result<std::unique_ptr<EventOutput>> create_event_output() {
    CfOwned<CGEventSourceRef> source(CGEventSourceCreate(kCGEventSourceStateHIDSystemState));
    if (!source) return Error{"could not create an event source"};
    return std::unique_ptr<EventOutput>(
        std::make_unique<CoreGraphicsEventOutput>(std::move(source)));
}

}  // namespace thumbrover
