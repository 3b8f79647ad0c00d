#include "macos/event_output.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "macos/key_layout.hpp"
#include "recording_sink.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::RecordingSink;
using T = MacEventType;

constexpr std::uint8_t kind(KeyKind k) {
    return key_kind_number(k);
}

OutputCommand cmd(CommandKind k, std::uint8_t p1 = 0, std::uint8_t p2 = 0, std::int32_t a = 0,
                  std::int32_t b = 0) {
    return {k, p1, p2, a, b};
}
OutputCommand key_cmd(CommandKind k, KeyKind key, std::uint8_t param = 0) {
    return cmd(k, kind(key), param);
}

MacEvent mouse(T type, double x, double y, std::uint32_t button,
               std::optional<std::int64_t> clicks = std::nullopt,
               std::optional<MacEvent::Delta> delta = std::nullopt) {
    MacEvent e;
    e.type = type;
    e.location = {x, y};
    e.mouse_button = button;
    e.click_state = clicks;
    e.delta = delta;
    return e;
}
MacEvent key_event(T type, std::uint16_t code, std::uint64_t flags) {
    MacEvent e;
    e.type = type;
    e.key_code = code;
    e.flags = flags;
    return e;
}
MacEvent wheel(std::int32_t vertical, std::int32_t horizontal) {
    MacEvent e;
    e.type = T::ScrollWheel;
    e.wheel1 = vertical;
    e.wheel2 = horizontal;
    return e;
}
MacEvent media(std::int64_t key, bool down) {
    MacEvent e;
    e.type = T::SystemDefined;
    e.modifier_flags = down ? 0xA00 : 0xB00;
    e.subtype = 8;
    e.data1 = (key << 16) | (down ? 0xA00 : 0xB00);
    e.data2 = -1;
    return e;
}

constexpr std::uint64_t kShift = 0x20002;
constexpr std::uint64_t kCommand = 0x100008;

// Each case runs its prelude, then one command; only the command's own events are compared. The
// pointer sits at (100, 100) on one 1920x1080 display.
struct CommandCase {
    std::string name;
    std::vector<OutputCommand> prelude;
    OutputCommand command;
    std::vector<MacEvent> expected;
};

class PerCommand : public ::testing::TestWithParam<CommandCase> {};

// Tests print their parameter with a failure and in the test list: its name, not its bytes.
void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

TEST_P(PerCommand, PostsExactlyTheseEvents) {
    const CommandCase& c = GetParam();
    RecordingSink sink;
    MacEventOutput output(sink);
    for (const OutputCommand& p : c.prelude)
        ASSERT_TRUE(output.perform(p).ok());
    sink.events.clear();
    ASSERT_TRUE(output.perform(c.command).ok());
    EXPECT_THAT(sink.events, ElementsAreArray(c.expected));
    for (const MacEvent& e : sink.events)
        EXPECT_EQ(e.user_data, 0x636F7276);
}

const OutputCommand kLeftDown = cmd(CommandKind::ButtonDown, 0);
const OutputCommand kRightDown = cmd(CommandKind::ButtonDown, 1);
const OutputCommand kMiddleDown = cmd(CommandKind::ButtonDown, 2);
const OutputCommand kShiftDown = key_cmd(CommandKind::KeyDown, KeyKind::Shift);
const OutputCommand kMetaDown = key_cmd(CommandKind::KeyDown, KeyKind::Meta);
const OutputCommand kHoldCommand = cmd(CommandKind::HoldCommand, 1);

