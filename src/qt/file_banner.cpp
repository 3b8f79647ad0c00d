#include "qt/file_banner.hpp"

#include <QBoxLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <utility>

#include "core/ui/file_banner.hpp"
#include "qt/window_widgets.hpp"

namespace thumbrover {

FileProblemBanner::FileProblemBanner(std::function<void()> open_file, QWidget* parent)
    : QFrame(parent) {
    setObjectName(QStringLiteral("settings_file_banner"));
    setFrameShape(QFrame::StyledPanel);
    // The theme's highlight for "look here", drawn as a tinted panel so the text stays readable
    // on light and dark themes.
    setAutoFillBackground(true);
    QPalette tinted = palette();
    QColor tint = tinted.color(QPalette::Highlight);
    tint.setAlpha(48);
    tinted.setColor(QPalette::Window, tint);
    setPalette(tinted);
    auto* row = new QHBoxLayout(this);
    row->setSpacing(12);
    auto* symbol = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize);
    symbol->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
    text_ = new QLabel(this);
    text_->setWordWrap(true);
    text_->setTextFormat(Qt::PlainText);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Wide enough for a report on two or three lines, narrow enough for the Settings window.
    text_->setMinimumWidth(360);
    open_ = new QPushButton(mnemonic_free(kBannerOpenConfigFile), this);
    connect(open_, &QPushButton::clicked, this, [open = std::move(open_file)] {
        if (open) open();
    });
    row->addWidget(symbol, 0, Qt::AlignTop);
    row->addWidget(text_, 1);
    row->addWidget(open_, 0, Qt::AlignVCenter);
    hide();
}

void FileProblemBanner::show_problem(const std::optional<SettingsFileProblem>& problem) {
    if (!problem) {
        hide();
        return;
    }
    text_->setText(qt_text(settings_file_banner(*problem)));
    setAccessibleName(text_->text());
    show();
}

FileProblemBanner* add_file_problem_banner(QWidget& window, std::function<void()> open_file) {
    auto* banner = new FileProblemBanner(std::move(open_file), &window);
    if (auto* column = qobject_cast<QBoxLayout*>(window.layout())) column->insertWidget(0, banner);
    return banner;
}

}  // namespace thumbrover
