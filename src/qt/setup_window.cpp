#include "qt/setup_window.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "core/services/services.hpp"
#include "core/ui/setup_window.hpp"
#include "qt/window_widgets.hpp"

namespace thumbrover {
namespace {

struct StatusRow {
    QWidget* row;
    StatusSymbolLabel* symbol;
    QLabel* detail;
    QPushButton* button;
};

StatusRow make_status_row(QWidget* parent, std::string_view title, std::string_view button_title) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto* symbol = new StatusSymbolLabel(24, row);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(make_heading(title, 13, row));
    auto* detail = make_note({}, 250, row);
    texts->addWidget(detail);
    auto* button = new QPushButton(mnemonic_free(button_title), row);
    button->setAutoDefault(false);
    layout->addWidget(symbol, 0, Qt::AlignVCenter);
    layout->addLayout(texts, 1);
    layout->addWidget(button, 0, Qt::AlignVCenter);
    row->setMinimumWidth(440);
    return {row, symbol, detail, button};
}

void call(const std::function<void()>& action) {
    if (action) action();
}

}  // namespace

SetupWindow::SetupWindow(std::filesystem::path app_dir, LoginItem& login_item,
                         InputPermission& permission, TrustAtStart& trust,
                         SetupWindowSources sources, SetupWindowActions actions,
                         const PermissionWording& wording)
    : app_dir_(std::move(app_dir)),
      login_item_(login_item),
      permission_(permission),
      wording_(wording),
      trust_(trust),
      sources_(std::move(sources)),
      actions_(std::move(actions)) {
    setModal(false);
    auto* column = make_window_column(*this, setup_texts::kTitle, "setup_window", 14);
    column->addWidget(make_application_icon(88, this), 0, Qt::AlignHCenter);
    column->addWidget(make_heading(setup_texts::kWelcome, 20, this), 0, Qt::AlignHCenter);
    auto* intro = make_note(setup_texts::kIntroLinux, 440, this);
    intro->setAlignment(Qt::AlignHCenter);
    column->addWidget(intro);
    column->addWidget(make_separator(440, this));

    const StatusRow access =
        make_status_row(this, wording_.setup_title, setup_texts::kOpenSettings);
    access_symbol_ = access.symbol;
    access_detail_ = access.detail;
    // Where the row names a command to run, the user copies it from here.
    access_detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    access_button_ = access.button;
    connect(access_button_, &QPushButton::clicked, this,
            [this] { call(actions_.open_input_settings); });
    column->addWidget(access.row);

    const StatusRow controller =
        make_status_row(this, setup_texts::kController, setup_texts::kBluetoothSettings);
    controller_symbol_ = controller.symbol;
    controller_detail_ = controller.detail;
    bluetooth_button_ = controller.button;
    connect(bluetooth_button_, &QPushButton::clicked, this,
            [this] { call(actions_.open_bluetooth); });
    column->addWidget(controller.row);
    column->addWidget(make_separator(440, this));

    login_ = new QCheckBox(mnemonic_free(setup_texts::kLoginCheckbox), this);
    connect(login_, &QCheckBox::clicked, this, [this](bool checked) {
        show_login_checkbox(*login_,
                            thumbrover::login_checkbox(toggle_login_item(login_item_, checked)));
    });
    column->addWidget(login_, 0, Qt::AlignHCenter);

    restart_row_ = new QWidget(this);
    auto* restart_layout = new QHBoxLayout(restart_row_);
    restart_layout->setContentsMargins(0, 0, 0, 0);
    restart_layout->setSpacing(12);
    restart_layout->addWidget(make_note(setup_texts::kRestartNote, 300, restart_row_), 1);
    auto* restart = new QPushButton(mnemonic_free(setup_texts::kRestartNow), restart_row_);
    restart->setAutoDefault(false);
    connect(restart, &QPushButton::clicked, this, [this] { call(actions_.restart); });
    restart_layout->addWidget(restart, 0, Qt::AlignVCenter);
    restart_row_->hide();
    column->addWidget(restart_row_, 0, Qt::AlignHCenter);

    done_ = new QPushButton(mnemonic_free(setup_texts::kDone), this);
    done_->setDefault(true);
    connect(done_, &QPushButton::clicked, this, [this] { finish(); });
    column->addWidget(done_, 0, Qt::AlignHCenter);

    refresh_live_rows();
}

void SetupWindow::open() {
    refresh_live_rows();
    show_window(*this);
    done_->setFocus();
}

void SetupWindow::refresh_live_rows() {
    const SetupRows rows =
        setup_rows(permission_.granted(), trust_,
                   sources_.controller_name ? sources_.controller_name() : std::nullopt,
                   sources_.battery_text ? sources_.battery_text() : std::nullopt,
                   login_item_.state(), wording_);
    access_symbol_->set_symbol(rows.access.symbol);
    access_detail_->setText(qt_text(rows.access.detail));
    access_button_->setVisible(rows.access.open_settings_visible);
    restart_row_->setVisible(rows.access.restart_row_visible);
    controller_symbol_->set_symbol(rows.controller.symbol);
    controller_detail_->setText(qt_text(rows.controller.detail));
    bluetooth_button_->setVisible(rows.controller.bluetooth_visible);
    show_login_checkbox(*login_, rows.login);
}

void SetupWindow::finish() {
    finish_setup(app_dir_);
    finished_ = true;
    close();
}

void SetupWindow::hideEvent(QHideEvent* event) {
    // With the permission in place nothing is left to set up: closing the window (or Esc) is as
    // good as Done, and the window does not come back at the next start.
    if (!finished_ && permission_.granted()) finish_setup(app_dir_);
    finished_ = false;
    QDialog::hideEvent(event);
}

}  // namespace thumbrover
