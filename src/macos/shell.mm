#include <pthread.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "core/common/diag.hpp"
#include "core/settings/config_file.hpp"
#include "core/ui/app_settings_effects.hpp"
#include "macos/activity.hpp"
#include "macos/app_shell.hpp"
#include "macos/cursor.hpp"
#include "macos/desktop.hpp"
#include "macos/event_poster.hpp"
#include "macos/front_app.hpp"
#include "macos/gamepad.hpp"
#include "macos/key_codes.hpp"
#include "macos/keyboard_layout.hpp"
#include "macos/notifier.hpp"
#include "macos/system_services.hpp"
#include "platform/native_engine_ports.hpp"
#include "platform/shell.hpp"
#include "qt/front_end.hpp"
#include "qt/steering_circle.hpp"
#include "qt/windows.hpp"

// Qt last: its `emit` macro would otherwise rewrite a name in the engine's headers.
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QPixmap>

namespace thumbrover {
namespace {

[[noreturn]] void fatal(std::string_view message) {
    diag(message);
    std::abort();
}

const std::string kBluetoothCommand = "open " + std::string(kBluetoothPaneLink);

// The Qt ring window, made a macOS overlay each time it is shown (Qt resets the window's level
// and behaviour when it shows a window).
class RingWindow final : public CircleWindow {
  public:
    explicit RingWindow(const CircleShape& shape) : window_(shape) {}
    void move_to(ScreenPoint origin) override { window_.move_to(origin); }
    void show() override {
        window_.show();
        if (!make_ring_window(reinterpret_cast<void*>(window_.native_id())))
            diag("the steering ring has no window to float");
    }
    void hide() override { window_.hide(); }
    [[nodiscard]] bool is_visible() const override { return window_.is_visible(); }

  private:
    QtCircleWindow window_;
};

class RingOverlay final : public Overlay {
  public:
    [[nodiscard]] std::unique_ptr<CircleWindow> build_circle(const CircleShape& shape) override {
        return std::make_unique<RingWindow>(shape);
    }
    [[nodiscard]] ScreenPoint pointer_location() override { return qt_.pointer_location(); }

  private:
    QtOverlay qt_;
};

// The key a capture sees without Shift: the letter the selected layout types on the key, or the
// key its virtual key code names.
std::uint32_t unshifted_mac_key(const QKeyEvent& event) {
    const auto code = event.nativeVirtualKey();
    if (code > 0xFFFF) return 0;
    const std::optional<Key> key =
        key_for_mac_key_code(static_cast<std::uint16_t>(code), *current_letter_keys().get());
    if (!key) return 0;
    switch (key->kind) {
        case KeyKind::Letter:
            return static_cast<std::uint32_t>(Qt::Key_A + (key->param - 'a'));
        case KeyKind::Digit:
            return static_cast<std::uint32_t>(Qt::Key_0 + key->param);
        // Qt's codes of the punctuation keys are the characters' own.
        case KeyKind::Symbol:
            return key->param;
        default:
            return 0;
    }
}

// The status item's picture: the SF Symbol as a mask, which macOS shows as a template image.
QIcon symbol_icon(bool active) {
    const auto pixels = render_symbol(active ? "gamecontroller.fill" : "gamecontroller", 16);
    if (!pixels) return {};
    QImage image(pixels->rgba.data(), pixels->width, pixels->height, pixels->width * 4,
                 QImage::Format_RGBA8888_Premultiplied);
    QImage copy = image.copy();
    copy.setDevicePixelRatio(pixels->scale);
    QIcon icon(QPixmap::fromImage(copy));
    icon.setIsMask(true);
    return icon;
}

}  // namespace

int run_shell(int argc, char** argv) {
    if (pthread_main_np() != 1) fatal("Thumbrover must start on the main thread");
    // Command stays Meta ("cmd") and Control stays Ctrl in key captures, as on the keyboard.
    QCoreApplication::setAttribute(Qt::AA_MacDontSwapCtrlAndMeta);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Thumbrover"));
    QApplication::setQuitOnLastWindowClosed(false);
    use_accessory_activation_policy();
    monitor_controllers_in_background();
    follow_keyboard_layout();
    // Before the engine starts: only here, on the main thread, may AppKit make them.
    prepare_media_key_events();
    follow_double_click_interval();
    SteeringActivity steering(begin_steering_activity);

    OsascriptNotifier notifier;
    AppServiceLoginItem login_item;
    const std::unique_ptr<MacDesktop> desktop = make_desktop();
    AccessibilityPermission permission;
    GameControllerGamepad gamepad;
    RingOverlay overlay;
    DisplayCursor cursor;
    NativeEnginePorts engine(notifier);

    QtShellOptions options;
    options.make_windows = [](ShellServices& services) -> std::unique_ptr<ShellWindows> {
        auto windows = make_app_windows(
            services, PlatformWindows{
                          .bluetooth_command = kBluetoothCommand,
                          .unshifted_key = unshifted_mac_key,
                          .wording = kAccessibilityWording,
                          .offered = {},
                          .input_settings_pane = std::string(kAccessibilityPaneLink),
                          .front_apps = std::make_shared<WorkspaceFrontAppWatcher>(),
                      });
        // Opening the program again while it runs shows Settings.
        ShellWindows* shown = windows.get();
        on_reopen([shown] { shown->open_settings(); });
        return windows;
    };
    options.tray_icon = symbol_icon;
    options.on_active = [&steering](bool active) { steering.update(active); };
    options.on_actions = [](std::function<void(MenuAction)> perform) {
        install_main_menu([perform] { perform(MenuAction::Quit); });
    };
    return run_front_end(AppPorts{.notifier = notifier,
                                  .login_item = login_item,
                                  .desktop = *desktop,
                                  .permission = permission,
                                  .gamepad = gamepad,
                                  .overlay = overlay,
                                  .cursor = cursor,
                                  .engine = engine},
                         options);
}

}  // namespace thumbrover
