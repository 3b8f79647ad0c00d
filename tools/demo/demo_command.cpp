#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/linked_engine.hpp"
#include "core/common/diag.hpp"
#include "core/common/files.hpp"
#include "core/engine/link.hpp"
#include "ctl.hpp"
#include "demo/demo_script.hpp"
#include "demo/virtual_pad.hpp"
#include "linux/shell.hpp"
#include "qt/status_menu.hpp"

// Qt last: its `emit` macro would otherwise rewrite a name in the engine's headers.
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWidget>

namespace thumbrover::ctl {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool on_path(std::string_view program) {
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "";
    while (!folders.empty()) {
        const std::size_t colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        if (!folder.empty() && ::access((fs::path(folder) / program).c_str(), X_OK) == 0)
            return true;
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
    }
    return false;
}

// What gives the demonstration a display where this copy is: in a build folder, the source
// folder's `make run`; an installed copy, Xvfb's wrapper (with a session bus of its own, which
// the program uses), or a desktop.
std::string where_to_find_a_display() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error && fs::exists(self.parent_path() / "CMakeCache.txt", error))
        return "`make run` in the source folder starts a virtual one";
    const std::string wrapped = "`xvfb-run -a dbus-run-session thumbroverctl demo`";
    if (on_path("xvfb-run"))
        return "run it in a desktop session, or in a virtual display: " + wrapped;
    return "run it in a desktop session, or install the package xvfb and run " + wrapped;
}

constexpr std::string_view kUsage =
    "Usage: thumbroverctl demo [--screenshot FILE] [--home DIR] [--print-script] [SCRIPT]\n"
    "Runs Thumbrover in the current X display with a virtual controller playing SCRIPT (or the\n"
    "built-in tour; --print-script shows it), in a private settings folder unless --home is "
    "given.\n";

// What reached the demonstration's own window during one section of the script.
struct Seen {
    int clicks = 0;
    int presses = 0;
    int releases = 0;
    int motions = 0;  // all pointer motion over the window, a drag's included
    int drag_motions = 0;
    int wheel_up = 0;
    int wheel_down = 0;
    int wheel_left = 0;
    int wheel_right = 0;
    std::vector<std::string> keys;
};

class ProbeWindow final : public QWidget {
  public:
    ProbeWindow() {
        setWindowTitle(QStringLiteral("Thumbrover demonstration"));
        setAttribute(Qt::WA_DeleteOnClose, false);
        setMouseTracking(true);
        auto* layout = new QVBoxLayout(this);
        label_ = new QLabel(this);
        label_->setAlignment(Qt::AlignCenter);
        label_->setWordWrap(true);
        // The label covers the window; a child without mouse tracking would swallow the motion
        // that comes with no button held.
        label_->setAttribute(Qt::WA_TransparentForMouseEvents);
        QFont font = label_->font();
        font.setPointSize(18);
        label_->setFont(font);
        layout->addWidget(label_);
        setStyleSheet(QStringLiteral("background: #2d4f73; color: white;"));
    }

    void say(const std::string& text) { label_->setText(QString::fromStdString(text)); }
    Seen take() { return std::exchange(seen_, Seen{}); }

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        ++seen_.presses;
        if (event->button() == Qt::LeftButton) ++seen_.clicks;
    }
    void mouseReleaseEvent(QMouseEvent* /*event*/) override { ++seen_.releases; }
    void mouseMoveEvent(QMouseEvent* event) override {
        ++seen_.motions;
        if (event->buttons() & Qt::LeftButton) ++seen_.drag_motions;
    }
    void wheelEvent(QWheelEvent* event) override {
        const QPoint d = event->angleDelta();
        if (d.y() > 0) seen_.wheel_up += d.y() / 120;
        if (d.y() < 0) seen_.wheel_down += -d.y() / 120;
        if (d.x() > 0) seen_.wheel_left += d.x() / 120;
        if (d.x() < 0) seen_.wheel_right += -d.x() / 120;
    }
    void keyPressEvent(QKeyEvent* event) override {
        seen_.keys.push_back(
            QKeySequence(event->key() | event->modifiers().toInt()).toString().toStdString());
    }

  private:
    QLabel* label_ = nullptr;
    Seen seen_;
};

