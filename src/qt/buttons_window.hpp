#pragma once

#include <QWidget>
#include <array>

#include "core/ui/buttons_window.hpp"
#include "core/ui/settings_store.hpp"
#include "qt/key_codes.hpp"

class QComboBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QPushButton;

namespace thumbrover {

// "Customize Buttons": a role pop-up per stick and a press and a hold pop-up per button, with key
// capture for any other key or shortcut. What the pop-ups list, select and do comes from the
// buttons window model; this is its view. A capture watches the application's key presses only
// while it runs. Main thread only.
class ButtonsWindow final : public QWidget {
    Q_OBJECT

  public:
    // `offered`: the actions this platform can carry out beyond the common ones.
    // `apps`: the running applications and whether the one in front can be told (null: none).
    explicit ButtonsWindow(SettingsStore& store, UnshiftedKey unshifted_key = {},
                           OfferedActions offered = {}, FrontAppWatcher* apps = nullptr);
    ~ButtonsWindow() override;

    // Re-reads the settings file, rebuilds every pop-up and brings the window to the front.
    void open();
    // Rebuilds every pop-up from the settings store (a capture in progress goes on).
    void refresh();

    // Null for the Xbox button's hold, which has no pop-up.
    [[nodiscard]] QComboBox* binding_popup(std::int64_t tag) const;
    [[nodiscard]] QComboBox* stick_popup(Stick stick) const;
    [[nodiscard]] QLabel* prompt_label() const { return prompt_; }
    [[nodiscard]] QComboBox* scope_popup() const { return scope_; }
    [[nodiscard]] QPushButton* remove_button() const { return remove_; }
    [[nodiscard]] QLabel* no_front_app_note() const { return no_front_app_; }
    // "Layer:", shown once some input of the bindings shown is the shift.
    [[nodiscard]] QComboBox* layer_popup() const { return layer_; }
    [[nodiscard]] QLabel* press_heading() const { return press_heading_; }
    // Where "Add the application…" lists the running applications; shown by `choose_app`.
    [[nodiscard]] QMenu* app_menu() const { return app_menu_; }
    [[nodiscard]] bool capturing() const { return model_.capturing(); }
    [[nodiscard]] const ButtonsWindowModel& model() const { return model_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void apply(ButtonsWindowModel::Update update);
    void rebuild_popups();
    void fit_popups();
    void start_watching_keys();
    void stop_watching_keys();
    void key_pressed(const QKeyEvent& event);
    void choose_app();

    ButtonsWindowModel model_;
    UnshiftedKey unshifted_key_;
    std::array<QComboBox*, kBindingTagCount> popups_{};
    QComboBox* left_stick_ = nullptr;
    QComboBox* right_stick_ = nullptr;
    QLabel* prompt_ = nullptr;
    QComboBox* scope_ = nullptr;
    QLabel* no_front_app_ = nullptr;
    QLabel* layer_label_ = nullptr;
    QComboBox* layer_ = nullptr;
    QLabel* press_heading_ = nullptr;
    QLabel* hold_heading_ = nullptr;
    QPushButton* restore_ = nullptr;
    QPushButton* remove_ = nullptr;
    QMenu* app_menu_ = nullptr;
    int fitted_width_ = 0;
    bool watching_keys_ = false;
};

}  // namespace thumbrover