INSTANTIATE_TEST_SUITE_P(
    MacEventOutput, PerCommand,
    ::testing::Values(
        CommandCase{"MoveIsAPlainMoveWithRequestedDeltas",
                    {},
                    cmd(CommandKind::Move, 0, 0, 5, -3),
                    {mouse(T::MouseMoved, 105, 97, 0, std::nullopt, MacEvent::Delta{5, -3})}},
        CommandCase{"MoveWithLeftHeldDrags",
                    {kLeftDown},
                    cmd(CommandKind::Move, 0, 0, 1, 2),
                    {mouse(T::LeftMouseDragged, 101, 102, 0, 1, MacEvent::Delta{1, 2})}},
        CommandCase{"MoveWithRightHeldDrags",
                    {kRightDown},
                    cmd(CommandKind::Move, 0, 0, 1, 0),
                    {mouse(T::RightMouseDragged, 101, 100, 1, 1, MacEvent::Delta{1, 0})}},
        CommandCase{"MoveWithMiddleHeldDrags",
                    {kMiddleDown},
                    cmd(CommandKind::Move, 0, 0, 0, 1),
                    {mouse(T::OtherMouseDragged, 100, 101, 2, 1, MacEvent::Delta{0, 1})}},
        CommandCase{"LeftDragWinsOverRightAndMiddle",
                    {kMiddleDown, kRightDown, kLeftDown},
                    cmd(CommandKind::Move, 0, 0, 1, 1),
                    {mouse(T::LeftMouseDragged, 101, 101, 0, 1, MacEvent::Delta{1, 1})}},
        CommandCase{"RightDragWinsOverMiddle",
                    {kMiddleDown, kRightDown},
                    cmd(CommandKind::Move, 0, 0, 1, 1),
                    {mouse(T::RightMouseDragged, 101, 101, 1, 1, MacEvent::Delta{1, 1})}},
        CommandCase{"DragAfterADoubleClickCarriesItsCount",
                    {kLeftDown, cmd(CommandKind::ButtonUp, 0), kLeftDown},
                    cmd(CommandKind::Move, 0, 0, 1, 1),
                    {mouse(T::LeftMouseDragged, 101, 101, 0, 2, MacEvent::Delta{1, 1})}},
        CommandCase{"ReleasedButtonNoLongerDrags",
                    {kLeftDown, cmd(CommandKind::ButtonUp, 0)},
                    cmd(CommandKind::Move, 0, 0, 1, 1),
                    {mouse(T::MouseMoved, 101, 101, 0, std::nullopt, MacEvent::Delta{1, 1})}},
        CommandCase{"ScrollOnePixelDown", {}, cmd(CommandKind::Scroll, 0, 0, 3, 0), {wheel(1, 0)}},
        CommandCase{
            "ScrollHorizontalIsInverted", {}, cmd(CommandKind::Scroll, 0, 0, 0, 3), {wheel(0, -1)}},
        CommandCase{"ScrollBothWheels", {}, cmd(CommandKind::Scroll, 0, 0, -7, 9), {wheel(-2, -3)}},
        CommandCase{
            "ScrollBelowOnePixelPostsNothing", {}, cmd(CommandKind::Scroll, 0, 0, 2, -2), {}},
        CommandCase{"LeftPress", {}, kLeftDown, {mouse(T::LeftMouseDown, 100, 100, 0, 1)}},
        CommandCase{"RightPress", {}, kRightDown, {mouse(T::RightMouseDown, 100, 100, 1, 1)}},
        CommandCase{"MiddlePress", {}, kMiddleDown, {mouse(T::OtherMouseDown, 100, 100, 2, 1)}},
        CommandCase{"ReleaseOfANeverPressedButtonCountsOne",
                    {},
                    cmd(CommandKind::ButtonUp, 1),
                    {mouse(T::RightMouseUp, 100, 100, 1, 1)}},
        CommandCase{"MiddleRelease",
                    {kMiddleDown},
                    cmd(CommandKind::ButtonUp, 2),
                    {mouse(T::OtherMouseUp, 100, 100, 2, 1)}},
        CommandCase{
            "ClickIsPressThenRelease",
            {},
            cmd(CommandKind::Click, 0),
            {mouse(T::LeftMouseDown, 100, 100, 0, 1), mouse(T::LeftMouseUp, 100, 100, 0, 1)}},
        CommandCase{"LetterDown",
                    {},
                    key_cmd(CommandKind::KeyDown, KeyKind::Letter, 'a'),
                    {key_event(T::KeyDown, 0, 0x100)}},
        CommandCase{"LetterUp",
                    {},
                    key_cmd(CommandKind::KeyUp, KeyKind::Letter, 't'),
                    {key_event(T::KeyUp, 17, 0x100)}},
        CommandCase{"ArrowTapCarriesNumericPadAndFn",
                    {},
                    key_cmd(CommandKind::KeyTap, KeyKind::Up),
                    {key_event(T::KeyDown, 126, 0xA00100), key_event(T::KeyUp, 126, 0xA00100)}},
        CommandCase{"FunctionKeyCarriesFn",
                    {},
                    key_cmd(CommandKind::KeyDown, KeyKind::F, 5),
                    {key_event(T::KeyDown, 96, 0x800100)}},
        CommandCase{"ForwardDeleteCarriesFn",
                    {},
                    key_cmd(CommandKind::KeyDown, KeyKind::Delete),
                    {key_event(T::KeyDown, 117, 0x800100)}},
        CommandCase{"DigitZero",
                    {},
                    key_cmd(CommandKind::KeyDown, KeyKind::Digit, 0),
                    {key_event(T::KeyDown, 29, 0x100)}},
        CommandCase{
            "HeldShiftFlagsALetter",
            {kShiftDown},
            key_cmd(CommandKind::KeyTap, KeyKind::Letter, 'a'),
            {key_event(T::KeyDown, 0, 0x100 | kShift), key_event(T::KeyUp, 0, 0x100 | kShift)}},
        CommandCase{"ShiftDownIsAFlagsChange",
                    {},
                    kShiftDown,
                    {key_event(T::FlagsChanged, 56, 0x100 | kShift)}},
        CommandCase{"ShiftUpClearsItsMask",
                    {kShiftDown},
                    key_cmd(CommandKind::KeyUp, KeyKind::Shift),
                    {key_event(T::FlagsChanged, 56, 0x100)}},
        CommandCase{"CtrlAltCmdMasks",
                    {key_cmd(CommandKind::KeyDown, KeyKind::Ctrl),
                     key_cmd(CommandKind::KeyDown, KeyKind::Alt)},
                    kMetaDown,
                    {key_event(T::FlagsChanged, 55, 0x100 | 0x40001 | 0x80020 | kCommand)}},
        CommandCase{"ModifierTapPressesAndReleases",
                    {},
                    key_cmd(CommandKind::KeyTap, KeyKind::Alt),
                    {key_event(T::FlagsChanged, 58, 0x100 | 0x80020),
                     key_event(T::FlagsChanged, 58, 0x100)}},
        CommandCase{"MediaTapIsTwoSystemDefinedEvents",
                    {},
                    key_cmd(CommandKind::KeyTap, KeyKind::PlayPause),
                    {media(16, true), media(16, false)}},
        CommandCase{"MediaIgnoresHeldModifiers",
                    {kShiftDown},
                    key_cmd(CommandKind::KeyDown, KeyKind::Mute),
                    {media(7, true)}},
        CommandCase{"HoldCommandSetsTheCommandMask",
                    {},
                    kHoldCommand,
                    {key_event(T::FlagsChanged, 55, 0x100 | kCommand)}},
        CommandCase{"HoldCommandReleaseClearsIt",
                    {kHoldCommand},
                    cmd(CommandKind::HoldCommand, 0),
                    {key_event(T::FlagsChanged, 55, 0x100)}},
        CommandCase{"SwitcherTabUnderHeldCommand",
                    {kHoldCommand},
                    cmd(CommandKind::SwitcherTab),
                    {key_event(T::KeyDown, 48, 0x100 | kCommand),
                     key_event(T::KeyUp, 48, 0x100 | kCommand)}},
        CommandCase{"SwitcherTabAlone",
                    {},
                    cmd(CommandKind::SwitcherTab),
                    {key_event(T::KeyDown, 48, 0x100), key_event(T::KeyUp, 48, 0x100)}},
        CommandCase{
            "LauncherIsCommandSpace",
            {},
            cmd(CommandKind::Launcher),
            {key_event(T::FlagsChanged, 55, 0x100 | kCommand),
             key_event(T::KeyDown, 49, 0x100 | kCommand), key_event(T::KeyUp, 49, 0x100 | kCommand),
             key_event(T::FlagsChanged, 55, 0x100)}},
        CommandCase{
            "LauncherKeepsAHeldCommand",
            {kMetaDown},
            cmd(CommandKind::Launcher),
            {key_event(T::FlagsChanged, 55, 0x100 | kCommand),
             key_event(T::KeyDown, 49, 0x100 | kCommand), key_event(T::KeyUp, 49, 0x100 | kCommand),
             key_event(T::FlagsChanged, 55, 0x100 | kCommand)}},
        CommandCase{"LauncherCarriesOtherHeldModifiers",
                    {kShiftDown},
                    cmd(CommandKind::Launcher),
                    {key_event(T::FlagsChanged, 55, 0x100 | kShift | kCommand),
                     key_event(T::KeyDown, 49, 0x100 | kShift | kCommand),
                     key_event(T::KeyUp, 49, 0x100 | kShift | kCommand),
                     key_event(T::FlagsChanged, 55, 0x100 | kShift)}}),
    [](const ::testing::TestParamInfo<CommandCase>& param_info) { return param_info.param.name; });

