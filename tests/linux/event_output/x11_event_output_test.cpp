// gtest comes before Xlib, whose macros (None, Bool) clash with its names.
#include <gtest/gtest.h>

#include <X11/XF86keysym.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <memory>
#include <thread>
#include <vector>

#include "core/circle/circle.hpp"
#include "linux/event_output.hpp"
#include "linux/x_probe.hpp"

namespace thumbrover {
namespace {

using testing::button_event;
using testing::key_press;
using testing::key_release;
using testing::PointerPosition;
using testing::ProbeEvent;
using testing::XProbe;

OutputCommand command(CommandKind kind, std::uint8_t p1 = 0, std::uint8_t p2 = 0,
                      std::int32_t a = 0, std::int32_t b = 0) {
    return OutputCommand{kind, p1, p2, a, b};
}

class X11EventOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto created = X11EventOutput::create();
        ASSERT_TRUE(created.ok()) << created.error() << " (run under scripts/with-virtual-display)";
        output_ = std::move(created).value();
        probe_ = std::make_unique<XProbe>();
        probe_->warp_pointer(500, 400);
        probe_->settle(std::chrono::milliseconds(20));
        probe_->clear();
    }

    void perform(const OutputCommand& c) {
        const auto result = output_->perform(c);
        ASSERT_TRUE(result.ok()) << result.error();
    }

    std::unique_ptr<X11EventOutput> output_;
    std::unique_ptr<XProbe> probe_;
};

TEST_F(X11EventOutputTest, MoveShiftsThePointerByExactlyTheDelta) {
    const struct {
        int dx;
        int dy;
    } steps[] = {{1, 0}, {0, 1}, {25, -40}, {-300, 200}, {7, 7}};
    for (const auto& step : steps) {
        const PointerPosition start = probe_->pointer();
        perform(command(CommandKind::Move, 0, 0, step.dx, step.dy));
        const auto expected = std::make_pair(start.x + step.dx, start.y + step.dy);
        EXPECT_EQ(probe_->pointer_at(expected), expected) << step.dx << ", " << step.dy;
    }
}

// The X server applies no acceleration of its own to XTEST's relative motion, even at fast
// steering's pace (a move every 8 ms), so what the engine asks is what lands.
TEST_F(X11EventOutputTest, FastSteeringIsNotAccelerated) {
    for (const int step : {1, 4, 16, 32}) {
        probe_->warp_pointer(10, 400);
        probe_->settle(std::chrono::milliseconds(20));
        const PointerPosition start = probe_->pointer();
        for (int i = 0; i < 20; ++i) {
            perform(command(CommandKind::Move, 0, 0, step, 0));
            std::this_thread::sleep_for(std::chrono::milliseconds(8));
        }
        const auto expected = std::make_pair(start.x + 20 * step, start.y);
        EXPECT_EQ(probe_->pointer_at(expected), expected) << step << " pixels a move";
    }
}

TEST_F(X11EventOutputTest, MoveStopsAtTheScreenEdgeAndHugeStepsDoNotWrap) {
    Display* d = probe_->display();
    const int width = DisplayWidth(d, DefaultScreen(d));
    perform(command(CommandKind::Move, 0, 0, 100000, 0));
    EXPECT_EQ(probe_->pointer_at({width - 1, 400}), std::make_pair(width - 1, 400));
    perform(command(CommandKind::Move, 0, 0, std::numeric_limits<std::int32_t>::min(),
                    std::numeric_limits<std::int32_t>::min()));
    EXPECT_EQ(probe_->pointer_at({0, 0}), std::make_pair(0, 0));
}

TEST_F(X11EventOutputTest, ButtonDownMoveButtonUpIsADragWithTheButtonHeld) {
    perform(command(CommandKind::ButtonDown, 0));
    perform(command(CommandKind::Move, 0, 0, 30, 10));
    perform(command(CommandKind::Move, 0, 0, 30, 10));
    perform(command(CommandKind::ButtonUp, 0));

    const auto press = probe_->wait_for_next(button_event(ButtonPress, 1));
    ASSERT_TRUE(press);
    EXPECT_EQ(press->x_root, 500);
    const auto drag = probe_->wait_for_next(
        [](const ProbeEvent& e) { return e.type == MotionNotify && (e.state & Button1Mask); });
    ASSERT_TRUE(drag);
    const auto release = probe_->wait_for_next(button_event(ButtonRelease, 1));
    ASSERT_TRUE(release);
    EXPECT_EQ(release->x_root, 560);
    EXPECT_EQ(release->y_root, 420);
}

