#include "qt/settings_window.hpp"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <utility>

#include "core/services/services.hpp"
#include "core/ui/settings_window.hpp"
#include "qt/window_widgets.hpp"

namespace thumbrover {
namespace {

// The widest value each label format can show, so the label never changes width while a slider
// is dragged and the row does not jump.
QString widest_value_text(const SliderSpec& spec) {
    return qt_text(format_slider_value(spec.format, spec.maximum)) + QStringLiteral("0");
}

}  // namespace

SettingsWindow::SettingsWindow(SettingsStore& store, LoginItem& login_item,
                               InputPermission& permission, TrustAtStart& trust,
                               SettingsWindowActions actions, const PermissionWording& wording)
    : store_(store),
      login_item_(login_item),
      permission_(permission),
      wording_(wording),
      trust_(trust),
      actions_(std::move(actions)) {
    auto* column = make_window_column(*this, settings_texts::kTitle, "settings_window", 10);

    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(make_application_icon(48, this), 0, Qt::AlignVCenter);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(make_heading(settings_texts::kHeading, 16, this));
    titles->addWidget(make_note(settings_texts::kNote, 400, this));
    header->addLayout(titles, 1);
    column->addLayout(header);

    // One grid for every section, so labels, sliders and values line up across sections.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(10);
    grid->setColumnStretch(1, 1);
    const auto& specs = slider_specs();
    const Config& config = store_.get();
    int row = 0;
    for (const std::string_view section : slider_sections()) {
        grid->addWidget(make_separator(520, this), row++, 0, 1, 3);
        grid->addWidget(make_heading(section, 13, this), row++, 0, 1, 3);
        for (std::size_t i = 0; i < kSliderCount; ++i) {
            const SliderSpec& spec = specs[i];
            if (spec.section != section) continue;
            auto* label = new QLabel(mnemonic_free(spec.label), this);
            label->setMinimumWidth(180);
            auto* slider = new FocusWheelSlider(Qt::Horizontal, this);
            slider->setObjectName(qt_text(spec.field));
            slider->setRange(slider_position(spec, spec.minimum),
                             slider_position(spec, spec.maximum));
            slider->setSingleStep(std::max(1, (slider->maximum() - slider->minimum()) / 100));
            slider->setPageStep(std::max(1, (slider->maximum() - slider->minimum()) / 10));
            slider->setTracking(true);
            slider->setMinimumWidth(234);
            slider->setValue(slider_position(spec, spec.read(config)));
            label->setBuddy(slider);
            auto* value = new QLabel(this);
            value->setAlignment(Qt::AlignCenter);
            value->setMinimumWidth(
                std::max(90, value->fontMetrics().horizontalAdvance(widest_value_text(spec))));
            value->setText(qt_text(format_slider_value(spec.format, spec.read(config))));
            slider->setAccessibleDescription(value->text());
            connect(slider, &QSlider::valueChanged, this,
                    [this, i](int position) { slider_moved(i, position); });
            grid->addWidget(label, row, 0);
            grid->addWidget(slider, row, 1);
            grid->addWidget(value, row, 2);
            ++row;
            sliders_[i] = slider;
            values_[i] = value;
            if (spec.field == settings_texts::kCircleSizeField) {
                circle_slider_ = i;
                ring_note_ = make_note(settings_texts::kRingUnavailable, 340, this);
                ring_note_->setObjectName(QStringLiteral("ring_note"));
                ring_note_->setVisible(false);
                grid->addWidget(ring_note_, row++, 1, 1, 2);
            }
        }
    }
    grid->addWidget(make_separator(520, this), row++, 0, 1, 3);
    grid->addWidget(make_heading(settings_texts::kGeneral, 13, this), row++, 0, 1, 3);
    column->addLayout(grid);

    login_ = new QCheckBox(mnemonic_free(settings_texts::kLoginCheckbox), this);
    connect(login_, &QCheckBox::clicked, this, [this](bool checked) {
        show_login_checkbox(*login_,
                            thumbrover::login_checkbox(toggle_login_item(login_item_, checked)));
    });
    column->addWidget(login_);
    updates_ = new QCheckBox(mnemonic_free(settings_texts::kUpdateCheckbox), this);
    updates_->setObjectName(QStringLiteral("check_for_updates"));
    updates_->setChecked(config.check_for_updates);
    connect(updates_, &QCheckBox::clicked, this,
            [this](bool checked) { store_.set_check_for_updates(checked); });
    column->addWidget(updates_);

    auto* access = new QHBoxLayout;
    access->setSpacing(8);
    access_symbol_ = new StatusSymbolLabel(18, this);
    access_text_ = new QLabel(this);
    privacy_ = new QPushButton(mnemonic_free(settings_texts::kOpenPrivacySettings), this);
    connect(privacy_, &QPushButton::clicked, this, [this] {
        if (actions_.open_privacy_settings) actions_.open_privacy_settings();
    });
    access->addWidget(access_symbol_, 0, Qt::AlignVCenter);
    access->addWidget(access_text_, 0, Qt::AlignVCenter);
    access->addWidget(privacy_, 0, Qt::AlignVCenter);
    access->addStretch(1);
    column->addLayout(access);

    column->addWidget(make_separator(520, this));

    const auto button_row = [this, column](std::string_view first, std::function<void()> on_first,
                                           std::string_view second,
                                           std::function<void()> on_second) {
        auto* row_layout = new QHBoxLayout;
        row_layout->setSpacing(8);
        row_layout->addStretch(1);
        for (auto& [title, action] :
             {std::pair{first, std::move(on_first)}, std::pair{second, std::move(on_second)}}) {
            auto* button = new QPushButton(mnemonic_free(title), this);
            connect(button, &QPushButton::clicked, this, [action] {
                if (action) action();
            });
            row_layout->addWidget(button);
        }
        row_layout->addStretch(1);
        column->addLayout(row_layout);
    };
    button_row(
        settings_texts::kCustomizeButtons,
        [this] {
            if (actions_.open_buttons) actions_.open_buttons();
        },
        settings_texts::kSetupAndPermissions,
        [this] {
            if (actions_.open_setup) actions_.open_setup();
        });
    button_row(
        settings_texts::kOpenConfigFile,
        [this] {
            if (actions_.open_config_file) actions_.open_config_file();
        },
        settings_texts::kRestoreDefaults,
        [this] {
            if (confirm_change(*this, settings_texts::kConfirmRestoreDefaults,
                               settings_texts::kConfirmRestoreDefaultsDetail,
                               settings_texts::kRestoreDefaults))
                restore_defaults();
        });

    column->addWidget(make_note(settings_texts::kTrademark, 520, this));
    refresh_live_rows();
}

void SettingsWindow::set_ring_unavailable(bool unavailable) {
    sliders_[circle_slider_]->setEnabled(!unavailable);
    values_[circle_slider_]->setEnabled(!unavailable);
    if (ring_note_ != nullptr) ring_note_->setVisible(unavailable);
}

void SettingsWindow::open() {
    store_.reload();
    refresh_sliders();
    refresh_live_rows();
    show_window(*this);
}

void SettingsWindow::refresh_sliders() {
    show_rows(slider_rows(store_.get()));
    set_checked_quietly(*updates_, store_.get().check_for_updates);
}

void SettingsWindow::show_rows(const std::array<SliderRow, kSliderCount>& rows) {
    const auto& specs = slider_specs();
    for (std::size_t i = 0; i < kSliderCount; ++i) {
        const QSignalBlocker quiet(sliders_[i]);
        sliders_[i]->setValue(slider_position(specs[i], rows[i].value));
        show_value(i, rows[i].text);
        sliders_[i]->setToolTip(
            rows[i].out_of_range
                ? qt_text(std::string(settings_texts::kOutOfRangeTip) +
                          format_slider_value(specs[i].format, specs[i].minimum) + " to " +
                          format_slider_value(specs[i].format, specs[i].maximum) + ".")
                : QString());
    }
}

void SettingsWindow::show_value(std::size_t index, std::string_view text) {
    values_[index]->setText(qt_text(text));
    // A screen reader would read the slider's own steps (20 for a curve of 2.0); it is told the
    // value as the window shows it.
    sliders_[index]->setAccessibleDescription(qt_text(text));
}

void SettingsWindow::refresh_live_rows() {
    const SettingsSystemRows rows =
        settings_system_rows(permission_.granted(), trust_.get(), login_item_.state(), wording_);
    show_login_checkbox(*login_, rows.login);
    access_symbol_->set_symbol(rows.access.symbol);
    access_text_->setText(qt_text(rows.access.text));
    privacy_->setVisible(rows.access.button_visible);
}

void SettingsWindow::slider_moved(std::size_t index, int position) {
    const SliderSpec& spec = slider_specs()[index];
    const std::optional<std::string> text = settings_slider_changed(
        store_, static_cast<std::int64_t>(index), slider_value(spec, position));
    if (text) show_value(index, *text);
}

void SettingsWindow::restore_defaults() {
    show_rows(settings_restore_defaults(store_));
}

}  // namespace thumbrover
