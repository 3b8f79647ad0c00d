#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/circle/circle.hpp"
#include "core/engine/link.hpp"
#include "core/engine/messages.hpp"
#include "core/settings/config.hpp"
#include "core/settings/config_file.hpp"
#include "core/ui/app_settings_effects.hpp"
#include "core/ui/settings_store.hpp"
#include "linux/linux_windows.hpp"
#include "platform/notifier.hpp"
#include "platform/system_services.hpp"
#include "test_support.hpp"

namespace thumbrover::testing {

// The one application object of the test program. The windows are driven on the offscreen
// platform, so the tests pass with and without a display. It is never destroyed: at exit Qt's own
// globals may already be gone.
inline QApplication& windows_app() {
    static QApplication* application = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "thumbrover-windows-test";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *application;
}

class FakeLoginItem final : public LoginItem {
  public:
    bool on = false;
    bool refuse = false;
    std::vector<bool> requests;

    bool enabled() override { return on; }
    Result<void> set_enabled(bool enabled) override {
        requests.push_back(enabled);
        if (refuse) return Error{"refused"};
        on = enabled;
        return {};
    }
};

class FakePermission final : public InputPermission {
  public:
    bool granted_now = true;
    int requests = 0;
    bool granted() override { return granted_now; }
    void request() override { ++requests; }
};

class FakeDesktop final : public Desktop {
  public:
    std::vector<std::string> opened;
    std::vector<std::string> shells;

    Result<void> open(const std::string& target) override {
        opened.push_back(target);
        return {};
    }
    Result<void> start_shell(const std::string& command, const std::string&) override {
        shells.push_back(command);
        return {};
    }
    [[nodiscard]] std::string restart_command() const override { return "sleep 1; exec \"$0\""; }
    [[nodiscard]] std::optional<std::filesystem::path> bundle_path() const override {
        return std::nullopt;
    }
    [[nodiscard]] std::optional<std::filesystem::path> executable_path() const override {
        return std::filesystem::path("/usr/bin/thumbrover");
    }
};

class FakeEngine final : public EngineRequests {
  public:
    int toggles = 0;
    int quits = 0;
    void send_toggle() override { ++toggles; }
    void send_quit() override { ++quits; }
};

class FakeCircle final : public CircleScaleTarget {
  public:
    std::vector<float> scales;
    void change_circle_scale(float scale) override { scales.push_back(scale); }
};

class FakeNotifier final : public Notifier {
  public:
    std::vector<std::string> shown;
    void notify(std::string_view heading, std::string_view body) override {
        shown.push_back(std::string(heading) + " | " + std::string(body));
    }
};

inline std::string read_text(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void write_text(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

// The windows as the program wires them: the real settings file in a folder of the test's own,
// the background writer, and an engine link whose messages the test reads.
class WindowsTest : public ::testing::Test {
  protected:
    WindowsTest() {
        windows_app();
        auto [sender, receiver] = make_channel<EngineMessage>();
        receiver_ = std::make_unique<EngineReceiver>(std::move(receiver));
        link_ = std::make_shared<EngineLink>(std::move(sender), true);
    }

    // The settings file once every change made so far has been written.
    std::string file_text() {
        effects_.flush();
        return read_text(file_);
    }
    Config file_config() {
        effects_.flush();
        return load_config(file_);
    }

    // The settings the engine has been sent since the last call, oldest first.
    std::vector<Config> sent_to_engine() {
        std::vector<Config> configs;
        while (auto message = receiver_->try_recv()) {
            if (auto* changed = std::get_if<ConfigChangedMessage>(&message->payload))
                configs.push_back(*changed->config);
        }
        return configs;
    }

    TempDir dir_;
    std::filesystem::path file_ = config_path(dir_.path());
    std::unique_ptr<EngineReceiver> receiver_;
    std::shared_ptr<EngineLink> link_;
    FakeCircle circle_;
    FakeNotifier notifier_;
    AppSettingsEffects effects_{file_, circle_, notifier_, [this] { return link_.get(); }};
    SettingsStore store_{effects_};
    FakeLoginItem login_;
    FakePermission permission_;
    FakeDesktop desktop_;
    FakeEngine engine_;
    TrustAtStart trust_;
    LinuxWindows windows_{WindowServices{
        .store = store_,
        .login_item = login_,
        .permission = permission_,
        .desktop = desktop_,
        .engine = engine_,
        .app_dir = dir_.path(),
        .trust = trust_,
        .controller_name = [this] { return controller_name_; },
        .battery_text = [this] { return battery_; },
        .settle_settings_file = [this] { effects_.flush(); },
    }};
    std::optional<std::string> controller_name_;
    std::optional<std::string> battery_;
};

// What a pop-up lists, separators as "---".
inline std::vector<std::string> popup_items(const QComboBox& popup) {
    std::vector<std::string> items;
    for (int i = 0; i < popup.count(); ++i) {
        const bool separator = popup.itemData(i, Qt::AccessibleDescriptionRole).toString() ==
                               QStringLiteral("separator");
        items.push_back(separator ? "---" : popup.itemText(i).toStdString());
    }
    return items;
}

// Chooses entry `index` as a user would: the pop-up shows it and reports the activation.
inline void choose(QComboBox& popup, int index) {
    popup.setCurrentIndex(index);
    emit popup.activated(index);
}

}  // namespace thumbrover::testing
