#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
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
#include "fakes/circle.hpp"
#include "fakes/engine_requests.hpp"
#include "fakes/notifier.hpp"
#include "fakes/system_services.hpp"
#include "platform/notifier.hpp"
#include "platform/system_services.hpp"
#include "qt/windows.hpp"
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

using fakes::FakeDesktop;
using fakes::FakeLoginItem;
using fakes::FakePermission;
using FakeEngine = fakes::RecordingEngine;
using FakeCircle = fakes::RecordingCircle;
using FakeNotifier = fakes::RecordingNotifier;

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
        desktop_.executable = "/usr/bin/thumbrover";
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
    // Windows over `app_dir` wired to this fixture's store, login item and engine, with every
    // platform choice at its default; a test sets the ones it needs before building them.
    WindowServices services(const std::filesystem::path& app_dir, TrustAtStart& trust,
                            InputPermission& permission, Desktop& desktop) {
        return WindowServices{.store = store_,
                              .login_item = login_,
                              .permission = permission,
                              .desktop = desktop,
                              .engine = engine_,
                              .app_dir = app_dir,
                              .trust = trust,
                              .controller_name = {},
                              .battery_text = {},
                              .settle_settings_file = {},
                              .bluetooth_command = {},
                              .unshifted_key = {},
                              .input_settings_pane = {}};
    }

    // As the Linux program has them: these tests run on Linux.
    WindowServices linux_services() {
        WindowServices wired = services(dir_.path(), trust_, permission_, desktop_);
        wired.controller_name = [this] { return controller_name_; };
        wired.battery_text = [this] { return battery_; };
        wired.settle_settings_file = [this] { effects_.flush(); };
        wired.bluetooth_command = "exec bluetooth-settings";
        wired.wording = kXDisplayWording;
        wired.offered = OfferedActions{.on_screen_keyboard = true};
        return wired;
    }

    QtWindows windows_{linux_services()};
    std::optional<std::string> controller_name_;
    std::optional<std::string> battery_;
};

// Answers the next confirmation question a window asks (a modal message box) with the button
// titled `choice`, from the event loop the question runs. The flag tells whether one was asked.
inline std::shared_ptr<bool> answer_next_question(QString choice) {
    auto asked = std::make_shared<bool>(false);
    QTimer::singleShot(0, [choice, asked] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        *asked = true;
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == choice) {
                button->click();
                return;
            }
        }
        box->reject();
    });
    return asked;
}

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