TEST(MacEventOutput, ModifierPressedTwiceAndReleasedOnceStaysHeld) {
    RecordingSink sink;
    MacEventOutput output(sink);
    ASSERT_TRUE(output.perform(kShiftDown).ok());
    ASSERT_TRUE(output.perform(kShiftDown).ok());
    ASSERT_TRUE(output.perform(key_cmd(CommandKind::KeyUp, KeyKind::Shift)).ok());
    EXPECT_EQ(output.current_flags(), 0x100 | kShift);
    EXPECT_EQ(sink.events.back(), key_event(T::FlagsChanged, 56, 0x100 | kShift));
    ASSERT_TRUE(output.perform(key_cmd(CommandKind::KeyUp, KeyKind::Shift)).ok());
    EXPECT_EQ(output.current_flags(), 0x100u);
    EXPECT_TRUE(output.held_keys().empty());
    // A release with nothing held changes nothing but still tells macOS the current flags.
    ASSERT_TRUE(output.perform(key_cmd(CommandKind::KeyUp, KeyKind::Shift)).ok());
    EXPECT_EQ(sink.events.back(), key_event(T::FlagsChanged, 56, 0x100));
}

TEST(MacEventOutput, ReleasingOneModifierKeepsTheOthersInPressOrder) {
    RecordingSink sink;
    MacEventOutput output(sink);
    for (KeyKind k : {KeyKind::Ctrl, KeyKind::Shift, KeyKind::Ctrl, KeyKind::Alt})
        ASSERT_TRUE(output.perform(key_cmd(CommandKind::KeyDown, k)).ok());
    ASSERT_TRUE(output.perform(key_cmd(CommandKind::KeyUp, KeyKind::Ctrl)).ok());
    EXPECT_THAT(output.held_keys(),
                ElementsAre(Key(KeyKind::Shift), Key(KeyKind::Ctrl), Key(KeyKind::Alt)));
    EXPECT_EQ(output.current_flags(), 0x100 | kShift | 0x40001 | 0x80020);
}

