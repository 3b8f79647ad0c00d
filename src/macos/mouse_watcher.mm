#include "macos/mouse_watcher.hpp"

#import <CoreFoundation/CoreFoundation.h>
#import <CoreGraphics/CoreGraphics.h>

#include "macos/cf_owned.hpp"
#include "macos/event_sink.hpp"

namespace thumbrover {
namespace {

// Moves and the three drags: kCGEventMouseMoved (5), kCGEventLeftMouseDragged (6),
// kCGEventRightMouseDragged (7), kCGEventOtherMouseDragged (27).
constexpr CGEventMask kMotionMask = 0x80000E0;

// The run loop is woken by the tap; the limit only bounds one wait between its checks.
constexpr CFTimeInterval kLongWait = 1.0e10;

CGEventRef on_tap_event(CGEventTapProxy, CGEventType type, CGEventRef event, void* user_info);

}  // namespace

struct EventTapWatcher::Impl {
    CfOwned<CFMachPortRef> tap;
    CfOwned<CFRunLoopSourceRef> source;
    std::optional<MotionOrigin> pending;
};

namespace {

CGEventRef on_tap_event(CGEventTapProxy, CGEventType type, CGEventRef event, void* user_info) {
    auto& impl = *static_cast<EventTapWatcher::Impl*>(user_info);
    if (type == kCGEventTapDisabledByTimeout || type == kCGEventTapDisabledByUserInput) {
        if (impl.tap) CGEventTapEnable(impl.tap.get(), true);
        return event;
    }
    const bool own = CGEventGetIntegerValueField(event, kCGEventSourceUserData) == mac::kProgramTag;
    // Several events may arrive in one pass of the run loop; a real one among them must win.
    if (!own)
        impl.pending = MotionOrigin::Real;
    else if (!impl.pending)
        impl.pending = MotionOrigin::Own;
    return event;
}

}  // namespace

EventTapWatcher::EventTapWatcher() : impl_(std::make_unique<Impl>()) {}

EventTapWatcher::~EventTapWatcher() {
    if (impl_->tap) {
        CGEventTapEnable(impl_->tap.get(), false);
        CFMachPortInvalidate(impl_->tap.get());
    }
    if (impl_->source)
        CFRunLoopRemoveSource(CFRunLoopGetCurrent(), impl_->source.get(), kCFRunLoopCommonModes);
}

WatchStart EventTapWatcher::start() {
    CfOwned<CFMachPortRef> tap(CGEventTapCreate(kCGSessionEventTap, kCGHeadInsertEventTap,
                                                kCGEventTapOptionListenOnly, kMotionMask,
                                                on_tap_event, impl_.get()));
    if (!tap) return WatchStart::NotAllowedYet;
    CfOwned<CFRunLoopSourceRef> source(
        CFMachPortCreateRunLoopSource(kCFAllocatorDefault, tap.get(), 0));
    if (!source) {
        // A tap is enabled as it is made: none is left behind with the window server queueing
        // motion for it that nothing reads.
        CGEventTapEnable(tap.get(), false);
        CFMachPortInvalidate(tap.get());
        return WatchStart::Failed;
    }
    impl_->tap = std::move(tap);
    impl_->source = std::move(source);
    CFRunLoopAddSource(CFRunLoopGetCurrent(), impl_->source.get(), kCFRunLoopCommonModes);
    CGEventTapEnable(impl_->tap.get(), true);
    return WatchStart::Watching;
}

std::optional<MotionOrigin> EventTapWatcher::next_motion() {
    while (!impl_->pending) {
        const CFRunLoopRunResult result =
            CFRunLoopRunInMode(kCFRunLoopDefaultMode, kLongWait, true);
        if (result == kCFRunLoopRunFinished || result == kCFRunLoopRunStopped) return std::nullopt;
    }
    return std::exchange(impl_->pending, std::nullopt);
}

}  // namespace thumbrover