TEST_F(X11EventOutputTest, ClicksUseLeftRightAndMiddleButtonNumbers) {
    const struct {
        std::uint8_t engine_button;
        unsigned x_button;
    } cases[] = {{0, 1}, {1, 3}, {2, 2}};
    for (const auto& c : cases) {
        perform(command(CommandKind::Click, c.engine_button));
        EXPECT_TRUE(probe_->wait_for_next(button_event(ButtonPress, c.x_button))) << c.x_button;
        EXPECT_TRUE(probe_->wait_for_next(button_event(ButtonRelease, c.x_button))) << c.x_button;
    }
    EXPECT_FALSE(output_->perform(command(CommandKind::Click, 3)).ok());
}

TEST_F(X11EventOutputTest, AReleaseOfAButtonNotHeldPostsNothing) {
    perform(command(CommandKind::ButtonUp, 0));
    perform(command(CommandKind::Move, 0, 0, 1, 0));
    probe_->settle();
    for (const auto& e : probe_->events())
        EXPECT_NE(e.type, ButtonRelease);
}

TEST_F(X11EventOutputTest, ScrollBecomesWheelClicksInTheStickDirection) {
    const struct {
        std::int32_t vertical;
        std::int32_t horizontal;
        unsigned wheel_button;
    } cases[] = {{120, 0, 4}, {-120, 0, 5}, {0, -120, 6}, {0, 120, 7}};
    for (const auto& c : cases) {
        probe_->clear();
        perform(command(CommandKind::Scroll, 0, 0, c.vertical, c.horizontal));
        EXPECT_TRUE(probe_->wait_for_next(button_event(ButtonPress, c.wheel_button)))
            << c.wheel_button;
        EXPECT_TRUE(probe_->wait_for_next(button_event(ButtonRelease, c.wheel_button)))
            << c.wheel_button;
    }
    probe_->clear();
    perform(command(CommandKind::Scroll, 0, 0, 60, 0));
    probe_->settle();
    EXPECT_TRUE(probe_->events().empty());
    perform(command(CommandKind::Scroll, 0, 0, 60, 0));
    EXPECT_TRUE(probe_->wait_for_next(button_event(ButtonPress, 4)));
}

TEST_F(X11EventOutputTest, AShortcutArrivesWithItsModifierState) {
    constexpr std::uint8_t ctrl = 17;
    constexpr std::uint8_t shift = 18;
    constexpr std::uint8_t letter = 14;
    perform(command(CommandKind::KeyDown, ctrl));
    perform(command(CommandKind::KeyDown, shift));
    perform(command(CommandKind::KeyTap, letter, 'w'));
    perform(command(CommandKind::KeyUp, shift));
    perform(command(CommandKind::KeyUp, ctrl));
    perform(command(CommandKind::KeyTap, letter, 'w'));

    const auto with_modifiers = probe_->wait_for_next(key_press(XK_w));
    ASSERT_TRUE(with_modifiers);
    EXPECT_EQ(with_modifiers->state & (ControlMask | ShiftMask), ControlMask | ShiftMask);
    ASSERT_TRUE(probe_->wait_for_next(key_release(XK_Control_L)));
    const auto plain = probe_->wait_for_next(key_press(XK_w));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->state & (ControlMask | ShiftMask), 0u);
}