TEST(MacEventOutput, LauncherRestoresHeldKeysExactly) {
    const std::vector<std::vector<OutputCommand>> preludes = {
        {},
        {kMetaDown},
        {kMetaDown, kMetaDown},
        {kShiftDown, kMetaDown, key_cmd(CommandKind::KeyDown, KeyKind::Alt)},
    };
    for (const auto& prelude : preludes) {
        SCOPED_TRACE(prelude.size());
        RecordingSink sink;
        MacEventOutput output(sink);
        for (const OutputCommand& p : prelude)
            ASSERT_TRUE(output.perform(p).ok());
        const std::vector<Key> before = output.held_keys();
        ASSERT_TRUE(output.perform(cmd(CommandKind::Launcher)).ok());
        EXPECT_EQ(output.held_keys(), before);
    }
}

TEST(MacEventOutput, FailedLauncherNeverLeavesCommandStuck) {
    // Each round the sink refuses another of the four events: Command, Space down, Space up,
    // Command up.
    for (int fail_at : {0, 1, 2, 3}) {
        SCOPED_TRACE(fail_at);
        RecordingSink sink;
        MacEventOutput output(sink);
        sink.fail_post = fail_at;
        const Result<void> r = output.perform(cmd(CommandKind::Launcher));
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error(), "could not create an input event");
        EXPECT_TRUE(output.held_keys().empty());
        EXPECT_EQ(output.current_flags(), 0x100u);
        // Once Command went down, the last event posted lifts it again.
        if (fail_at == 0) {
            EXPECT_TRUE(sink.events.empty());
        } else if (fail_at == 3) {
            EXPECT_EQ(sink.events.size(), 3u) << "only the final release failed";
        } else {
            EXPECT_EQ(sink.events.back(), key_event(T::FlagsChanged, 55, 0x100));
        }
    }
}

