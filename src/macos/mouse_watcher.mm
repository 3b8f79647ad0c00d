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

    // Guards what `stop` reads from another thread: the flag, the stop source and its run loop.
    std::mutex mutex;
    bool stopped = false;
    CfOwned<CFRunLoopSourceRef> stop_source;
    CfOwned<CFRunLoopRef> run_loop;
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
    // Destroyed by the owner once the watcher thread has ended: its run loop, not this thread's.
    if (impl_->run_loop) {
        if (impl_->source)
            CFRunLoopRemoveSource(impl_->run_loop.get(), impl_->source.get(),
                                  kCFRunLoopCommonModes);
        if (impl_->stop_source)
            CFRunLoopRemoveSource(impl_->run_loop.get(), impl_->stop_source.get(),
                                  kCFRunLoopCommonModes);
    }
}

void EventTapWatcher::stop() {
    const std::lock_guard lock(impl_->mutex);
    impl_->stopped = true;
    if (!impl_->stop_source) return;
    CFRunLoopSourceSignal(impl_->stop_source.get());
    CFRunLoopWakeUp(impl_->run_loop.get());
}

WatchStart EventTapWatcher::start() {
    {
        const std::lock_guard lock(impl_->mutex);
        if (impl_->stopped) return WatchStart::Failed;
        if (!impl_->stop_source) {
            // Its only work is to end the run loop's wait; the flag says why.
            CFRunLoopSourceContext context{};
            context.perform = [](void*) {};
            impl_->stop_source = CfOwned<CFRunLoopSourceRef>(
                CFRunLoopSourceCreate(kCFAllocatorDefault, 0, &context));
            if (!impl_->stop_source) return WatchStart::Failed;
            impl_->run_loop = CfOwned<CFRunLoopRef>(
                static_cast<CFRunLoopRef>(const_cast<void*>(CFRetain(CFRunLoopGetCurrent()))));
            CFRunLoopAddSource(impl_->run_loop.get(), impl_->stop_source.get(),
                               kCFRunLoopCommonModes);
        }
    }
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
    const auto stopped = [this] {
        const std::lock_guard lock(impl_->mutex);
        return impl_->stopped;
    };
    while (!impl_->pending) {
        if (stopped()) return std::nullopt;
        const CFRunLoopRunResult result =
            CFRunLoopRunInMode(kCFRunLoopDefaultMode, kLongWait, true);
        if (result == kCFRunLoopRunFinished || result == kCFRunLoopRunStopped) return std::nullopt;
    }
    if (stopped()) return std::nullopt;
    return std::exchange(impl_->pending, std::nullopt);
}

}  // namespace thumbrover