void print(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::string describe(const Seen& seen) {
    std::string out;
    const auto add = [&out](const std::string& part) { out += (out.empty() ? "" : ", ") + part; };
    if (seen.motions > 0)
        add(std::to_string(seen.motions) + " pointer motion" + (seen.motions == 1 ? "" : "s"));
    if (seen.presses > 0)
        add(std::to_string(seen.presses) + " button press" + (seen.presses == 1 ? "" : "es") +
            " (" + std::to_string(seen.clicks) + " left)");
    if (seen.releases > 0) add(std::to_string(seen.releases) + " release(s)");
    if (seen.drag_motions > 0)
        add(std::to_string(seen.drag_motions) + " of them with the left button held (a drag)");
    if (seen.wheel_up > 0) add(std::to_string(seen.wheel_up) + " wheel notches up");
    if (seen.wheel_down > 0) add(std::to_string(seen.wheel_down) + " wheel notches down");
    if (seen.wheel_left > 0) add(std::to_string(seen.wheel_left) + " wheel notches left");
    if (seen.wheel_right > 0) add(std::to_string(seen.wheel_right) + " wheel notches right");
    for (const std::string& key : seen.keys)
        add("key " + key);
    return out.empty() ? "no events" : out;
}

std::string point_text(QPoint p) {
    return "(" + std::to_string(p.x()) + ", " + std::to_string(p.y()) + ")";
}

// Plays the script on the main thread, against the running program.
class Director {
  public:
    Director(std::vector<DemoStep> steps, fs::path screenshot, TrayMenu& tray)
        : steps_(std::move(steps)), screenshot_(std::move(screenshot)), tray_(tray) {}

    // False when the run could not even begin.
    bool start() {
        // The whole screen: the pointer never leaves it, however far a slow machine lets the
        // stick carry it, so every click and notch lands on the window that counts them.
        if (QScreen* screen = QGuiApplication::primaryScreen())
            probe_.setGeometry(screen->geometry());
        probe_.say("Waiting for the virtual controller…");
        probe_.show();
        probe_.raise();
        probe_.activateWindow();
        QCursor::setPos(probe_.geometry().center());
        auto pad = VirtualPad::plug_in();
        if (!pad) {
            diag(pad.error());
            return false;
        }
        pad_ = std::move(pad).value();
        started_ = Clock::now();
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { step(); });
        timer_.start(5);
        return true;
    }

    [[nodiscard]] bool completed() const { return completed_; }

  private:
    void step() {
        const auto now = Clock::now();
        if (!t0_) {
            const EngineLink* link = published_engine_link();
            if (link != nullptr && link->status().connected) {
                t0_ = now;
                print("Controller connected after " + ms_since(started_) +
                      "; playing the script.\n");
                section_start_ = QCursor::pos();
            } else if (now - started_ > std::chrono::seconds(15)) {
                diag("the virtual controller was not picked up within 15 s");
                finish();
            }
            return;
        }
        if (steering_circle_visible().load()) ring_seen_ = true;
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - *t0_);
        while (next_ < steps_.size() && steps_[next_].at <= elapsed)
            perform(steps_[next_++]);
        if (next_ == steps_.size() && elapsed >= steps_.back().at + std::chrono::milliseconds(400))
            finish();
    }

    void perform(const DemoStep& step) {
        switch (step.kind) {
            case DemoStep::Kind::Say:
                close_section();
                print(format_time(step.at) + "  " + step.text);
                probe_.say(step.text);
                break;
            case DemoStep::Kind::Axis:
                pad_->set_axis(step.index, step.value);
                break;
            case DemoStep::Kind::Button:
                pad_->set_button(step.index, step.pressed);
                break;
            case DemoStep::Kind::Screenshot:
                take_screenshot();
                break;
            case DemoStep::Kind::Unplug:
                pad_->unplug();
                print(format_time(step.at) + "  (controller unplugged)");
                break;
            case DemoStep::Kind::PlugIn:
                if (auto pad = VirtualPad::plug_in()) pad_ = std::move(pad).value();
                print(format_time(step.at) + "  (controller plugged in)");
                break;
        }
    }

    void close_section() {
        if (!section_open_) {
            section_open_ = true;
            section_start_ = QCursor::pos();
            return;
        }
        const QPoint end = QCursor::pos();
        // Where the ring came and went within the step, say both; otherwise what is on screen now.
        const bool ring_now = steering_circle_visible().load();
        print("        pointer " + point_text(section_start_) + " -> " + point_text(end) +
              "; seen by the window: " + describe(probe_.take()) + "; " +
              (ring_now     ? "the ring is on screen"
               : ring_seen_ ? "the ring showed, now hidden"
                            : "no ring"));
        section_start_ = end;
        ring_seen_ = false;
    }

    void take_screenshot() {
        QScreen* screen = QGuiApplication::primaryScreen();
        const bool ring = steering_circle_visible().load();
        if (screen == nullptr ||
            !screen->grabWindow(0).save(QString::fromStdString(screenshot_.string()))) {
            diag("could not save the screenshot to " + screenshot_.string());
            return;
        }
        shot_saved_ = true;
        print("        screenshot saved to " + screenshot_.string() +
              (ring ? " (the ring is on it)" : ""));
    }

    void finish() {
        if (finished_) return;
        finished_ = true;
        timer_.stop();
        if (t0_) {
            close_section();
            completed_ = true;
        }
        const StatusMenu& menu = tray_.shown();
        if (!menu.items.empty()) print("Tray menu now shows: " + menu.items.front().title);
        if (const EngineLink* link = published_engine_link())
            print(std::string("Thumbrover is ") + (link->status().enabled ? "on" : "off") + ".");
        if (shot_saved_) print("Screenshot: " + screenshot_.string());
        if (pad_) pad_->unplug();
        LinkedEngineRequests().send_quit();
    }

    static std::string ms_since(Clock::time_point then) {
        return std::to_string(
                   std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then)
                       .count()) +
               " ms";
    }
    static std::string format_time(std::chrono::milliseconds at) {
        char text[32];
        std::snprintf(text, sizeof text, "%5.1f s", static_cast<double>(at.count()) / 1000.0);
        return text;
    }

    std::vector<DemoStep> steps_;
    fs::path screenshot_;
    TrayMenu& tray_;
    ProbeWindow probe_;
    std::unique_ptr<VirtualPad> pad_;
    QTimer timer_;
    Clock::time_point started_;
    std::optional<Clock::time_point> t0_;
    std::size_t next_ = 0;
    QPoint section_start_;
    bool section_open_ = false;
    bool ring_seen_ = false;
    bool shot_saved_ = false;
    bool finished_ = false;
    bool completed_ = false;
};