TEST(MacEventOutput, MediaKeysCarryTheirKeyTypeInData1) {
    const std::pair<KeyKind, std::int64_t> keys[] = {
        {KeyKind::PlayPause, 16}, {KeyKind::NextTrack, 19}, {KeyKind::PreviousTrack, 20},
        {KeyKind::VolumeUp, 0},   {KeyKind::VolumeDown, 1}, {KeyKind::Mute, 7},
    };
    for (const auto& [k, number] : keys) {
        SCOPED_TRACE(number);
        RecordingSink sink;
        MacEventOutput output(sink);
        ASSERT_TRUE(output.perform(key_cmd(CommandKind::KeyDown, k)).ok());
        ASSERT_TRUE(output.perform(key_cmd(CommandKind::KeyUp, k)).ok());
        ASSERT_EQ(sink.events.size(), 2u);
        EXPECT_EQ(sink.events[0].data1, (number << 16) | 0xA00);
        EXPECT_EQ(sink.events[1].data1, (number << 16) | 0xB00);
        EXPECT_EQ(sink.events[0], media(number, true));
        EXPECT_EQ(sink.events[1], media(number, false));
    }
}

TEST(MacEventOutput, EveryMediaEventPostedIsOneMadeAheadOnTheMainThread) {
    const std::vector<MacEvent> made = media_key_events();
    EXPECT_EQ(made.size(), 12u);
    RecordingSink sink;
    MacEventOutput output(sink);
    for (const KeyKind k : {KeyKind::PlayPause, KeyKind::NextTrack, KeyKind::PreviousTrack,
                            KeyKind::VolumeUp, KeyKind::VolumeDown, KeyKind::Mute}) {
        ASSERT_TRUE(output.perform(key_cmd(CommandKind::KeyTap, k)).ok());
    }
    ASSERT_EQ(sink.events.size(), 12u);
    for (const MacEvent& posted : sink.events)
        EXPECT_EQ(std::count(made.begin(), made.end(), posted), 1) << describe(posted);
}

TEST(MacEventOutput, LettersFollowTheLayoutAndComeUpWhereTheyWentDown) {
    KeyboardLayout azerty;  // the keys that differ from US here
    for (const auto& [code, c] : {std::pair{12, U'a'}, {0, U'q'}, {13, U'z'}, {6, U'w'}})
        azerty.plain[static_cast<std::size_t>(code)] = c;
    RecordingSink sink;
    sink.letters = std::make_shared<const LetterKeys>(azerty);
    MacEventOutput output(sink);
    const auto w = [](CommandKind k) { return key_cmd(k, KeyKind::Letter, 'w'); };
    ASSERT_TRUE(output.perform(w(CommandKind::KeyTap)).ok());
    ASSERT_TRUE(output.perform(w(CommandKind::KeyDown)).ok());
    sink.letters = nullptr;  // the user switches to US while "w" is held
    ASSERT_TRUE(output.perform(w(CommandKind::KeyUp)).ok());
    ASSERT_TRUE(output.perform(w(CommandKind::KeyTap)).ok());
    EXPECT_THAT(sink.events,
                ElementsAre(key_event(T::KeyDown, 6, 0x100), key_event(T::KeyUp, 6, 0x100),
                            key_event(T::KeyDown, 6, 0x100), key_event(T::KeyUp, 6, 0x100),
                            key_event(T::KeyDown, 13, 0x100), key_event(T::KeyUp, 13, 0x100)));
}

// One press: where the pointer is and how long after the previous press of the same button.
struct Press {
    double x;
    double y;
    std::chrono::nanoseconds after;
    std::int64_t expected_count;
};