TEST_F(X11EventOutputTest, MediaKeysArriveAsTheirXF86Keysyms) {
    const struct {
        std::uint8_t kind;
        KeySym keysym;
    } cases[] = {
        {21, XF86XK_AudioPlay},        {22, XF86XK_AudioNext},        {23, XF86XK_AudioPrev},
        {24, XF86XK_AudioRaiseVolume}, {25, XF86XK_AudioLowerVolume}, {26, XF86XK_AudioMute},
    };
    for (const auto& c : cases) {
        perform(command(CommandKind::KeyTap, c.kind));
        EXPECT_TRUE(probe_->wait_for_next(key_press(c.keysym))) << c.keysym;
        EXPECT_TRUE(probe_->wait_for_next(key_release(c.keysym))) << c.keysym;
    }
}

TEST_F(X11EventOutputTest, SwitcherHoldsAltWhileTabIsTapped) {
    perform(command(CommandKind::HoldCommand, 1));
    perform(command(CommandKind::SwitcherTab));
    perform(command(CommandKind::SwitcherTab));
    perform(command(CommandKind::HoldCommand, 0));

    ASSERT_TRUE(probe_->wait_for_next(key_press(XK_Alt_L)));
    for (int i = 0; i < 2; ++i) {
        const auto tab = probe_->wait_for_next(key_press(XK_Tab));
        ASSERT_TRUE(tab);
        EXPECT_TRUE(tab->state & Mod1Mask);
    }
    EXPECT_TRUE(probe_->wait_for_next(key_release(XK_Alt_L)));
}

TEST_F(X11EventOutputTest, LauncherIsASuperTapThatKeepsAHeldSuperHeld) {
    perform(command(CommandKind::Launcher));
    ASSERT_TRUE(probe_->wait_for_next(key_press(XK_Super_L)));
    ASSERT_TRUE(probe_->wait_for_next(key_release(XK_Super_L)));

    constexpr std::uint8_t meta = 20;
    perform(command(CommandKind::KeyDown, meta));
    perform(command(CommandKind::Launcher));
    perform(command(CommandKind::KeyTap, 14, 'e'));
    ASSERT_TRUE(probe_->wait_for_next(key_press(XK_Super_L)));
    ASSERT_TRUE(probe_->wait_for_next(key_release(XK_Super_L)));
    ASSERT_TRUE(probe_->wait_for_next(key_press(XK_Super_L)));
    const auto e = probe_->wait_for_next(key_press(XK_e));
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->state & Mod4Mask);
    perform(command(CommandKind::KeyUp, meta));
    EXPECT_TRUE(probe_->wait_for_next(key_release(XK_Super_L)));
}

TEST_F(X11EventOutputTest, DestroyingTheOutputReleasesWhatItHolds) {
    perform(command(CommandKind::ButtonDown, 0));
    perform(command(CommandKind::KeyDown, 18));
    perform(command(CommandKind::KeyDown, 1));
    perform(command(CommandKind::HoldCommand, 1));
    output_.reset();

    EXPECT_TRUE(probe_->wait_for_next(key_release(XK_Down)));
    EXPECT_TRUE(probe_->wait_for_next(button_event(ButtonRelease, 1)));
    probe_->settle();
    bool shift_released = false;
    bool alt_released = false;
    for (const auto& e : probe_->events()) {
        shift_released |= key_release(XK_Shift_L)(e);
        alt_released |= key_release(XK_Alt_L)(e);
    }
    EXPECT_TRUE(shift_released);
    EXPECT_TRUE(alt_released);
    EXPECT_EQ(probe_->pointer().mask & (Button1Mask | ShiftMask | Mod1Mask), 0u);
}

// A run that was killed: it pressed through XTEST on a connection of its own and is gone.
void leave_held(const std::vector<unsigned>& buttons, const std::vector<KeySym>& keys) {
    const testing::XDisplayPtr run = testing::open_x_display();
    for (const unsigned b : buttons)
        XTestFakeButtonEvent(run.get(), b, True, CurrentTime);
    // A keysym the keymap lacks has no key to press (the run would have borrowed one).
    for (const KeySym k : keys)
        if (const KeyCode code = XKeysymToKeycode(run.get(), k); code != 0)
            XTestFakeKeyEvent(run.get(), code, True, CurrentTime);
    XSync(run.get(), False);
}

