// gtest comes before Xlib, whose macros (None, Bool) clash with its names.
#include <gtest/gtest.h>

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include <cstdint>
#include <limits>

#include "linux/event_output.hpp"

namespace thumbrover {
namespace {

struct KeyCase {
    std::uint8_t kind;
    std::uint8_t parameter;
    std::optional<std::uint32_t> keysym;
};

TEST(KeysymForKey, MapsTheVocabularyAndRefusesWhatIsOutsideIt) {
    const KeyCase cases[] = {
        {0, 0, XK_Up},
        {3, 0, XK_Right},
        {4, 0, XK_Escape},
        {6, 0, XK_Return},
        {8, 0, XK_BackSpace},
        {9, 0, XK_Delete},
        {12, 0, XK_Page_Up},
        {13, 0, XK_Page_Down},
        {14, 'a', XK_a},
        {14, 'z', XK_z},
        {14, 'A', std::nullopt},
        {14, '{', std::nullopt},
        {15, 0, XK_0},
        {15, 9, XK_9},
        {15, 10, std::nullopt},
        {15, '1', std::nullopt},
        {16, 1, XK_F1},
        {16, 12, XK_F12},
        {16, 0, std::nullopt},
        {16, 13, XK_F13},
        {16, 24, XK_F24},
        {16, 25, std::nullopt},
        {17, 0, XK_Control_L},
        {18, 0, XK_Shift_L},
        {19, 0, XK_Alt_L},
        {20, 0, XK_Super_L},
        {21, 0, XF86XK_AudioPlay},
        {22, 0, XF86XK_AudioNext},
        {23, 0, XF86XK_AudioPrev},
        {24, 0, XF86XK_AudioRaiseVolume},
        {25, 0, XF86XK_AudioLowerVolume},
        {26, 0, XF86XK_AudioMute},
        {27, 0, XK_Insert},
        {31, 0, std::nullopt},
        {255, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto key = key_from_bytes(c.kind, c.parameter);
        EXPECT_EQ(key ? keysym_for_key(*key) : std::nullopt, c.keysym)
            << "kind " << int{c.kind} << " parameter " << int{c.parameter};
    }
}

TEST(ModifierHolds, OnlyCtrlShiftAltAndMetaTakeASlot) {
    const std::pair<KeyKind, ModifierHolds::Pressed> modifiers[] = {
        {KeyKind::Ctrl, {true, false, false, false}},
        {KeyKind::Shift, {false, true, false, false}},
        {KeyKind::Alt, {false, false, true, false}},
        {KeyKind::Meta, {false, false, false, true}},
    };
    for (std::uint8_t kind = 0; kind < kKeyKindCount; ++kind) {
        ModifierHolds holds;
        holds.hold(static_cast<KeyKind>(kind));
        ModifierHolds::Pressed expected{};
        for (const auto& [modifier, pressed] : modifiers)
            if (modifier == static_cast<KeyKind>(kind)) expected = pressed;
        EXPECT_EQ(holds.pressed(), expected) << int{kind};
    }
}

TEST(ShiftNeeded, OnlyForAKeysymOnTheShiftedLevelStruckWithoutModifiers) {
    const struct {
        std::uint32_t keysym;
        std::uint32_t plain;
        std::uint32_t shifted;
        bool modifier_held;
        bool needed;
    } cases[] = {
        {XK_1, XK_1, XK_exclam, false, false},                 // US digits
        {XK_1, XK_ampersand, XK_1, false, true},               // French digits
        {XK_1, XK_ampersand, XK_1, true, false},               // Ctrl+1 there goes by key
        {XK_a, XK_a, XK_A, false, false},                      // letters
        {XK_a, XK_Cyrillic_ef, XK_Cyrillic_EF, false, false},  // found in another group
        {XF86XK_AudioPlay, XF86XK_AudioPlay, 0, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shift_needed(c.keysym, c.plain, c.shifted, c.modifier_held), c.needed)
            << c.keysym << " on [" << c.plain << ", " << c.shifted << "]";
    }
}

TEST(XButtonFor, LeftRightMiddleBecomeOneThreeTwo) {
    EXPECT_EQ(x_button_for(0), 1u);
    EXPECT_EQ(x_button_for(1), 3u);
    EXPECT_EQ(x_button_for(2), 2u);
    EXPECT_EQ(x_button_for(3), std::nullopt);
}

TEST(ScrollCarry, DirectionsFollowTheStick) {
    struct Case {
        std::int32_t vertical;
        std::int32_t horizontal;
        WheelClicks clicks;
    };
    const Case cases[] = {
        {120, 0, {.up = 1}},    {-240, 0, {.down = 2}}, {0, 360, {.right = 3}},
        {0, -120, {.left = 1}}, {119, -119, {}},        {-250, 130, {.down = 2, .right = 1}},
    };
    for (const auto& c : cases) {
        ScrollCarry carry;
        EXPECT_EQ(carry.add(c.vertical, c.horizontal), c.clicks)
            << c.vertical << ", " << c.horizontal;
    }
}

TEST(ScrollCarry, SmallAmountsAddUpToWholeClicks) {
    ScrollCarry carry;
    int up = 0;
    for (int i = 0; i < 11; ++i) {
        const auto clicks = carry.add(11, 0);
        up += clicks.up;
        EXPECT_EQ(clicks.down, 0);
    }
    EXPECT_EQ(up, 1);
    EXPECT_EQ(carry.vertical_carry(), 121 - 120);
    // Turning round first uses up what was carried the other way.
    EXPECT_EQ(carry.add(-120, 0), WheelClicks{});
    EXPECT_EQ(carry.vertical_carry(), -119);
    EXPECT_EQ(carry.add(-1, 0), WheelClicks{.down = 1});
    EXPECT_EQ(carry.vertical_carry(), 0);
}

TEST(ScrollCarry, DefaultScrollSpeedGivesFifteenClicksASecond) {
    // 1800 units/s arrive as the engine's 8 ms steps of 14 or 15 whole units.
    ScrollCarry carry;
    int clicks = 0;
    float remainder = 0.0f;
    for (int tick = 0; tick < 125; ++tick) {
        const float amount = remainder + 1800.0f * 0.008f;
        const auto whole = static_cast<std::int32_t>(amount);
        remainder = amount - static_cast<float>(whole);
        clicks += carry.add(whole, 0).up;
    }
    EXPECT_EQ(clicks, 15);
}

TEST(ScrollCarry, AnEnormousAmountIsBoundedAndNotCarried) {
    ScrollCarry carry;
    const auto max = std::numeric_limits<std::int32_t>::max();
    const auto min = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(carry.add(max, min), (WheelClicks{.up = ScrollCarry::kMaxClicksPerScroll,
                                                .left = ScrollCarry::kMaxClicksPerScroll}));
    EXPECT_LT(carry.vertical_carry(), ScrollCarry::kUnitsPerClick);
    EXPECT_GT(carry.horizontal_carry(), -ScrollCarry::kUnitsPerClick);
    EXPECT_EQ(carry.add(max, 0).up, ScrollCarry::kMaxClicksPerScroll);
}

TEST(ModifierHolds, AKeyStaysDownWhileAnyHoldIsOutstanding) {
    constexpr KeyKind ctrl = KeyKind::Ctrl;
    constexpr KeyKind shift = KeyKind::Shift;
    constexpr KeyKind alt = KeyKind::Alt;
    constexpr KeyKind meta = KeyKind::Meta;
    ModifierHolds holds;
    EXPECT_EQ(holds.pressed(), (ModifierHolds::Pressed{false, false, false, false}));

    holds.hold(shift);
    holds.hold(shift);
    holds.release(shift);
    EXPECT_EQ(holds.pressed(), (ModifierHolds::Pressed{false, true, false, false}));
    holds.release(shift);
    holds.release(shift);  // one release too many must not owe a press later
    holds.hold(shift);
    holds.release(shift);
    EXPECT_FALSE(holds.held(shift));

    holds.set_switcher(true);
    holds.hold(alt);
    holds.release(alt);
    EXPECT_EQ(holds.pressed(), (ModifierHolds::Pressed{false, false, true, false}));
    holds.set_switcher(false);
    EXPECT_EQ(holds.pressed(), (ModifierHolds::Pressed{false, false, false, false}));

    holds.hold(ctrl);
    holds.hold(meta);
    holds.hold(KeyKind::Esc);  // not a modifier: ignored
    EXPECT_EQ(holds.pressed(), (ModifierHolds::Pressed{true, false, false, true}));
}

}  // namespace
}  // namespace thumbrover

namespace thumbrover {
namespace {

using namespace std::chrono_literals;

TEST(PointerTrack, FollowsExactMotionsAndAsksWhenItCannotKnow) {
    using Point = PointerTrack::Point;
    struct Step {
        const char* what;
        int dx;
        int dy;
        std::uint64_t showing;
        std::chrono::nanoseconds now;
        std::optional<Point> expected;
        std::optional<Point> learn;  // what the server answers when asked
    };
    const Step steps[] = {
        {"unknown at first", 5, 5, 1, 0ms, std::nullopt, Point{100, 100}},
        {"a motion inside the screen", 10, -4, 1, 8ms, Point{110, 96}, std::nullopt},
        {"another", -110, 0, 1, 16ms, Point{0, 96}, std::nullopt},
        {"past the left edge: cut short by the server", -1, 0, 1, 24ms, std::nullopt, Point{0, 96}},
        {"past the bottom edge", 0, 700, 1, 32ms, std::nullopt, Point{0, 599}},
        {"inside again", 3, -9, 1, 40ms, Point{3, 590}, std::nullopt},
        {"a new showing of the ring", 1, 1, 2, 48ms, std::nullopt, Point{50, 50}},
        {"within the second", 1, 1, 2, 1047ms, Point{51, 51}, std::nullopt},
        {"a second after it was asked", 1, 1, 2, 1048ms, std::nullopt, Point{70, 70}},
        {"a clock gone backwards", 1, 1, 2, 10ms, std::nullopt, std::nullopt},
    };
    PointerTrack track;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        EXPECT_EQ(track.after(s.dx, s.dy, 800, 600, s.showing, s.now), s.expected);
        if (s.learn) track.learnt(*s.learn, s.showing, s.now);
    }
    track.forget();
    EXPECT_EQ(track.after(0, 0, 800, 600, 2, 1049ms), std::nullopt);
}

}  // namespace
}  // namespace thumbrover