TEST(MacEventOutput, ClickCountsFollowIntervalAndSlop) {
    const struct {
        std::string name;
        std::vector<Press> presses;
    } cases[] = {
        {"FourQuickPressesCountUp",
         {{100, 100, 0ms, 1}, {100, 100, 200ms, 2}, {100, 100, 200ms, 3}, {100, 100, 200ms, 4}}},
        {"SlopIsInclusiveAtFourPoints", {{100, 100, 0ms, 1}, {104, 96, 100ms, 2}}},
        {"FivePointsAwayStartsOver", {{100, 100, 0ms, 1}, {105, 100, 100ms, 1}}},
        {"JustOverFourPointsStartsOver", {{100, 100, 0ms, 1}, {100, 104.01, 100ms, 1}}},
        {"SlopIsMeasuredFromTheLastPress",
         {{100, 100, 0ms, 1}, {104, 100, 100ms, 2}, {108, 100, 100ms, 3}}},
        {"ExactlyTheIntervalStillCounts", {{100, 100, 0ms, 1}, {100, 100, 500ms, 2}}},
        {"OneNanosecondOverStartsOver", {{100, 100, 0ms, 1}, {100, 100, 500ms + 1ns, 1}}},
        {"ClockGoingBackwardsCountsAsNoTime", {{100, 100, 0ms, 1}, {100, 100, -3s, 2}}},
        {"ASlowPressRestartsTheSeries",
         {{100, 100, 0ms, 1}, {100, 100, 100ms, 2}, {100, 100, 900ms, 1}, {100, 100, 100ms, 2}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        sink.interval_seconds = 0.5;
        MacEventOutput output(sink);
        for (const Press& p : c.presses) {
            sink.pointer = {p.x, p.y};
            sink.now += p.after;
            sink.events.clear();
            ASSERT_TRUE(output.perform(cmd(CommandKind::Click, 0)).ok());
            EXPECT_THAT(sink.events,
                        ElementsAre(mouse(T::LeftMouseDown, p.x, p.y, 0, p.expected_count),
                                    mouse(T::LeftMouseUp, p.x, p.y, 0, p.expected_count)));
        }
    }
}

TEST(MacEventOutput, EachButtonKeepsItsOwnClickHistory) {
    RecordingSink sink;
    MacEventOutput output(sink);
    ASSERT_TRUE(output.perform(cmd(CommandKind::Click, 0)).ok());
    ASSERT_TRUE(output.perform(cmd(CommandKind::Click, 1)).ok());
    ASSERT_TRUE(output.perform(cmd(CommandKind::Click, 0)).ok());
    ASSERT_EQ(sink.events.size(), 6u);
    EXPECT_EQ(sink.events[2].click_state, 1);  // right press
    EXPECT_EQ(sink.events[4].click_state, 2);  // second left press
    // A release long after the press, somewhere else, still carries the press's count.
    sink.now += 10s;
    sink.pointer = {500, 500};
    ASSERT_TRUE(output.perform(cmd(CommandKind::ButtonUp, 0)).ok());
    EXPECT_EQ(sink.events.back(), mouse(T::LeftMouseUp, 500, 500, 0, 2));
}

TEST(MacEventOutput, DoubleClickIntervalIsTheOneAtThePressAndNeverNegative) {
    const struct {
        double at_first;
        double at_second;  // the user changed it in between
        std::chrono::nanoseconds gap;
        std::int64_t second_count;
    } cases[] = {
        {0.5, 0.5, 400ms, 2},
        {0.5, 0.5, 600ms, 1},
        {0.5, 1.25, 1s, 2},
        {1.25, 0.5, 1s, 1},
        {-1.0, -1.0, 1ms, 1},
        {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN(), 1ms,
         1},
        {1e300, 1e300, 1h, 2},
    };
    for (const auto& c : cases) {
        RecordingSink sink;
        sink.interval_seconds = c.at_first;
        MacEventOutput output(sink);
        ASSERT_TRUE(output.perform(cmd(CommandKind::ButtonDown, 0)).ok());
        ASSERT_TRUE(output.perform(cmd(CommandKind::ButtonUp, 0)).ok());
        sink.now += c.gap;
        sink.interval_seconds = c.at_second;
        ASSERT_TRUE(output.perform(cmd(CommandKind::ButtonDown, 0)).ok());
        EXPECT_EQ(sink.events.back().click_state, c.second_count) << c.at_second;
    }
}

TEST(MacEventOutput, ScrollCarrySequences) {
    struct Step {
        std::int32_t a;
        std::int32_t b;
        std::vector<MacEvent> expected;
        std::array<std::int32_t, 2> carry;
    };
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const struct {
        std::string name;
        std::vector<Step> steps;
    } cases[] = {
        {"OneUnitAtATimeSendsEveryThird",
         {{1, 0, {}, {1, 0}}, {1, 0, {}, {2, 0}}, {1, 0, {wheel(1, 0)}, {0, 0}}}},
        {"PlusMinusTwoNeverSends", {{2, 0, {}, {2, 0}}, {-2, 0, {}, {0, 0}}, {-2, 2, {}, {-2, 2}}}},
        {"MinusFourSendsOneAndCarriesMinusOne", {{-4, 0, {wheel(-1, 0)}, {-1, 0}}}},
        {"TwoPlusTwoSendsOneAndCarriesOne", {{2, 0, {}, {2, 0}}, {2, 0, {wheel(1, 0)}, {1, 0}}}},
        {"HorizontalCarryInvertsOnlyWhenSent",
         {{0, 2, {}, {0, 2}}, {0, 2, {wheel(0, -1)}, {0, 1}}}},
        {"OneAxisSendingTakesTheOtherAlongAtZero",
         {{0, 2, {}, {0, 2}}, {3, 0, {wheel(1, 0)}, {0, 2}}}},
        {"OverflowSaturatesUpward", {{2, 0, {}, {2, 0}}, {kMax, 0, {wheel(715827882, 0)}, {1, 0}}}},
        {"OverflowSaturatesDownward",
         {{0, -2, {}, {0, -2}}, {0, kMin, {wheel(0, 715827882)}, {0, -2}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        MacEventOutput output(sink);
        int step_number = 0;
        for (const Step& s : c.steps) {
            SCOPED_TRACE(step_number++);
            sink.events.clear();
            ASSERT_TRUE(output.perform(cmd(CommandKind::Scroll, 0, 0, s.a, s.b)).ok());
            EXPECT_THAT(sink.events, ElementsAreArray(s.expected));
            EXPECT_EQ(output.scroll_carry(), s.carry);
        }
    }
}

TEST(MacEventOutput, ClampsMovesToTheDisplays) {
    // A: main display; B: to its right, shorter; C: above-left, partly above A's top edge.
    const MacRect a{0, 0, 1920, 1080};
    const MacRect b{1920, 0, 1280, 1024};
    const MacRect c{-1024, -200, 1024, 768};
    const MacRect empty{500, 500, 0, 0};
    const struct {
        std::string name;
        std::vector<MacRect> displays;
        MacPoint from;
        MacPoint target;
        MacPoint expected;
    } cases[] = {
        {"InsideStaysPut", {a, b}, {100, 100}, {150, 120}, {150, 120}},
        {"CrossesIntoAnotherDisplayFreely", {a, b}, {1900, 500}, {2000, 500}, {2000, 500}},
        {"StopsAtTheLastColumnOfTheCurrentDisplay", {a, b}, {3000, 500}, {3500, 500}, {3199, 500}},
        {"StopsAtTheLastRowOfTheCurrentDisplay", {a, b}, {3000, 1000}, {3000, 1100}, {3000, 1023}},
        {"OnePastTheEdgeIsClamped", {a}, {1900, 1000}, {1920, 1080}, {1919, 1079}},
        {"StopsAtTheTopEdge", {a, b, c}, {100, 100}, {100, -100}, {100, 0}},
        {"NegativeCoordinatesAreADisplayToo", {a, b, c}, {-10, -10}, {-20, -150}, {-20, -150}},
        {"FromOutsideEverythingIntoTheFirstDisplay",
         {b, a},
         {5000, 5000},
         {5100, 5000},
         {3199, 1023}},
        {"ZeroSizedDisplayIsSkipped", {empty, a}, {5000, 5000}, {5100, 5000}, {1919, 1079}},
        {"SubPointDisplayHoldingThePointerIsSkipped",
         {{100, 100, 0.5, 600}, a},
         {100, 100},
         {100, 2000},
         {100, 1079}},
        {"OnlyZeroSizedDisplaysMeansNoClamp", {empty}, {0, 0}, {-50, -50}, {-50, -50}},
        {"NoDisplaysMeansNoClamp", {}, {0, 0}, {-50, 99999}, {-50, 99999}},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        EXPECT_EQ(clamp_to_displays(t.from, t.target, t.displays), t.expected);

        RecordingSink sink;
        sink.displays = t.displays;
        sink.pointer = t.from;
        MacEventOutput output(sink);
        const auto dx = static_cast<std::int32_t>(t.target.x - t.from.x);
        const auto dy = static_cast<std::int32_t>(t.target.y - t.from.y);
        ASSERT_TRUE(output.perform(cmd(CommandKind::Move, 0, 0, dx, dy)).ok());
        ASSERT_EQ(sink.events.size(), 1u);
        EXPECT_EQ(sink.events[0].location, t.expected);
        EXPECT_EQ(sink.events[0].delta, (MacEvent::Delta{dx, dy}));
    }
}

TEST(MacEventOutput, CommandsNamingNoRealButtonOrKeyPostNothing) {
    const OutputCommand commands[] = {
        cmd(CommandKind::ButtonDown, 3),
        cmd(CommandKind::ButtonUp, 255),
        cmd(CommandKind::Click, 3),
        cmd(CommandKind::KeyDown, 31),
        cmd(CommandKind::KeyTap, 255),
        key_cmd(CommandKind::KeyDown, KeyKind::Print, 0),
        key_cmd(CommandKind::KeyDown, KeyKind::Letter, 'A'),
        key_cmd(CommandKind::KeyDown, KeyKind::Letter, 0),
        key_cmd(CommandKind::KeyDown, KeyKind::Digit, 10),
        key_cmd(CommandKind::KeyDown, KeyKind::F, 0),
        key_cmd(CommandKind::KeyDown, KeyKind::F, 21),
        cmd(CommandKind::Rumble),
    };
    for (const OutputCommand& c : commands) {
        SCOPED_TRACE(std::string(command_kind_name(c.kind)) + " " + std::to_string(c.p1));
        RecordingSink sink;
        MacEventOutput output(sink);
        const Result<void> r = output.perform(c);
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error(), "could not create an input event");
        EXPECT_TRUE(sink.events.empty());
        EXPECT_TRUE(output.held_keys().empty());
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_FALSE(output.button_down(i));
    }
}

TEST(MacEventOutput, FailedEventsKeepEarlierStateChangesAndStopTheCommand) {
    {
        // The press is recorded even though its event failed, so the release still pairs up.
        RecordingSink sink;
        sink.fail_post = 0;
        MacEventOutput output(sink);
        EXPECT_FALSE(output.perform(cmd(CommandKind::Click, 0)).ok());
        EXPECT_TRUE(sink.events.empty()) << "the release must not be attempted";
        EXPECT_TRUE(output.button_down(0));
        EXPECT_EQ(output.history(0).count, 1);
    }
    {
        RecordingSink sink;
        sink.fail_post = 0;
        MacEventOutput output(sink);
        EXPECT_FALSE(output.perform(key_cmd(CommandKind::KeyTap, KeyKind::Letter, 'q')).ok());
        EXPECT_TRUE(sink.events.empty());
    }
    {
        RecordingSink sink;
        sink.fail_post = 0;
        MacEventOutput output(sink);
        EXPECT_FALSE(output.perform(kShiftDown).ok());
        EXPECT_THAT(output.held_keys(), ElementsAre(Key(KeyKind::Shift)));
    }
    {
        RecordingSink sink;
        sink.fail_post = 0;
        MacEventOutput output(sink);
        EXPECT_FALSE(output.perform(cmd(CommandKind::Scroll, 0, 0, 4, 0)).ok());
        EXPECT_EQ(output.scroll_carry(), (std::array<std::int32_t, 2>{1, 0}));
    }
    {
        // One failure does not poison the next command.
        RecordingSink sink;
        sink.fail_post = 0;
        MacEventOutput output(sink);
        EXPECT_FALSE(output.perform(cmd(CommandKind::SwitcherTab)).ok());
        EXPECT_TRUE(output.perform(cmd(CommandKind::SwitcherTab)).ok());
        EXPECT_EQ(sink.events.size(), 2u);
    }
}

}  // namespace
}  // namespace thumbrover
