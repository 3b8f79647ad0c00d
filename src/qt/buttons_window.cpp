#include "qt/buttons_window.hpp"

#include <algorithm>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>

#include "qt/key_codes.hpp"
#include "qt/window_widgets.hpp"

namespace thumbrover {
namespace {

constexpr int kPopupWidth = 230;
constexpr int kLabelWidth = 150;

QComboBox* make_popup(QWidget* parent) {
    auto* popup = new FocusWheelComboBox(parent);
    popup->setMinimumWidth(kPopupWidth);
    popup->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return popup;
}

}  // namespace

ButtonsWindow::ButtonsWindow(SettingsStore& store, UnshiftedKey unshifted_key,
                             OfferedActions offered, FrontAppWatcher* apps)
    : model_(store, offered, apps), unshifted_key_(std::move(unshifted_key)) {
    auto* column = make_window_column(*this, buttons_texts::kTitle, "buttons_window", 8);
    column->addWidget(make_note(buttons_texts::kNote, 626, this));

    auto* scope_row = new QHBoxLayout;
    auto* scope_label = new QLabel(mnemonic_free(buttons_texts::kAppliesTo), this);
    scope_label->setMinimumWidth(kLabelWidth);
    scope_ = make_popup(this);
    scope_->setObjectName(QStringLiteral("applies_to"));
    scope_label->setBuddy(scope_);
    connect(scope_, &QComboBox::activated, this,
            [this](int index) { apply(model_.scope_changed(index)); });
    remove_ = new QPushButton(mnemonic_free(buttons_texts::kRemoveApp), this);
    connect(remove_, &QPushButton::clicked, this, [this] {
        if (confirm_change(*this, buttons_texts::kConfirmRemoveApp,
                           buttons_texts::kConfirmRemoveAppDetail, buttons_texts::kRemoveApp))
            apply(model_.remove_app());
    });
    scope_row->addWidget(scope_label);
    scope_row->addWidget(scope_);
    scope_row->addWidget(remove_);
    scope_row->addStretch(1);
    column->addLayout(scope_row);
    no_front_app_ = make_note(buttons_texts::kNoFrontApp, 626, this);
    // It may hold a command to copy.
    no_front_app_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(no_front_app_);

    // One pair of columns switched between the two layers keeps the window as narrow as before,
    // which a second pair beside it would not on a 1366-pixel screen once a profile widens them.
    auto* layer_row = new QHBoxLayout;
    layer_label_ = new QLabel(mnemonic_free(buttons_texts::kLayer), this);
    layer_label_->setMinimumWidth(kLabelWidth);
    layer_ = make_popup(this);
    layer_->setObjectName(QStringLiteral("layer"));
    layer_label_->setBuddy(layer_);
    for (const std::string_view title : ButtonsWindowModel::layer_titles())
        layer_->addItem(qt_text(title));
    connect(layer_, &QComboBox::activated, this,
            [this](int index) { apply(model_.layer_changed(index)); });
    layer_row->addWidget(layer_label_);
    layer_row->addWidget(layer_);
    layer_row->addStretch(1);
    column->addLayout(layer_row);
    app_menu_ = new QMenu(this);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    int row = 0;
    const auto stick_row = [&](std::string_view title, std::int64_t tag) {
        auto* label = new QLabel(mnemonic_free(title), this);
        label->setMinimumWidth(kLabelWidth);
        auto* popup = make_popup(this);
        label->setBuddy(popup);
        connect(popup, &QComboBox::activated, this,
                [this, tag](int index) { apply(model_.stick_changed(tag, index)); });
        grid->addWidget(label, row, 0);
        grid->addWidget(popup, row, 1);
        ++row;
        return popup;
    };
    left_stick_ = stick_row(buttons_texts::kLeftStick, kLeftStickTag);
    right_stick_ = stick_row(buttons_texts::kRightStick, kRightStickTag);
    grid->addWidget(make_separator(626, this), row++, 0, 1, 3);
    press_heading_ = make_heading(buttons_texts::kPressHeading, 12, this);
    hold_heading_ = make_heading(buttons_texts::kHoldHeading, 12, this);
    grid->addWidget(press_heading_, row, 1);
    grid->addWidget(hold_heading_, row, 2);
    ++row;
    for (const Button button : all_buttons()) {
        auto* label = new QLabel(mnemonic_free(button_label(button)), this);
        // Never below its text: a narrow window scrolls rather than clipping the names.
        label->setMinimumWidth(std::max(kLabelWidth, label->sizeHint().width()));
        grid->addWidget(label, row, 0);
        for (const BindingSide side : {BindingSide::Press, BindingSide::Hold}) {
            const std::int64_t tag = binding_tag(button, side);
            if (!binding_slot(tag)) {
                auto* note = make_note(buttons_texts::kXboxHoldNote, kPopupWidth, this);
                note->setMinimumWidth(kPopupWidth);
                grid->addWidget(note, row, 2);
                continue;
            }
            auto* popup = make_popup(this);
            popup->setObjectName(QStringLiteral("binding_%1").arg(tag));
            popup->setAccessibleName(
                qt_text(std::string(button_label(button)) +
                        std::string(side == BindingSide::Press ? buttons_texts::kPressSuffix
                                                               : buttons_texts::kHoldSuffix)));
            connect(popup, &QComboBox::activated, this,
                    [this, tag](int index) { apply(model_.binding_changed(tag, index)); });
            if (side == BindingSide::Press) label->setBuddy(popup);
            grid->addWidget(popup, row, side == BindingSide::Press ? 1 : 2);
            popups_[static_cast<std::size_t>(tag)] = popup;
        }
        ++row;
    }
    column->addLayout(grid);

    // Below the scrolling part, so the prompt is in view whatever the window's height.
    auto* footer = new QVBoxLayout;
    footer->setContentsMargins(24, 8, 24, 16);
    footer->setSpacing(8);
    prompt_ = new QLabel(this);
    prompt_->setWordWrap(true);
    prompt_->setTextFormat(Qt::PlainText);
    prompt_->hide();
    footer->addWidget(prompt_);

    restore_ = new QPushButton(mnemonic_free(buttons_texts::kRestoreDefaultButtons), this);
    connect(restore_, &QPushButton::clicked, this, [this] {
        if (confirm_change(*this, buttons_texts::kConfirmRestoreButtons,
                           buttons_texts::kConfirmRestoreButtonsDetail,
                           buttons_texts::kRestoreDefaultButtons))
            apply(model_.restore_default_buttons());
    });
    auto* restore_row = new QHBoxLayout;
    restore_row->addWidget(restore_);
    restore_row->addStretch(1);
    footer->addLayout(restore_row);
    static_cast<QBoxLayout*>(layout())->addLayout(footer);

    model_.refresh();
    rebuild_popups();
}

ButtonsWindow::~ButtonsWindow() {
    stop_watching_keys();
}

void ButtonsWindow::open() {
    model_.open();
    rebuild_popups();
    show_window(*this);
}

void ButtonsWindow::refresh() {
    model_.refresh();
    rebuild_popups();
}

QComboBox* ButtonsWindow::binding_popup(std::int64_t tag) const {
    if (tag < 0 || static_cast<std::size_t>(tag) >= popups_.size()) return nullptr;
    return popups_[static_cast<std::size_t>(tag)];
}

QComboBox* ButtonsWindow::stick_popup(Stick stick) const {
    return stick == Stick::Left ? left_stick_ : right_stick_;
}

void ButtonsWindow::apply(ButtonsWindowModel::Update update) {
    switch (update) {
        case ButtonsWindowModel::Update::Nothing:
            return;
        case ButtonsWindowModel::Update::Popups:
            rebuild_popups();
            return;
        case ButtonsWindowModel::Update::CaptureStarted:
            stop_watching_keys();
            // The key that chose "Other key or shortcut…" in an open pop-up (Return, Space) is
            // still being delivered; watching from the next turn of the event loop keeps it from
            // becoming the captured key.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (model_.capturing()) start_watching_keys();
                },
                Qt::QueuedConnection);
            prompt_->setText(qt_text(model_.prompt()));
            prompt_->show();
            return;
        case ButtonsWindowModel::Update::PromptChanged:
            prompt_->setText(qt_text(model_.prompt()));
            return;
        case ButtonsWindowModel::Update::CaptureEnded:
            stop_watching_keys();
            prompt_->clear();
            prompt_->hide();
            rebuild_popups();
            return;
        case ButtonsWindowModel::Update::ChooseApp:
            // The pop-up keeps showing the profile until an application is chosen.
            rebuild_popups();
            choose_app();
            return;
    }
}

