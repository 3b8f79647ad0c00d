#pragma once

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <functional>
#include <string_view>

#include "core/ui/access.hpp"
#include "core/ui/sliders.hpp"

#include <QComboBox>
#include <QSlider>

class QBoxLayout;
class QCheckBox;

namespace thumbrover {

// The building blocks the three windows share, so they look alike: headings, secondary notes,
// separators, status symbols and the application icon.

[[nodiscard]] QString qt_text(std::string_view text);
// A title for a button, check box or a label with a buddy, where "&" marks a keyboard mnemonic:
// the texts' own ampersands ("Setup & Permissions…") must show as written.
[[nodiscard]] QString mnemonic_free(std::string_view text);

// A bold label at `point_size` points.
[[nodiscard]] QLabel* make_heading(std::string_view text, double point_size,
                                   QWidget* parent = nullptr);
// A wrapping label in the smaller secondary style. `width` is the width it prefers to wrap at;
// larger fonts make it taller, never clipped.
[[nodiscard]] QLabel* make_note(std::string_view text, int width, QWidget* parent = nullptr);
// Titles a window, gives it the application icon and a name for tests and style sheets, and lays
// it out as one column with the windows' common margins inside a scroll area, so a window larger
// than the screen (a laptop's, a large font, 2x scaling) stays whole and resizable; returns that
// column.
QBoxLayout* make_window_column(QWidget& window, std::string_view title, const char* name,
                               int spacing);
// The size a window opens at: its natural size, within `available` (less room for the title bar),
// never below its minimum.
[[nodiscard]] QSize fitted_window_size(QSize natural, QSize minimum, const QRect& available);
// Resizes a window made with `make_window_column` to its natural size within `available`, or
// within its screen's free area.
void fit_window_to(QWidget& window, const QRect& available);
void fit_window(QWidget& window);
// A horizontal line at least `width` wide.
[[nodiscard]] QFrame* make_separator(int width, QWidget* parent = nullptr);

// The program's own pictures of the status symbols, drawn rather than taken from an icon theme so
// every desktop shows the same three states. Unknown names draw the pending (dashed) circle.
[[nodiscard]] QPixmap status_symbol_pixmap(const StatusSymbol& symbol, int size,
                                           qreal device_pixel_ratio = 1.0);

// A label showing a status symbol; it remembers which one, so tests and the refresh can tell.
class StatusSymbolLabel final : public QLabel {
    Q_OBJECT

  public:
    StatusSymbolLabel(int size, QWidget* parent = nullptr);
    void set_symbol(const StatusSymbol& symbol);
    [[nodiscard]] const StatusSymbol& symbol() const { return symbol_; }

  private:
    int size_;
    StatusSymbol symbol_{kSymbolPending};
};

// The application's icon: the one the application object carries, or the program's own drawing.
[[nodiscard]] QIcon application_icon();
[[nodiscard]] QLabel* make_application_icon(int size, QWidget* parent = nullptr);

// Qt sliders move in whole steps, so each settings slider maps its range onto integers: a range
// of a few units is divided into thousandths, a wide one (speeds, milliseconds) moves by one.
[[nodiscard]] int slider_resolution(const SliderSpec& spec);
[[nodiscard]] int slider_position(const SliderSpec& spec, double value);
[[nodiscard]] double slider_value(const SliderSpec& spec, int position);

// Sets a check box without firing its handlers: a refresh shows the system's state and must not
// change it.
void set_checked_quietly(QCheckBox& box, bool checked);
// The login-item checkbox as the view-model has it, without emitting `clicked` or `toggled`; a
// mixed mark makes the box three-state until it shows a plain one again.
void show_login_checkbox(QCheckBox& box, const LoginCheckbox& view);

// A pop-up and a slider that take the wheel only once focused (by a click or the keyboard): a
// window full of them scrolls under the wheel instead of changing whatever the pointer crosses.
class FocusWheelComboBox final : public QComboBox {
    Q_OBJECT

  public:
    explicit FocusWheelComboBox(QWidget* parent = nullptr);

  protected:
    void wheelEvent(QWheelEvent* event) override;
};

class FocusWheelSlider final : public QSlider {
    Q_OBJECT

  public:
    explicit FocusWheelSlider(Qt::Orientation orientation, QWidget* parent = nullptr);

  protected:
    void wheelEvent(QWheelEvent* event) override;
};

// Asks before a change that cannot be taken back: `question` with `detail` below it, a button
// titled `confirm` and Cancel, Cancel being the default. True when the user chose `confirm`.
[[nodiscard]] bool confirm_change(QWidget& parent, std::string_view question,
                                  std::string_view detail, std::string_view confirm);

// Brings a window to the front on every desktop that allows it: shown, raised and activated.
// The first time, it is placed in the middle of the screen the pointer is on; later it opens
// wherever the user left it.
void show_window(QWidget& window);

// The keyboard shortcuts every window of the program answers: Ctrl+Q runs `quit`, Ctrl+W and Esc
// close (hide) the window. Text fields keep Qt's own Cut, Copy, Paste, Select All and Undo keys.
void add_window_shortcuts(QWidget& window, std::function<void()> quit);

}  // namespace thumbrover
