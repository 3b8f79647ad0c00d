#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "core/app/tick.hpp"
#include "core/ui/access.hpp"
#include "core/ui/settings_store.hpp"
#include "core/ui/sliders.hpp"
#include "platform/system_services.hpp"

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace thumbrover {

class StatusSymbolLabel;

// What the Settings window's buttons lead to outside the window itself.
struct SettingsWindowActions {
    std::function<void()> open_buttons;
    std::function<void()> open_setup;
    std::function<void()> open_privacy_settings;
    std::function<void()> open_config_file;
};

// "Thumbrover Settings": one slider per number of the settings, the login checkbox and the
// input-permission row. Every slider movement is saved and applied through the settings store at
// once. Closing only hides the window; `open` re-reads the settings file and shows it again.
// Main thread only.
class SettingsWindow final : public QWidget, public LiveWindow {
    Q_OBJECT

  public:
    // `wording`: how the platform speaks of its permission to post input.
    SettingsWindow(SettingsStore& store, LoginItem& login_item, InputPermission& permission,
                   TrustAtStart& trust, SettingsWindowActions actions,
                   const PermissionWording& wording);

    // Re-reads the settings file, refreshes every control and brings the window to the front.
    void open();
    // The sliders from the settings store, without saving anything.
    void refresh_sliders();

    // Greys out the circle-size slider, with a line saying why, where the session shows no
    // steering circle.
    void set_ring_unavailable(bool unavailable);

    [[nodiscard]] bool is_visible() const override { return isVisible(); }
    // The permission row and the login checkbox follow the system; the sliders are left alone.
    void refresh_live_rows() override;

    [[nodiscard]] QSlider* slider(std::size_t index) const { return sliders_.at(index); }
    [[nodiscard]] QLabel* value_label(std::size_t index) const { return values_.at(index); }
    [[nodiscard]] QCheckBox* login_checkbox() const { return login_; }
    [[nodiscard]] QCheckBox* update_checkbox() const { return updates_; }
    [[nodiscard]] StatusSymbolLabel* access_symbol() const { return access_symbol_; }
    [[nodiscard]] QLabel* access_text() const { return access_text_; }
    [[nodiscard]] QPushButton* privacy_button() const { return privacy_; }
    [[nodiscard]] QLabel* ring_note() const { return ring_note_; }

  private:
    void slider_moved(std::size_t index, int position);
    void restore_defaults();
    void show_value(std::size_t index, std::string_view text);
    void show_rows(const std::array<struct SliderRow, kSliderCount>& rows);

    SettingsStore& store_;
    LoginItem& login_item_;
    InputPermission& permission_;
    const PermissionWording& wording_;
    TrustAtStart& trust_;
    SettingsWindowActions actions_;

    std::array<QSlider*, kSliderCount> sliders_{};
    std::array<QLabel*, kSliderCount> values_{};
    QCheckBox* login_ = nullptr;
    QCheckBox* updates_ = nullptr;
    StatusSymbolLabel* access_symbol_ = nullptr;
    QLabel* access_text_ = nullptr;
    QPushButton* privacy_ = nullptr;
    std::size_t circle_slider_ = 0;
    QLabel* ring_note_ = nullptr;
};

}  // namespace thumbrover
