#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <chrono>
#include <functional>

#include "core/ui/settings_window.hpp"
#include "qt/buttons_window.hpp"
#include "qt/file_banner.hpp"
#include "qt/settings_file_watch.hpp"
#include "qt/settings_window.hpp"
#include "window_test_support.hpp"

namespace thumbrover::testing {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kDeadzone = 2;
constexpr std::size_t kHoldMs = 6;

bool settles(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Saved the way most editors save: a new file renamed over the old one.
void save_by_rename(const std::filesystem::path& file, const std::string& text) {
    const std::filesystem::path fresh = file.string() + ".new";
    write_text(fresh, text);
    std::filesystem::rename(fresh, file);
}

class SettingsFileFollowTest : public WindowsTest {
  protected:
    SettingsFileFollowTest() {
        EXPECT_TRUE(write_config(file_, Config{}));
        windows_.open_settings();
        windows_.open_buttons();
        static_cast<void>(sent_to_engine());
    }

    QString hold_label() { return windows_.settings_window()->value_label(kHoldMs)->text(); }

    // Built after the first write, as the program builds it once the file exists.
    SettingsFileWatch watch_{file_, [this] { store_.follow_file(); }, 10ms};
};

TEST_F(SettingsFileFollowTest, ASavedEditAppliesAtOnceAMistakeChangesNothingUntilItIsMended) {
    Config edited;
    edited.hold_ms = 700;
    edited.buttons = default_bindings();
    save_by_rename(file_, config_to_text(edited));
    ASSERT_TRUE(settles([&] { return hold_label() == QStringLiteral("700 ms"); }));
    std::vector<Config> sent = sent_to_engine();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent.back().hold_ms, 700u);
    EXPECT_FALSE(windows_.settings_banner()->isVisibleTo(windows_.settings_window()));

    // A mistake written in place: nothing in use changes, both windows say where it is.
    write_text(file_, "hold_ms = 900\nstick_deadzone = \"wide\"\n");
    ASSERT_TRUE(settles([&] { return !windows_.settings_banner()->isHidden(); }));
    EXPECT_FALSE(windows_.buttons_banner()->isHidden());
    const std::string banner = windows_.settings_banner()->text()->text().toStdString();
    EXPECT_NE(banner.find("line 2, column 18, key `stick_deadzone`: invalid type"),
              std::string::npos)
        << banner;
    EXPECT_NE(banner.find("config.toml.bak"), std::string::npos) << banner;
    EXPECT_EQ(hold_label(), QStringLiteral("700 ms"));
    EXPECT_TRUE(sent_to_engine().empty());
    ASSERT_EQ(notifier_.shown().size(), 1u);
    EXPECT_EQ(notifier_.shown()[0].heading, "Thumbrover settings have a mistake");
    EXPECT_NE(notifier_.shown()[0].body.find("config.toml, line 2, column 18"), std::string::npos);

    windows_.settings_banner()->open_button()->click();
    ASSERT_EQ(desktop_.opened.size(), 1u);
    EXPECT_EQ(desktop_.opened[0], file_.string());

    // Mended: used at once, the banners go.
    save_by_rename(file_, "hold_ms = 900\nstick_deadzone = 0.2\n");
    ASSERT_TRUE(settles([&] { return hold_label() == QStringLiteral("900 ms"); }));
    EXPECT_TRUE(windows_.settings_banner()->isHidden());
    EXPECT_TRUE(windows_.buttons_banner()->isHidden());
    sent = sent_to_engine();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent.back().stick_deadzone, 0.2f);
    EXPECT_EQ(notifier_.shown().size(), 1u);
}

TEST_F(SettingsFileFollowTest, TheWindowsOwnWritesAreNotTakenForHandEdits) {
    SettingsWindow& window = *windows_.settings_window();
    window.slider(kDeadzone)->setValue(200);
    window.slider(kHoldMs)->setValue(800);
    effects_.flush();
    EXPECT_EQ(sent_to_engine().size(), 2u);
    // Time for the watch to tell of both writes; the store knows them as its own.
    settles([] { return false; });
    EXPECT_TRUE(sent_to_engine().empty());
    EXPECT_EQ(window.value_label(kHoldMs)->text(), QStringLiteral("800 ms"));
}

TEST_F(SettingsFileFollowTest, AChangeMadeInAWindowReplacesTheMistakeAndTheBannerGoes) {
    const std::string broken = "pointer_sped = 900.0\n";
    write_text(file_, broken);
    ASSERT_TRUE(settles([&] { return !windows_.settings_banner()->isHidden(); }));
    windows_.settings_window()->update_checkbox()->click();
    EXPECT_TRUE(windows_.settings_banner()->isHidden());
    EXPECT_TRUE(windows_.buttons_banner()->isHidden());
    EXPECT_NE(file_text().find("check_for_updates = false\n"), std::string::npos);
    EXPECT_EQ(read_text(dir_ / "config.toml.bak"), broken);
    ASSERT_FALSE(sent_to_engine().back().check_for_updates);
}

}  // namespace
}  // namespace thumbrover::testing