TEST_F(X11EventOutputTest, WhatAnEarlierRunLeftHeldIsLetGoOfAtTheNextStart) {
    const struct {
        const char* what;
        std::vector<unsigned> buttons;
        std::vector<KeySym> keys;
    } cases[] = {
        {"nothing", {}, {}},
        {"a dragging left button", {1}, {}},
        {"left and right buttons", {1, 3}, {}},
        {"a shortcut's modifiers and key", {}, {XK_Control_L, XK_Shift_L, XK_t}},
        {"the switcher's Alt", {}, {XK_Alt_L}},
        {"a volume key caught between press and release", {}, {XF86XK_AudioRaiseVolume}},
        {"everything at once", {1, 2, 3}, {XK_Super_L, XK_Alt_L, XK_Control_L, XK_a}},
    };
    Display* d = probe_->display();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        leave_held(c.buttons, c.keys);
        std::size_t keys = 0;
        for (const KeySym k : c.keys)
            keys += XKeysymToKeycode(d, k) != 0 ? 1 : 0;
        ASSERT_EQ(testing::held_down(d).empty(), c.buttons.empty() && keys == 0);
        auto next = X11EventOutput::create();
        ASSERT_TRUE(next.ok()) << next.error();
        EXPECT_EQ((*next)->release_left_held(), static_cast<int>(c.buttons.size() + keys));
        EXPECT_EQ(testing::held_down(d), "");
        EXPECT_EQ((*next)->release_left_held(), 0) << "nothing is left the second time";
    }
}

// A keysym the keymap does not bind, standing in for media keys on a keymap without them.
KeySym keysym_missing_from(Display* d) {
    for (const KeySym candidate : {XK_braille_dot_1, XK_Greek_alpha, XK_Hangul, XK_Thai_baht})
        if (XKeysymToKeycode(d, candidate) == 0) return candidate;
    return NoSymbol;
}

TEST_F(X11EventOutputTest, AKeysymMissingFromTheKeymapBorrowsASpareKeycodeUntilTheEnd) {
    Display* d = probe_->display();
    const KeySym missing = keysym_missing_from(d);
    ASSERT_NE(missing, static_cast<KeySym>(NoSymbol)) << "the test keymap binds every candidate";

    // Asked of the server each time: Xlib's cached keymap may lag behind the change.
    const auto keysym_at = [d](unsigned keycode) {
        int per_keycode = 0;
        KeySym* syms = XGetKeyboardMapping(d, static_cast<KeyCode>(keycode), 1, &per_keycode);
        const KeySym first = syms != nullptr && per_keycode > 0 ? syms[0] : NoSymbol;
        XFree(syms);
        return first;
    };
    const auto keycode = output_->keycode_for(static_cast<std::uint32_t>(missing));
    ASSERT_TRUE(keycode.ok()) << keycode.error();
    EXPECT_EQ(keysym_at(*keycode), missing);
    const auto again = output_->keycode_for(static_cast<std::uint32_t>(missing));
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(*again, *keycode);

    output_.reset();
    EXPECT_EQ(keysym_at(*keycode), static_cast<KeySym>(NoSymbol));
}

TEST_F(X11EventOutputTest, AnErrorLeftByAnEarlierMotionDoesNotFailABorrow) {
    Display* d = probe_->display();
    const KeySym missing = keysym_missing_from(d);
    ASSERT_NE(missing, static_cast<KeySym>(NoSymbol)) << "the test keymap binds every candidate";
    // A ring window that went away while the engine still had its id: moving it is an error
    // that arrives after the motion, unread.
    const Window gone = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 8, 8, 0, 0, 0);
    XDestroyWindow(d, gone);
    XSync(d, False);
    ring_target_cell().show(gone, 4.0);
    perform(command(CommandKind::Move, 0, 0, 1, 0));
    ring_target_cell().clear();
    probe_->settle(std::chrono::milliseconds(20));

    const auto keycode = output_->keycode_for(static_cast<std::uint32_t>(missing));
    EXPECT_TRUE(keycode.ok()) << keycode.error();
}