void ButtonsWindow::choose_app() {
    app_menu_->clear();
    const std::vector<RunningApp> apps = model_.addable_apps();
    if (apps.empty())
        app_menu_->addAction(qt_text(buttons_texts::kNoRunningApps))->setEnabled(false);
    for (const RunningApp& app : apps) {
        connect(app_menu_->addAction(qt_text(app.name)), &QAction::triggered, this,
                [this, app] { apply(model_.add_app(app)); });
    }
    app_menu_->popup(scope_->mapToGlobal(QPoint(0, scope_->height())));
}

void ButtonsWindow::rebuild_popups() {
    {
        const QSignalBlocker quiet(scope_);
        scope_->clear();
        for (const ScopeChoice& choice : model_.scope_choices()) {
            if (choice.kind == ScopeKind::Separator) {
                scope_->insertSeparator(scope_->count());
            } else {
                scope_->addItem(qt_text(choice.title));
            }
        }
        scope_->setCurrentIndex(static_cast<int>(model_.scope_selection()));
    }
    const bool in_profile = model_.app().has_value();
    remove_->setVisible(in_profile);
    restore_->setVisible(!in_profile);
    const std::string note = model_.front_app_note();
    no_front_app_->setText(QString::fromStdString(note));
    no_front_app_->setVisible(!note.empty());
    layer_label_->setVisible(model_.shows_layer());
    layer_->setVisible(model_.shows_layer());
    {
        const QSignalBlocker quiet(layer_);
        layer_->setCurrentIndex(static_cast<int>(model_.layer()));
    }
    press_heading_->setText(qt_text(model_.press_heading()));
    hold_heading_->setText(qt_text(model_.hold_heading()));
    for (std::size_t tag = 0; tag < popups_.size(); ++tag) {
        QComboBox* popup = popups_[tag];
        const ButtonsWindowModel::Popup* model =
            model_.binding_popup(static_cast<std::int64_t>(tag));
        if (popup == nullptr || model == nullptr) continue;
        const QSignalBlocker quiet(popup);
        popup->clear();
        for (const Choice& choice : model->choices) {
            if (choice.kind == ChoiceKind::Separator) {
                popup->insertSeparator(popup->count());
            } else {
                popup->addItem(qt_text(choice.title));
            }
        }
        popup->setCurrentIndex(static_cast<int>(model->selected));
        popup->setEnabled(model->enabled);
        // A profile's own bindings stand out from those it takes from all applications.
        QFont font = popup->font();
        font.setBold(model->overridden);
        popup->setFont(font);
    }
    for (const Stick stick : {Stick::Left, Stick::Right}) {
        QComboBox* popup = stick_popup(stick);
        const QSignalBlocker quiet(popup);
        popup->clear();
        for (const std::string& title : model_.stick_titles(stick))
            popup->addItem(qt_text(title));
        popup->setCurrentIndex(static_cast<int>(model_.stick_selection(stick)));
    }
    fit_popups();
}

