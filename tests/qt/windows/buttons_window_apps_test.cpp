#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include "core/ui/buttons_window.hpp"
#include "fakes/front_app.hpp"
#include "qt/buttons_window.hpp"
#include "window_test_support.hpp"

namespace thumbrover::testing {
namespace {

class ButtonsWindowAppsTest : public WindowsTest {
  protected:
    ButtonsWindow& open(bool available = true) {
        script_->available = available;
        WindowServices wired = linux_services();
        wired.front_apps = std::make_shared<fakes::ScriptedFrontApps>(*script_);
        windows_with_apps_.emplace(std::move(wired));
        windows_with_apps_->open_buttons();
        return *windows_with_apps_->buttons_window();
    }

    std::shared_ptr<fakes::FrontAppScript> script_ = std::make_shared<fakes::FrontAppScript>();
    std::optional<QtWindows> windows_with_apps_;
};

TEST_F(ButtonsWindowAppsTest, AppliesToAddsShowsAndRemovesAnApplicationsProfile) {
    script_->running = {{"firefox", "Firefox"}};
    ButtonsWindow& window = open();
    QComboBox& scope = *window.scope_popup();
    EXPECT_EQ(popup_items(scope),
              (std::vector<std::string>{"All applications", "---", "Add the application\u2026"}));
    EXPECT_TRUE(window.no_front_app_note()->isHidden());
    EXPECT_TRUE(window.remove_button()->isHidden());

    choose(scope, 2);
    const QList<QAction*> offered = window.app_menu()->actions();
    ASSERT_EQ(offered.size(), 1);
    EXPECT_EQ(offered[0]->text(), QStringLiteral("Firefox"));
    offered[0]->trigger();
    window.app_menu()->hide();
    EXPECT_EQ(scope.currentText(), QStringLiteral("Firefox"));
    EXPECT_FALSE(window.remove_button()->isHidden());
    const std::int64_t a_press = binding_tag(Button::A, BindingSide::Press);
    QComboBox& a = *window.binding_popup(a_press);
    EXPECT_EQ(a.currentText(), QStringLiteral("Same as All applications (Left click)"));

    choose(a, a.findText(QStringLiteral("Mute")));
    const Config config = file_config();
    ASSERT_EQ(config.apps.size(), 1u);
    EXPECT_EQ(config.apps[0].id, "firefox");
    EXPECT_EQ(config.apps[0].press[button_index(Button::A)], Action(ActionKind::Mute));

    const auto asked = testing::answer_next_question(QStringLiteral("Remove Application"));
    window.remove_button()->click();
    EXPECT_TRUE(*asked);
    EXPECT_TRUE(file_config().apps.empty());
    EXPECT_EQ(scope.currentText(), QStringLiteral("All applications"));
    EXPECT_EQ(a.currentText(), QStringLiteral("Left click"));
}

TEST_F(ButtonsWindowAppsTest, WithoutAWayToTellTheApplicationInFrontOneLineSaysSo) {
    ButtonsWindow& window = open(false);
    EXPECT_FALSE(window.no_front_app_note()->isHidden());
    EXPECT_EQ(window.no_front_app_note()->text().toStdString(), buttons_texts::kNoFrontApp);
    EXPECT_EQ(popup_items(*window.scope_popup()), std::vector<std::string>{"All applications"});
}

}  // namespace
}  // namespace thumbrover::testing
