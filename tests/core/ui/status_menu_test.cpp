#include "core/ui/status_menu.hpp"

#include "core/engine/messages.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace thumbrover {
namespace {

// One line per item: its title, its action number, its key, "[x]" when checked and the tooltip.
std::vector<std::string> lines(const StatusMenu& menu) {
    std::vector<std::string> out;
    for (const MenuItem& item : menu.items) {
        if (item.kind == MenuItemKind::Separator) {
            out.push_back("---");
            continue;
        }
        std::string line = item.title;
        if (item.kind == MenuItemKind::Command)
            line += " ->" + std::to_string(static_cast<int>(item.action));
        else
            EXPECT_EQ(item.action, MenuAction::None) << item.title;
        if (!item.key_equivalent.empty()) line += " key " + std::string(item.key_equivalent);
        if (item.checked) line += " [x]";
        if (!item.tooltip.empty()) line += " tip " + item.tooltip;
        out.push_back(line);
    }
    return out;
}

std::string action(MenuAction a) {
    return " ->" + std::to_string(static_cast<int>(a));
}

TEST(StatusMenu, EachStatusGivesItsIconTooltipAndLines) {
    struct Case {
        EngineStatus status;
        const char* icon;
        const char* tooltip;
        const char* first;
        const char* battery;
        bool checked;
    };
    const Case cases[] = {
        {{std::nullopt, true, false, std::nullopt},
         "gamecontroller",
         "thumbrover: Controller not connected\nBattery: unknown",
         "Controller not connected",
         "Battery: unknown",
         true},
        {{std::nullopt, false, false, std::nullopt},
         "gamecontroller",
         "thumbrover: Controller not connected\nBattery: unknown",
         "Controller not connected",
         "Battery: unknown",
         false},
        {{"85%", false, true, std::nullopt},
         "gamecontroller",
         "thumbrover: Off\nBattery: 85%",
         "Off",
         "Battery: 85%",
         false},
        {{std::nullopt, true, true, std::nullopt},
         "gamecontroller.fill",
         "thumbrover: On\nBattery: unknown",
         "On",
         "Battery: unknown",
         true},
        {{"Low", true, true, std::nullopt},
         "gamecontroller.fill",
         "thumbrover: On\nBattery: Low",
         "On",
         "Battery: Low",
         true},
    };
    for (const Case& c : cases) {
        const StatusMenu menu = build_status_menu(c.status, std::nullopt, mac_labels());
        EXPECT_EQ(menu.icon_name, c.icon);
        EXPECT_EQ(menu.active, menu.icon_name == kIconActive);
        EXPECT_EQ(menu.tooltip, c.tooltip);
        const std::vector<std::string> expected = {
            c.first,
            c.battery,
            "---",
            "Enabled" + action(MenuAction::Toggle) + (c.checked ? " [x]" : ""),
            "Settings\u2026" + action(MenuAction::OpenSettings) + " key ,",
            "Customize Buttons\u2026" + action(MenuAction::OpenButtons),
            "Setup & Permissions\u2026" + action(MenuAction::OpenSetup),
            "---",
            "Quit Thumbrover" + action(MenuAction::Quit) + " key q",
        };
        EXPECT_EQ(lines(menu), expected);
    }
}

// A tray menu on Linux takes no key equivalents, so its items show none.
TEST(StatusMenu, LinuxItemsHaveNoKeyEquivalents) {
    const StatusMenu menu = build_status_menu(EngineStatus{}, std::nullopt, linux_labels());
    for (const MenuItem& item : menu.items)
        EXPECT_TRUE(item.key_equivalent.empty()) << item.title;
}

TEST(StatusMenu, AnApplicationsOwnBindingsAreNamedAfterTheBatteryLine) {
    const StatusMenu menu =
        build_status_menu(EngineStatus{"85%", true, true, "VLC"}, UpdateOffer{"0.2.0", "u", ""});
    const std::vector<std::string> shown = lines(menu);
    ASSERT_GE(shown.size(), 4u);
    EXPECT_EQ(shown[1], "Battery: 85%");
    EXPECT_EQ(shown[2], "Buttons for VLC");
    EXPECT_EQ(shown[3], "Update Available: 0.2.0\u2026" + action(MenuAction::OpenUpdate));
    EXPECT_EQ(menu.tooltip, "thumbrover: On\nBattery: 85%");
}

TEST(StatusMenu, UpdateOfferComesAfterTheBatteryLineWithItsNotesAsTooltip) {
    const EngineStatus status{std::nullopt, true, true, std::nullopt};
    const StatusMenu with_notes =
        build_status_menu(status, UpdateOffer{"0.2.0", "https://x/dl", "Fixes <b>stuck</b> keys"});
    ASSERT_GE(with_notes.items.size(), 3u);
    EXPECT_EQ(lines(with_notes)[2], "Update Available: 0.2.0\u2026" +
                                        action(MenuAction::OpenUpdate) +
                                        " tip Fixes <b>stuck</b> keys");
    EXPECT_EQ(with_notes.items.size(), 10u);

    const StatusMenu without_notes = build_status_menu(status, UpdateOffer{"0.2.0", "u", ""});
    EXPECT_EQ(lines(without_notes)[2],
              "Update Available: 0.2.0\u2026" + action(MenuAction::OpenUpdate));
}

TEST(StatusMenuModel, RebuildsOnlyWhenTheCounterOrTheOfferMoves) {
    StatusMenuModel model;
    int reads = 0;
    EngineStatus status{std::nullopt, true, false, std::nullopt};
    auto read = [&] {
        ++reads;
        return status;
    };
    const std::optional<UpdateOffer> none;
    const std::optional<UpdateOffer> offer = UpdateOffer{"0.2.0", "https://x", "n"};

    EXPECT_TRUE(model.refresh(1, none, read));  // first refresh always builds
    EXPECT_FALSE(model.refresh(1, none, read));
    EXPECT_FALSE(model.refresh(1, none, read));
    EXPECT_EQ(reads, 1);

    // Two changes between ticks: one rebuild, showing the latest.
    status.connected = true;
    status.enabled = false;
    EXPECT_TRUE(model.refresh(3, none, read));
    EXPECT_EQ(model.menu().items[0].title, "Off");
    EXPECT_EQ(reads, 2);

    EXPECT_TRUE(model.refresh(3, offer, read));
    EXPECT_EQ(model.menu().items.size(), 10u);
    EXPECT_FALSE(model.refresh(3, offer, read));
    UpdateOffer new_notes = *offer;
    new_notes.notes = "other";
    EXPECT_TRUE(model.refresh(3, new_notes, read));
    // The offer withdrawn: the item goes.
    EXPECT_TRUE(model.refresh(3, none, read));
    EXPECT_EQ(model.menu().items.size(), 9u);
    EXPECT_EQ(reads, 5);
}

TEST(StatusMenuModel, FollowsTheEngineLink) {
    auto [sender, receiver] = make_channel<EngineMessage>();
    EngineLink link(sender, true);
    StatusMenuModel model;
    EXPECT_TRUE(model.refresh(link, std::nullopt));
    EXPECT_EQ(model.menu().items[0].title, "Controller not connected");
    EXPECT_FALSE(model.refresh(link, std::nullopt));
    link.set_connected(true);
    link.set_battery("40%");
    EXPECT_TRUE(model.refresh(link, std::nullopt));
    EXPECT_EQ(model.menu().items[0].title, "On");
    EXPECT_EQ(model.menu().items[1].title, "Battery: 40%");
    EXPECT_EQ(model.menu().icon_name, kIconActive);
}

TEST(PlainTextAsMarkup, EscapesEverythingAMarkupReaderWouldInterpret) {
    EXPECT_EQ(plain_text_as_markup("a < b & \"c\" > 'd'\nnext"),
              "a &lt; b &amp; &quot;c&quot; &gt; &#39;d&#39;<br>next");
    EXPECT_EQ(plain_text_as_markup("caf\u00e9"), "caf\u00e9");
}

}  // namespace
}  // namespace thumbrover
