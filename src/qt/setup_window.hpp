#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/app/tick.hpp"
#include "core/ui/access.hpp"
#include "platform/system_services.hpp"

class QCheckBox;
class QLabel;
class QPushButton;

namespace thumbrover {

class StatusSymbolLabel;

struct SetupWindowSources {
    // The connected controller's name, and its battery text ("Low", "85%") when it reports one.
    std::function<std::optional<std::string>()> controller_name;
    std::function<std::optional<std::string>()> battery_text;
};

struct SetupWindowActions {
    std::function<void()> open_input_settings;
    std::function<void()> open_bluetooth;
    std::function<void()> restart;
};

// "Set Up Thumbrover": the input permission, the controller and the login item, each row turning
// green as soon as its condition holds. "Done" (also the Return key) remembers that setup is
// finished and closes the window; so does closing it once the permission is granted. Main thread
// only.
class SetupWindow final : public QDialog, public LiveWindow {
    Q_OBJECT

  public:
    // `wording`: how the platform speaks of its permission to post input.
    SetupWindow(std::filesystem::path app_dir, LoginItem& login_item, InputPermission& permission,
                TrustAtStart& trust, SetupWindowSources sources, SetupWindowActions actions,
                const PermissionWording& wording);

    // Refreshes every row and brings the window to the front.
    void open();

    [[nodiscard]] bool is_visible() const override { return isVisible(); }
    void refresh_live_rows() override;

    [[nodiscard]] StatusSymbolLabel* access_symbol() const { return access_symbol_; }
    [[nodiscard]] QLabel* access_detail() const { return access_detail_; }
    [[nodiscard]] QPushButton* access_button() const { return access_button_; }
    [[nodiscard]] StatusSymbolLabel* controller_symbol() const { return controller_symbol_; }
    [[nodiscard]] QLabel* controller_detail() const { return controller_detail_; }
    [[nodiscard]] QPushButton* bluetooth_button() const { return bluetooth_button_; }
    [[nodiscard]] QCheckBox* login_checkbox() const { return login_; }
    [[nodiscard]] QWidget* restart_row() const { return restart_row_; }
    [[nodiscard]] QPushButton* done_button() const { return done_; }

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    void finish();

    bool finished_ = false;
    std::filesystem::path app_dir_;
    LoginItem& login_item_;
    InputPermission& permission_;
    const PermissionWording& wording_;
    TrustAtStart& trust_;
    SetupWindowSources sources_;
    SetupWindowActions actions_;

    StatusSymbolLabel* access_symbol_ = nullptr;
    QLabel* access_detail_ = nullptr;
    QPushButton* access_button_ = nullptr;
    StatusSymbolLabel* controller_symbol_ = nullptr;
    QLabel* controller_detail_ = nullptr;
    QPushButton* bluetooth_button_ = nullptr;
    QCheckBox* login_ = nullptr;
    QWidget* restart_row_ = nullptr;
    QPushButton* done_ = nullptr;
};

}  // namespace thumbrover
