#include "linux/output_choice.hpp"

#include <gtest/gtest.h>

namespace thumbrover {
namespace {

TEST(ChooseOutput, TheOptionThenTheSessionDecide) {
    struct Case {
        std::optional<OutputKind> requested;
        SessionVariables session;
        std::optional<OutputChoice> expected;  // none: no graphical session
    };
    const auto none = std::nullopt;
    const auto xtest = [](const char* why) {
        return OutputChoice{OutputKind::Xtest, std::string("posting input through XTEST") + why};
    };
    const auto uinput = [](const char* why) {
        return OutputChoice{OutputKind::Uinput, std::string("posting input through uinput") + why};
    };
    const Case cases[] = {
        {none, {":0", none, none, none}, xtest(": this is an X11 session")},
        {none,
         {none, "wayland-0", "x11", none},
         uinput(": this is a Wayland session (WAYLAND_DISPLAY is set)")},
        {none,
         {":0", "", "wayland", none},
         uinput(": this is a Wayland session (XDG_SESSION_TYPE is wayland)")},
        {none, {":0", "", "tty", none}, xtest(": this is an X11 session")},
        {OutputKind::Xtest,
         {":0", "wayland-0", "wayland", none},
         xtest(", as --output=xtest asks")},
        {OutputKind::Uinput, {":0", none, "x11", none}, uinput(", as --output=uinput asks")},
        // Without a session, one line says so, whatever was asked for or claimed.
        {none, {none, none, none, none}, none},
        {none, {"", "", "tty", "xcb"}, none},
        {none, {none, none, "wayland", none}, none},
        {OutputKind::Xtest, {none, none, none, "offscreen"}, none},
        {OutputKind::Uinput, {"", "", none, ""}, none},
        // uinput needs no session of its own where Qt is told where to draw.
        {OutputKind::Uinput, {none, none, none, "offscreen"}, uinput(", as --output=uinput asks")},
    };
    for (const Case& c : cases) {
        const Result<OutputChoice> chosen = choose_output(c.requested, c.session);
        if (c.expected) {
            EXPECT_EQ(chosen.ok() ? *chosen : OutputChoice{}, *c.expected)
                << c.expected->reason << (chosen.ok() ? "" : ": " + chosen.error());
        } else {
            ASSERT_FALSE(chosen.ok()) << chosen->reason;
            EXPECT_EQ(chosen.error(),
                      "no graphical session: Thumbrover runs in an X11 or Wayland desktop session "
                      "(neither DISPLAY nor WAYLAND_DISPLAY is set)");
        }
    }
    EXPECT_EQ(parse_output_kind("uinput").value(), OutputKind::Uinput);
    EXPECT_EQ(parse_output_kind("xtest").value(), OutputKind::Xtest);
    EXPECT_FALSE(parse_output_kind("XTEST").ok());
    const SessionAbilities wayland = session_abilities(OutputKind::Uinput);
    EXPECT_FALSE(wayland.ring || wayland.cursor_hiding || wayland.mouse_watcher ||
                 wayland.front_app);
    const SessionAbilities x11 = session_abilities(OutputKind::Xtest);
    EXPECT_TRUE(x11.ring && x11.cursor_hiding && x11.mouse_watcher && x11.front_app);
}

}  // namespace
}  // namespace thumbrover
