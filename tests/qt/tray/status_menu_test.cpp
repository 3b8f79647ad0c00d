#include "qt/status_menu.hpp"

#include <gtest/gtest.h>

#include "core/bindings/labels.hpp"
#include "qt/qt_app.hpp"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <vector>

namespace thumbrover {
namespace {

struct Row {
    QString text;
    bool enabled;
    bool checkable;
    bool checked;
    bool separator;
};

std::vector<Row> rows(const QMenu& menu) {
    std::vector<Row> out;
    for (const QAction* a : menu.actions())
        out.push_back(
            {a->text(), a->isEnabled(), a->isCheckable(), a->isChecked(), a->isSeparator()});
    return out;
}

class TrayMenuTest : public ::testing::Test {
  protected:
    void SetUp() override { testing::qt_app(); }
    EngineLink link{EngineSender{}, true};
    std::optional<UpdateOffer> offer;
    std::vector<MenuAction> chosen;
    TrayMenu tray{[this](MenuAction a) { chosen.push_back(a); }, [this] { return offer; }};
};

TEST_F(TrayMenuTest, ShowsTheModelsItemsInOrderWithTheirStates) {
    link.set_connected(true);
    link.set_battery("85%");
    tray.refresh_menu(link);
    ASSERT_NE(tray.menu(), nullptr);
    const auto r = rows(*tray.menu());
    ASSERT_EQ(r.size(), 9u);
    EXPECT_EQ(r[0].text, "On");
    EXPECT_FALSE(r[0].enabled);
    EXPECT_EQ(r[1].text, "Battery: 85%");
    EXPECT_FALSE(r[1].enabled);
    EXPECT_TRUE(r[2].separator);
    EXPECT_EQ(r[3].text, "Enabled");
    EXPECT_TRUE(r[3].enabled && r[3].checkable && r[3].checked);
    EXPECT_EQ(r[4].text, QString::fromUtf8("Settings…"));
    EXPECT_EQ(r[5].text, QString::fromUtf8("Customize Buttons…"));
    EXPECT_EQ(r[6].text, QString::fromUtf8("Setup & Permissions…").replace("&", "&&"));
    EXPECT_TRUE(r[7].separator);
    EXPECT_EQ(r[8].text, "Quit Thumbrover");
    // Key equivalents only where the platform's menu takes them (a tray menu on Linux does not).
    const auto shortcut = [](std::string_view key) {
        return key.empty() ? QKeySequence()
                           : QKeySequence("Ctrl+" + QString::fromUtf8(
                                                        key.data(), static_cast<int>(key.size())));
    };
    EXPECT_EQ(tray.menu()->actions()[8]->shortcut(), shortcut(native_labels().quit_key_equivalent));
    EXPECT_EQ(tray.menu()->actions()[4]->shortcut(),
              shortcut(native_labels().settings_key_equivalent));
    EXPECT_EQ(tray.tray()->toolTip(), "thumbrover: On\nBattery: 85%");
}

TEST_F(TrayMenuTest, RebuildsOnlyWhenTheStatusOrOfferChanges) {
    tray.refresh_menu(link);
    tray.refresh_menu(link);
    EXPECT_EQ(tray.rebuilds(), 1);
    EXPECT_EQ(rows(*tray.menu())[0].text, "Controller not connected");

    link.set_connected(true);
    link.set_enabled(false);
    tray.refresh_menu(link);
    EXPECT_EQ(tray.rebuilds(), 2) << "two changes between ticks give one rebuild";
    EXPECT_EQ(rows(*tray.menu())[0].text, "Off");
    EXPECT_FALSE(rows(*tray.menu())[3].checked);

    offer = UpdateOffer{"2.0 & more", "https://example.org/d", "Fixes <b>bold</b> & more"};
    tray.refresh_menu(link);
    EXPECT_EQ(tray.rebuilds(), 3);
    const QAction* update = tray.menu()->actions()[2];
    EXPECT_EQ(update->text(), QString::fromUtf8("Update Available: 2.0 && more…"));
    EXPECT_TRUE(update->isEnabled());
    EXPECT_TRUE(update->toolTip().contains("&lt;b&gt;")) << "notes are shown literally";
    tray.refresh_menu(link);
    EXPECT_EQ(tray.rebuilds(), 3);
}

TEST_F(TrayMenuTest, ChoosingAnItemReachesTheHandlerAfterTheSignalReturns) {
    tray.refresh_menu(link);
    const auto actions = tray.menu()->actions();
    actions[3]->trigger();
    actions.back()->trigger();
    EXPECT_TRUE(chosen.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(chosen, (std::vector{MenuAction::Toggle, MenuAction::Quit}));
    // Information lines do nothing.
    actions[0]->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(chosen.size(), 2u);
}

TEST_F(TrayMenuTest, AnActionThatRebuildsTheMenuIsSafe) {
    TrayMenu self_changing{[&](MenuAction) { link.set_enabled(!link.status().enabled); },
                           [] { return std::optional<UpdateOffer>{}; }};
    self_changing.refresh_menu(link);
    for (int i = 0; i < 3; ++i) {
        self_changing.menu()->actions()[3]->trigger();
        QCoreApplication::processEvents();
        self_changing.refresh_menu(link);
    }
    EXPECT_EQ(self_changing.rebuilds(), 4);
    EXPECT_FALSE(link.status().enabled);
}

TEST(TrayMenuIcons, ThePlatformsIconFollowsTheStateAndAMissingOneKeepsTheLast) {
    testing::qt_app();
    EngineLink link{EngineSender{}, true};
    QPixmap on(16, 16);
    on.fill(Qt::black);
    QPixmap off(16, 16);
    off.fill(Qt::white);
    std::vector<bool> asked;
    bool available = true;
    TrayMenu tray{[](MenuAction) {}, [] { return std::optional<UpdateOffer>{}; },
                  [&](bool active) {
                      asked.push_back(active);
                      return available ? QIcon(active ? on : off) : QIcon();
                  }};

    tray.refresh_menu(link);  // on, but no controller
    EXPECT_EQ(asked, std::vector<bool>{false});
    const qint64 off_icon = tray.tray()->icon().cacheKey();
    EXPECT_FALSE(tray.tray()->icon().isNull());

    available = false;
    link.set_connected(true);
    tray.refresh_menu(link);
    EXPECT_EQ(asked, (std::vector<bool>{false, true}));
    EXPECT_EQ(tray.tray()->icon().cacheKey(), off_icon);

    // Still owed the active icon, so the next rebuild asks again.
    available = true;
    link.set_battery("50%");
    tray.refresh_menu(link);
    EXPECT_EQ(asked, (std::vector<bool>{false, true, true}));
    EXPECT_NE(tray.tray()->icon().cacheKey(), off_icon);
}

TEST(TrayMenuActive, ToldOncePerChangeBetweenOnWithAControllerAndNot) {
    testing::qt_app();
    EngineLink link{EngineSender{}, true};
    std::vector<bool> told;
    TrayMenu tray{[](MenuAction) {},
                  [] { return std::optional<UpdateOffer>{}; },
                  {},
                  [&](bool active) { told.push_back(active); }};
    tray.refresh_menu(link);  // on, no controller
    link.set_connected(true);
    tray.refresh_menu(link);
    link.set_battery("50%");  // a rebuild that changes nothing of it
    tray.refresh_menu(link);
    link.set_enabled(false);
    tray.refresh_menu(link);
    link.set_enabled(true);
    link.set_connected(false);
    tray.refresh_menu(link);  // back on, but the controller went
    EXPECT_EQ(told, (std::vector<bool>{false, true, false}));
}

TEST(MenuTitle, KeepsAmpersandsLiteral) {
    EXPECT_EQ(menu_title("A & B"), "A && B");
    EXPECT_EQ(menu_title("Off"), "Off");
}

}  // namespace
}  // namespace thumbrover