// A private settings folder, removed afterwards.
class PrivateHome {
  public:
    PrivateHome() {
        std::string pattern = (fs::temp_directory_path() / "thumbrover-demo.XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~PrivateHome() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    PrivateHome(const PrivateHome&) = delete;
    PrivateHome& operator=(const PrivateHome&) = delete;
    [[nodiscard]] const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

}  // namespace

int demo_command(std::span<const std::string_view> args) {
    std::optional<fs::path> script_path;
    std::optional<fs::path> home;
    fs::path screenshot = fs::temp_directory_path() / "thumbrover-demo.png";
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage.data(), stdout);
            return 0;
        }
        if (arg == "--print-script") {
            std::fwrite(default_demo_script().data(), 1, default_demo_script().size(), stdout);
            return 0;
        }
        if ((arg == "--screenshot" || arg == "--home") && i + 1 < args.size()) {
            (arg == "--home" ? home.emplace() : screenshot) = fs::path(args[++i]);
            continue;
        }
        if (arg.starts_with("-") || script_path) {
            std::fputs(kUsage.data(), stderr);
            return 2;
        }
        script_path = fs::path(arg);
    }

    std::string script_text(default_demo_script());
    if (script_path) {
        auto text = read_file(*script_path, 16 * 1024 * 1024, FileKinds::Any);
        if (!text) {
            diag(text.error());
            return 1;
        }
        script_text = std::move(text).value();
    }
    auto steps = parse_demo_script(script_text);
    if (!steps) {
        diag((script_path ? script_path->string() : std::string("the built-in script")) + ": " +
             steps.error());
        return 1;
    }
    if (steps->empty()) {
        diag("the script does nothing");
        return 1;
    }
    if (const char* display = std::getenv("DISPLAY"); display == nullptr || *display == '\0') {
        diag("the demonstration needs an X display; " + where_to_find_a_display());
        return 2;
    }

    // The program, its settings and its login entry all stay inside this folder.
    PrivateHome private_home;
    const fs::path dir = home ? *home : private_home.path();
    if (dir.empty()) {
        diag("could not create a private settings folder");
        return 1;
    }
    ::setenv("HOME", dir.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / ".config").c_str(), 1);
    print("Thumbrover demonstration in display " + std::string(std::getenv("DISPLAY")) +
          ", settings in " + (dir / ".config" / "thumbrover").string());

    // Made here rather than by the shell, so that the demonstration's window goes before it.
    static int qt_argc = 1;
    static char qt_name[] = "thumbroverctl";
    static char* qt_argv[] = {qt_name, nullptr};
    QApplication app(qt_argc, qt_argv);
    std::unique_ptr<Director> director;
    QtShellOptions options;
    options.check_for_updates = false;
    options.on_started = [&](TrayMenu& tray) {
        director = std::make_unique<Director>(std::move(steps).value(), screenshot, tray);
        if (!director->start()) LinkedEngineRequests().send_quit();
    };
    const int status = run_application(options);
    const bool completed = director && director->completed();
    director.reset();
    if (status != 0) return status;
    if (!completed) return 1;
    print("Thumbrover ended normally.");
    return 0;
}

}  // namespace thumbrover::ctl
