#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace thumbrover {

class LetterKeys;

// Values from CoreGraphics and AppKit, spelled out so that the decisions about them are made
// (and tested) without those headers.
namespace mac {
// kCGEventSourceUserData of every posted event: "corv" read as a big-endian 32-bit number, so the
// real-mouse watcher can tell the program's events from the user's.
inline constexpr std::int64_t kProgramTag = 0x636F7276;
// kCGEventFlagMaskNonCoalesced, present on every keyboard event a real keyboard makes.
inline constexpr std::uint64_t kBaseFlags = 0x100;
// The Command mask the app switcher holds: device-independent Command | left Command.
inline constexpr std::uint64_t kCommandMask = 0x100000 | 0x8;
inline constexpr std::size_t kMaxDisplays = 16;
inline constexpr double kDoubleClickSlop = 4.0;
inline constexpr std::int32_t kScrollUnitsPerPixel = 3;
// System-defined media key events: NX_SUBTYPE_AUX_CONTROL_BUTTONS and the key-state words.
inline constexpr std::int16_t kMediaSubtype = 8;
inline constexpr std::uint64_t kMediaKeyDown = 0xA00;
inline constexpr std::uint64_t kMediaKeyUp = 0xB00;
}  // namespace mac

// CGEventType numbers (SystemDefined is NSEventTypeSystemDefined, which its CGEvent keeps).
enum class MacEventType : std::uint32_t {
    LeftMouseDown = 1,
    LeftMouseUp = 2,
    RightMouseDown = 3,
    RightMouseUp = 4,
    MouseMoved = 5,
    LeftMouseDragged = 6,
    RightMouseDragged = 7,
    KeyDown = 10,
    KeyUp = 11,
    FlagsChanged = 12,
    SystemDefined = 14,
    ScrollWheel = 22,
    OtherMouseDown = 25,
    OtherMouseUp = 26,
    OtherMouseDragged = 27,
};

struct MacPoint {
    double x = 0;
    double y = 0;
    friend bool operator==(const MacPoint&, const MacPoint&) = default;
};

// A display's bounds in global points, origin at the top-left of the main display.
struct MacRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

// One event, fully described; which fields apply depends on `type`:
// - mouse types (1-7, 25-27): CGEventCreateMouseEvent(source, type, location, mouse_button), then
//   kCGMouseEventClickState (field 1) when `click_state` is set and kCGMouseEventDeltaX/Y (fields
//   4, 5) when `delta` is set;
// - ScrollWheel: CGEventCreateScrollWheelEvent2(source, kCGScrollEventUnitPixel, 2, wheel1,
//   wheel2, wheel3);
// - KeyDown, KeyUp: CGEventCreateKeyboardEvent(source, key_code, type == KeyDown), then
//   CGEventSetFlags(flags);
// - FlagsChanged: CGEventCreateKeyboardEvent(source, key_code, true), CGEventSetType(12), then
//   CGEventSetFlags(flags);
// - SystemDefined: NSEvent otherEventWithType:14 location:(0,0) modifierFlags:modifier_flags
//   timestamp:0 windowNumber:0 context:nil subtype:subtype data1:data1 data2:data2, and its
//   CGEvent. AppKit makes no promise for NSEvent off the main thread, so the adapter makes every
//   one of `media_key_events()` there ahead of time and posts a copy of the matching one.
// In every case kCGEventSourceUserData (field 42) is set to `user_data` last, just before posting.
struct MacEvent {
    MacEventType type = MacEventType::MouseMoved;
    MacPoint location{};
    std::uint32_t mouse_button = 0;
    std::optional<std::int64_t> click_state;
    struct Delta {
        std::int64_t x = 0;
        std::int64_t y = 0;
        friend bool operator==(const Delta&, const Delta&) = default;
    };
    std::optional<Delta> delta;
    std::int32_t wheel1 = 0;
    std::int32_t wheel2 = 0;
    std::int32_t wheel3 = 0;
    std::uint16_t key_code = 0;
    std::uint64_t flags = 0;
    std::uint64_t modifier_flags = 0;
    std::int16_t subtype = 0;
    std::int64_t data1 = 0;
    std::int64_t data2 = 0;
    std::int64_t user_data = mac::kProgramTag;

    friend bool operator==(const MacEvent&, const MacEvent&) = default;
};

// The event as one readable line (type and the fields that apply), for tests and tracing.
[[nodiscard]] std::string describe(const MacEvent& event);

// What the event-synthesis logic needs from macOS; the macOS adapter implements it with
// CoreGraphics and AppKit calls. Used from the engine thread only.
class MacEventSink {
  public:
    virtual ~MacEventSink() = default;

    // Creates the described event from the program's event source, sets its fields, posts it to
    // the HID event tap and releases it. False when the event could not be created (nothing was
    // posted then); posting itself cannot fail.
    [[nodiscard]] virtual bool post(const MacEvent& event) = 0;

    // The pointer's current location in global points, origin at the top-left of the main display.
    [[nodiscard]] virtual MacPoint pointer_location() = 0;

    // Fills `out` with the bounds of the active displays, in the system's order, and returns how
    // many there are (0 when the list cannot be read). Never more than kMaxDisplays.
    [[nodiscard]] virtual std::size_t active_displays(
        std::array<MacRect, mac::kMaxDisplays>& out) = 0;

    // The user's double-click interval in seconds, as it is now; asked at each press.
    [[nodiscard]] virtual double double_click_interval_seconds() = 0;

    // A monotonic clock: only differences between two readings matter.
    [[nodiscard]] virtual std::chrono::nanoseconds monotonic_now() = 0;

    // Where the letters are on the keyboard layout selected now; none: the US positions.
    [[nodiscard]] virtual std::shared_ptr<const LetterKeys> letter_keys() { return nullptr; }
};

// Every system-defined event the output can post: each media key, pressed and released.
[[nodiscard]] std::vector<MacEvent> media_key_events();

}  // namespace thumbrover
