#include "macos/cursor.hpp"

#import <AppKit/AppKit.h>
#import <CoreGraphics/CoreGraphics.h>

#include <dlfcn.h>

#include "core/common/diag.hpp"

namespace thumbrover {
namespace {

// NSWindowCollectionBehaviorCanJoinAllSpaces | Stationary | IgnoresCycle | FullScreenAuxiliary.
constexpr NSWindowCollectionBehavior kRingCollectionBehavior = 337;
constexpr NSWindowLevel kRingLevel = 1000;

// The window server's private calls, as the system's own programs use them: a connection is an
// int, and the property setter returns a CGError.
using DefaultConnection = int (*)();
using SetConnectionProperty = CGError (*)(int, int, CFStringRef, CFTypeRef);

template <typename Function>
Function look_up(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
}

bool allow_hiding_in_background() {
    const auto connection = look_up<DefaultConnection>("_CGSDefaultConnection");
    const auto set_property = look_up<SetConnectionProperty>("CGSSetConnectionProperty");
    if (connection == nullptr || set_property == nullptr) {
        diag("cannot hide the cursor while another program is in front: the window server "
             "offers no way to");
        return false;
    }
    const int own = connection();
    return set_property(own, own, CFSTR("SetsCursorInBackground"), kCFBooleanTrue) ==
           kCGErrorSuccess;
}

}  // namespace

void DisplayCursor::hide() {
    // Once per process, whatever the outcome: asking again would not change the answer.
    [[maybe_unused]] static const bool allowed = allow_hiding_in_background();
    CGDisplayHideCursor(CGMainDisplayID());
}

void DisplayCursor::show() {
    CGDisplayShowCursor(CGMainDisplayID());
}

bool make_ring_window(void* native_view) {
    NSView* view = (__bridge NSView*)native_view;
    NSWindow* window = view.window;
    if (window == nil) return false;
    window.styleMask = NSWindowStyleMaskBorderless;
    window.opaque = NO;
    window.backgroundColor = NSColor.clearColor;
    window.hasShadow = NO;
    window.ignoresMouseEvents = YES;
    window.level = kRingLevel;
    window.collectionBehavior = kRingCollectionBehavior;
    window.hidesOnDeactivate = NO;
    return true;
}

std::optional<RingWindowProperties> ring_window_properties(void* native_view) {
    NSView* view = (__bridge NSView*)native_view;
    NSWindow* window = view.window;
    if (window == nil) return std::nullopt;
    return RingWindowProperties{
        .hides_on_deactivate = window.hidesOnDeactivate == YES,
        .ignores_mouse = window.ignoresMouseEvents == YES,
        .opaque = window.opaque == YES,
        .visible = window.visible == YES,
        .level = static_cast<long>(window.level),
        .collection_behavior = static_cast<unsigned long>(window.collectionBehavior),
    };
}

}  // namespace thumbrover