// The digit 1 key of a French keyboard once `apply` is called: "&" plain, "1" with Shift. The
// key's own mapping comes back when this goes, whatever the test's outcome.
class FrenchDigitOne {
  public:
    explicit FrenchDigitOne(Display* d) : d_(d), key_(XKeysymToKeycode(d, XK_1)) {
        if (key_ != 0) saved_ = XGetKeyboardMapping(d, key_, 1, &per_keycode_);
    }
    ~FrenchDigitOne() {
        if (saved_ == nullptr) return;
        XChangeKeyboardMapping(d_, key_, per_keycode_, saved_, 1);
        XFree(saved_);
        XSync(d_, False);
    }
    FrenchDigitOne(const FrenchDigitOne&) = delete;
    FrenchDigitOne& operator=(const FrenchDigitOne&) = delete;

    [[nodiscard]] bool ready() const { return saved_ != nullptr; }
    [[nodiscard]] KeyCode key() const { return key_; }
    void apply() {
        KeySym french[] = {XK_ampersand, XK_1};
        XChangeKeyboardMapping(d_, key_, 2, french, 1);
        XSync(d_, False);
    }

  private:
    Display* d_;
    KeyCode key_;
    int per_keycode_ = 0;
    KeySym* saved_ = nullptr;
};

TEST_F(X11EventOutputTest, ADigitOnTheShiftedLevelIsStruckWithShift) {
    FrenchDigitOne french(probe_->display());
    ASSERT_TRUE(french.ready());
    const KeyCode key = french.key();
    french.apply();
    probe_->settle(std::chrono::milliseconds(50));
    probe_->clear();

    perform(command(CommandKind::KeyTap, 15, 1));
    perform(command(CommandKind::KeyDown, 17));
    perform(command(CommandKind::KeyTap, 15, 1));
    perform(command(CommandKind::KeyUp, 17));

    ASSERT_TRUE(probe_->wait_for_next(key_press(XK_Shift_L)));
    const auto plain = probe_->wait_for_next(
        [key](const ProbeEvent& e) { return e.type == KeyPress && e.keycode == key; });
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->state & ShiftMask);
    ASSERT_TRUE(probe_->wait_for_next(key_release(XK_Shift_L)));
    const auto with_ctrl = probe_->wait_for_next(
        [key](const ProbeEvent& e) { return e.type == KeyPress && e.keycode == key; });
    ASSERT_TRUE(with_ctrl);
    EXPECT_EQ(with_ctrl->state & (ShiftMask | ControlMask), ControlMask);
}

TEST_F(X11EventOutputTest, ALayoutChangeWhileThePointerMovesReachesTheNextKey) {
    FrenchDigitOne french(probe_->display());
    ASSERT_TRUE(french.ready());
    const KeyCode key = french.key();
    // Looked up once on the plain level, then steering.
    perform(command(CommandKind::KeyTap, 15, 1));
    for (int i = 0; i < 3; ++i)
        perform(command(CommandKind::Move, 0, 0, 1, 0));
    french.apply();
    probe_->settle(std::chrono::milliseconds(50));
    perform(command(CommandKind::Move, 0, 0, 1, 0));
    probe_->clear();

    perform(command(CommandKind::KeyTap, 15, 1));
    const auto press = probe_->wait_for_next(
        [key](const ProbeEvent& e) { return e.type == KeyPress && e.keycode == key; });
    ASSERT_TRUE(press);
    EXPECT_TRUE(press->state & ShiftMask) << "the key was struck by the old layout";
}

TEST_F(X11EventOutputTest, CommandsThatAreNotInputEventsAreRefused) {
    for (const auto kind :
         {CommandKind::OnScreenKeyboard, CommandKind::MissionControl, CommandKind::SteeringCircle,
          CommandKind::SetEnabled, CommandKind::Rumble}) {
        const auto result = output_->perform(command(kind, 1));
        ASSERT_FALSE(result.ok()) << command_kind_name(kind);
        EXPECT_EQ(result.error(), "could not create an input event");
    }
    const auto unknown_key = output_->perform(command(CommandKind::KeyTap, 14, '!'));
    EXPECT_FALSE(unknown_key.ok());
}

}  // namespace
}  // namespace thumbrover
