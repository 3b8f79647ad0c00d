#include "macos/event_poster.hpp"

#import <AppKit/AppKit.h>
#import <CoreGraphics/CoreGraphics.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <vector>

#include "macos/cf_owned.hpp"
#include "macos/event_output.hpp"
#include "macos/event_sink.hpp"
#include "macos/key_layout.hpp"

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

// The system-defined (media key) events, made with AppKit on the main thread before the engine
// starts, since AppKit makes no promise for NSEvent elsewhere; the engine posts copies.
struct MediaEvent {
    MacEvent description;
    CfOwned<CGEventRef> event;
};
std::atomic<const std::vector<MediaEvent>*> g_media_events{nullptr};

// The user's double-click interval as the main thread last read it: AppKit makes no promise for
// NSEvent on the engine thread. Until the first read, the system's default.
std::atomic<double> g_double_click_seconds{0.5};

void read_double_click_interval() {
    g_double_click_seconds.store(NSEvent.doubleClickInterval, std::memory_order_relaxed);
}

CfOwned<CGEventRef> make_system_defined(const MacEvent& event) {
    NSEvent* media =
        [NSEvent otherEventWithType:NSEventTypeSystemDefined
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
    // A copy of our own: the NSEvent's CGEvent lives only as long as the NSEvent.
    return CfOwned<CGEventRef>(CGEventCreateCopy(borrowed));
}

CfOwned<CGEventRef> copy_media_event(const MacEvent& wanted) {
    const std::vector<MediaEvent>* made = g_media_events.load(std::memory_order_acquire);
    if (made == nullptr) return {};
    for (const MediaEvent& media : *made) {
        if (media.description == wanted && media.event)
            return CfOwned<CGEventRef>(CGEventCreateCopy(media.event.get()));
    }
    return {};
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

    double double_click_interval_seconds() override {
        return g_double_click_seconds.load(std::memory_order_relaxed);
    }

    std::chrono::nanoseconds monotonic_now() override {
        return std::chrono::steady_clock::now().time_since_epoch();
    }

    std::shared_ptr<const LetterKeys> letter_keys() override { return current_letter_keys().get(); }

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
            case MacEventType::SystemDefined:
                return copy_media_event(event);
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
    // Declared first: the logic holds on to it.
    CoreGraphicsSink sink_;
    MacEventOutput logic_;
};

}  // namespace

void prepare_media_key_events() {
    if (g_media_events.load(std::memory_order_acquire) != nullptr) return;
    @autoreleasepool {
        // Made once and kept for the life of the process: the engine may post until its end.
        auto* made = new std::vector<MediaEvent>;
        for (const MacEvent& description : media_key_events())
            made->push_back(MediaEvent{description, make_system_defined(description)});
        g_media_events.store(made, std::memory_order_release);
    }
}

void follow_double_click_interval() {
    static NSTimer* timer = nil;
    if (timer != nil) return;
    read_double_click_interval();
    // The setting changes in System Settings, another process, with no notification that
    // reaches a program that is not in front; a read every few seconds is cheap and lets the
    // system coalesce its wake-ups.
    timer = [NSTimer timerWithTimeInterval:3.0
                                   repeats:YES
                                     block:^(NSTimer*) {
                                       read_double_click_interval();
                                     }];
    timer.tolerance = 1.5;
    [[NSRunLoop mainRunLoop] addTimer:timer forMode:NSRunLoopCommonModes];
}

Result<std::unique_ptr<EventOutput>> create_event_output() {
    CfOwned<CGEventSourceRef> source(CGEventSourceCreate(kCGEventSourceStateHIDSystemState));
    if (!source) return Error{"could not create an event source"};
    return std::unique_ptr<EventOutput>(
        std::make_unique<CoreGraphicsEventOutput>(std::move(source)));
}

}  // namespace thumbrover
