#include "linux/output_choice.hpp"

#include <gtest/gtest.h>

namespace thumbrover {
namespace {

TEST(ChooseOutput, TheOptionThenTheSessionDecide) {
    struct Case {
        std::optional<OutputKind> requested;
        std::optional<std::string_view> wayland_display;
        std::optional<std::string_view> session_type;
        OutputChoice expected;
    };
    const auto none = std::nullopt;
    const auto xtest = [](const char* why) {
        return OutputChoice{OutputKind::Xtest, std::string("posting input through XTEST") + why};
    };
    const auto uinput = [](const char* why) {
        return OutputChoice{OutputKind::Uinput, std::string("posting input through uinput") + why};
    };
    const Case cases[] = {
        {none, none, none, xtest(": this is an X11 session")},
        {none, "wayland-0", "x11", uinput(": this is a Wayland session (WAYLAND_DISPLAY is set)")},
        {none, "", "wayland", uinput(": this is a Wayland session (XDG_SESSION_TYPE is wayland)")},
        {none, "", "tty", xtest(": this is an X11 session")},
        {OutputKind::Xtest, "wayland-0", "wayland", xtest(", as --output=xtest asks")},
        {OutputKind::Uinput, none, "x11", uinput(", as --output=uinput asks")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(choose_output(c.requested, c.wayland_display, c.session_type), c.expected)
            << c.expected.reason;
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