void ButtonsWindow::fit_popups() {
    // In a profile, or among the shifted actions, every pop-up may show "Same as … (…)", which is
    // only useful whole; the pop-ups then widen together to the longest, and narrow again for
    // all applications without shift.
    std::vector<QComboBox*> all(popups_.begin(), popups_.end());
    all.push_back(left_stick_);
    all.push_back(right_stick_);
    int width = kPopupWidth;
    if (model_.app() || model_.layer() == Layer::Shifted) {
        for (QComboBox* popup : all) {
            if (popup == nullptr || popup->count() == 0) continue;
            QStyleOptionComboBox option;
            option.initFrom(popup);
            const QSize text(popup->fontMetrics().horizontalAdvance(popup->currentText()),
                             popup->fontMetrics().height());
            width =
                std::max(width, popup->style()
                                    ->sizeFromContents(QStyle::CT_ComboBox, &option, text, popup)
                                    .width());
        }
    }
    if (width == fitted_width_) return;
    fitted_width_ = width;
    for (QComboBox* popup : all)
        if (popup != nullptr) popup->setMinimumWidth(width);
    fit_window(*this);
}

void ButtonsWindow::start_watching_keys() {
    if (watching_keys_) return;
    qApp->installEventFilter(this);
    watching_keys_ = true;
}

void ButtonsWindow::stop_watching_keys() {
    if (!watching_keys_) return;
    qApp->removeEventFilter(this);
    watching_keys_ = false;
}

bool ButtonsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (!watching_keys_ || !model_.capturing()) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
        // Accepting the override keeps window and menu shortcuts from firing; the key press
        // that follows is the capture's.
        case QEvent::ShortcutOverride:
            event->accept();
            return true;
        case QEvent::KeyPress: {
            const auto& key = static_cast<const QKeyEvent&>(*event);
            if (!key.isAutoRepeat()) key_pressed(key);
            return true;
        }
        case QEvent::KeyRelease:
            return true;
        default:
            return QWidget::eventFilter(watched, event);
    }
}

void ButtonsWindow::key_pressed(const QKeyEvent& event) {
    const auto code = static_cast<std::uint32_t>(event.key());
    if (is_modifier_only_key(code)) return;
    const std::uint32_t unshifted =
        event.modifiers().testFlag(Qt::ShiftModifier) && unshifted_key_ ? unshifted_key_(event) : 0;
    const KeyPress press = key_press_for_qt(code, event.modifiers(), unshifted);
    apply(model_.key_captured(press, &key_for_qt_key));
}

void ButtonsWindow::hideEvent(QHideEvent* event) {
    // A capture belongs to the open window; keys typed elsewhere later must not bind anything.
    apply(model_.cancel_capture());
    QWidget::hideEvent(event);
}

}  // namespace thumbrover
