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
    const Case cases[] = {
        {std::nullopt,
         std::nullopt,
         std::nullopt,
         {OutputKind::Xtest, "posting input through XTEST: this is an X11 session"}},
        {std::nullopt,
         "wayland-0",
         "x11",
         {OutputKind::Uinput,
          "posting input through uinput: this is a Wayland session (WAYLAND_DISPLAY is set)"}},
        {std::nullopt,
         "",
         "wayland",
         {OutputKind::Uinput,
          "posting input through uinput: this is a Wayland session (XDG_SESSION_TYPE is "
          "wayland)"}},
        {std::nullopt,
         "",
         "tty",
         {OutputKind::Xtest, "posting input through XTEST: this is an X11 session"}},
        {OutputKind::Xtest,
         "wayland-0",
         "wayland",
         {OutputKind::Xtest, "posting input through XTEST, as --output=xtest asks"}},
        {OutputKind::Uinput,
         std::nullopt,
         "x11",
         {OutputKind::Uinput, "posting input through uinput, as --output=uinput asks"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(choose_output(c.requested, c.wayland_display, c.session_type), c.expected)
            << c.expected.reason;
    EXPECT_EQ(parse_output_kind("uinput").value(), OutputKind::Uinput);
    EXPECT_EQ(parse_output_kind("xtest").value(), OutputKind::Xtest);
    EXPECT_FALSE(parse_output_kind("XTEST").ok());
    const SessionAbilities wayland = session_abilities(OutputKind::Uinput);
    EXPECT_FALSE(wayland.ring || wayland.cursor_hiding || wayland.mouse_watcher);
    const SessionAbilities x11 = session_abilities(OutputKind::Xtest);
    EXPECT_TRUE(x11.ring && x11.cursor_hiding && x11.mouse_watcher);
}

}  // namespace
}  // namespace thumbrover
