#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/bindings/keys.hpp"
#include "core/common/result.hpp"
#include "core/output/command.hpp"
#include "linux/modifier_holds.hpp"
#include "linux/x11_display.hpp"
#include "platform/event_output.hpp"

// XCB's connection stays opaque here, as Xlib's display does.
struct xcb_connection_t;

namespace thumbrover {

// ---- Decisions that need no X server (kept apart so that they are tested on their own) ----

// The X keysym a key stands for, or none for a parameter outside the vocabulary. Command is the
// Super key; the media keys are the XF86Audio keysyms desktops bind to their players and mixers.
[[nodiscard]] std::optional<std::uint32_t> keysym_for_key(const Key& key);

// The X pointer button for the engine's mouse button (0 left, 1 right, 2 middle).
[[nodiscard]] std::optional<unsigned> x_button_for(std::uint8_t button);

// Wheel clicks owed for a scroll, by direction; at most one of each pair is non-zero.
struct WheelClicks {
    int up = 0;
    int down = 0;
    int left = 0;
    int right = 0;
    friend bool operator==(const WheelClicks&, const WheelClicks&) = default;
};

// Turns the engine's scroll units (positive vertical is up, positive horizontal is right) into
// wheel clicks of 120 units each, carrying what is left over to the next scroll so that slow
// scrolling still clicks now and then instead of never.
class ScrollCarry {
  public:
    static constexpr std::int64_t kUnitsPerClick = 120;
    // Bounds one command's burst: a corrupt or enormous amount must not flood the server with
    // millions of clicks. The excess is dropped, not carried.
    static constexpr int kMaxClicksPerScroll = 64;

    [[nodiscard]] WheelClicks add(std::int32_t vertical, std::int32_t horizontal);
    [[nodiscard]] std::int64_t vertical_carry() const { return vertical_; }
    [[nodiscard]] std::int64_t horizontal_carry() const { return horizontal_; }

  private:
    std::int64_t vertical_ = 0;
    std::int64_t horizontal_ = 0;
};

// Whether a key must be struck with Shift to give its keysym: when the keymap has the keysym only
// on the shifted level of its key (the digits of a French keyboard) and no modifier is held. With a
// modifier held the key goes as it is, since shortcuts such as Ctrl+1 are matched by key there.
[[nodiscard]] bool shift_needed(std::uint32_t keysym, std::uint32_t plain_level,
                                std::uint32_t shifted_level, bool modifier_held);

// ---- The X backend ----

// Posts the engine's input commands (kinds 0..10) into the X server through XTEST, so that every
// event comes from the server's "XTEST" devices (which is how the mouse watcher knows them). Used
// from the engine thread only.
//
// Unlike the window server of macOS, the X server keeps a key or button pressed through XTEST
// down after the client that pressed it has gone, for the rest of the session. So destroying the
// output releases whatever it still holds; after an engine that paired every press with its
// release, that is nothing, and nothing is posted.
// Where the pointer is, followed through the relative motions the output posts, so that the
// steering ring can be moved along with it without asking the server each time. It is asked
// afresh when unknown, for every new showing of the ring, after a motion the screen's edge may
// have cut short, and once a second in case something else moved the pointer meanwhile.
class PointerTrack {
  public:
    static constexpr std::chrono::seconds kRelearn{1};

    struct Point {
        int x = 0;
        int y = 0;
        friend bool operator==(const Point&, const Point&) = default;
    };

    // The position after a motion of (dx, dy) on a screen of width by height, or none when it
    // has to be asked.
    [[nodiscard]] std::optional<Point> after(int dx, int dy, int width, int height,
                                             std::uint64_t showing, std::chrono::nanoseconds now);
    void learnt(Point at, std::uint64_t showing, std::chrono::nanoseconds now);
    void forget() { known_.reset(); }

  private:
    std::optional<Point> known_;
    std::uint64_t showing_ = 0;
    std::chrono::nanoseconds learnt_at_{0};
};

class X11EventOutput final : public EventOutput {
  public:
    // Fails with "the X display has no XTEST extension" or the display's own error.
    [[nodiscard]] static Result<std::unique_ptr<X11EventOutput>> create();

    X11EventOutput(const X11EventOutput&) = delete;
    X11EventOutput& operator=(const X11EventOutput&) = delete;
    ~X11EventOutput() override;

    // Fails with "could not create an input event" for a command the server cannot be given (an
    // unknown key, a full keymap, a command kind that is not an input event).
    [[nodiscard]] Result<void> perform(const OutputCommand& command) override;

    // Lets go of every key, modifier and button this output holds.
    void release_all();

    // Lets go of every key and button still down on the XTEST devices this output posts through.
    // A run that was killed or crashed leaves what it held down for the rest of the session; the
    // next run calls this at its start. Returns how many it let go of.
    int release_left_held();

    // The keycode that produces the keysym, giving a spare keycode that keysym when the keymap
    // has none. Exposed for the tests of keymaps without media keys.
    [[nodiscard]] Result<unsigned> keycode_for(std::uint32_t keysym);

  private:
    explicit X11EventOutput(X11Display display);

    [[nodiscard]] Result<void> move(std::int32_t dx, std::int32_t dy);
    [[nodiscard]] Result<void> scroll(std::int32_t vertical, std::int32_t horizontal);
    [[nodiscard]] Result<void> button(std::uint8_t button, bool down);
    [[nodiscard]] Result<void> key(std::uint8_t kind, std::uint8_t parameter, bool down);
    [[nodiscard]] Result<void> key(const Key& key, bool down);
    [[nodiscard]] Result<void> tap_keysym(std::uint32_t keysym);
    [[nodiscard]] Result<void> launcher();
    [[nodiscard]] Result<void> send_key(unsigned keycode, bool down);
    [[nodiscard]] Result<void> apply_modifiers();
    void drain_events();
    // Moves the steering ring, when it shows, to where the motion just took the pointer.
    void follow_ring(int dx, int dy);
    // Sends what is pending, then reads and handles what the server sent.
    void flush_and_read();
    // Sends a motion (and the ring's move) without reading what the server sent meanwhile.
    void flush_motion();
    // Reads what arrived during motion-only flushes (a keymap change, an error), before a command
    // that depends on it.
    void catch_up();

    X11Display display_;
    // The same connection's XCB side, which the motion and the ring's move are sent through: its
    // flush only writes, where Xlib's also reads the socket (twice, finding nothing, on every
    // tick while steering).
    xcb_connection_t* xcb_ = nullptr;
    // Motions flushed since the socket was last read. It is read at least this often, so that
    // errors and keymap news never pile up unread.
    static constexpr unsigned kMotionsPerRead = 125;
    unsigned motions_unread_ = 0;
    PointerTrack track_;
    ScrollCarry scroll_;
    ModifierHolds modifiers_;
    std::array<bool, kModifierCount> modifier_down_{};  // what the server was last told
    std::array<bool, 3> button_down_{};                 // X buttons 1..3
    std::vector<unsigned> keys_down_;                   // other keys held by KeyDown, by keycode
    struct Stroke {
        unsigned keycode = 0;
        std::uint32_t plain_level = 0;    // keysym of the key without Shift
        std::uint32_t shifted_level = 0;  // and with it
    };
    [[nodiscard]] Result<Stroke> stroke_for(std::uint32_t keysym);
    std::unordered_map<std::uint32_t, Stroke> strokes_;
    std::vector<unsigned>
        borrowed_keycodes_;  // spare keycodes we gave a keysym, given back at the end
};

}  // namespace thumbrover
