#pragma once

#include <QFrame>
#include <functional>
#include <optional>

#include "core/ui/settings_store.hpp"

class QLabel;
class QPushButton;

namespace thumbrover {

// The strip at the top of a window that says why the settings file is not in use, with a button
// that opens it. Hidden while the file is fine. Main thread only.
class FileProblemBanner final : public QFrame {
  public:
    FileProblemBanner(std::function<void()> open_file, QWidget* parent);

    void show_problem(const std::optional<SettingsFileProblem>& problem);

    [[nodiscard]] QLabel* text() const { return text_; }
    [[nodiscard]] QPushButton* open_button() const { return open_; }

  private:
    QLabel* text_ = nullptr;
    QPushButton* open_ = nullptr;
};

// Puts a banner above everything else in `window`, whose layout is a box.
FileProblemBanner* add_file_problem_banner(QWidget& window, std::function<void()> open_file);

}  // namespace thumbrover
