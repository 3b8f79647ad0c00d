// Creates each macOS adapter once, so that scripts/check-macos links every call they make against
// the SDK's stubs. Built only by that script; never run.
#include <cstdio>

#include "macos/activity.hpp"
#include "macos/app_shell.hpp"
#include "macos/cursor.hpp"
#include "macos/desktop_actions.hpp"
#include "macos/event_poster.hpp"
#include "macos/front_app.hpp"
#include "macos/gamepad.hpp"
#include "macos/keyboard_layout.hpp"
#include "macos/mouse_watcher.hpp"
#include "macos/notifier.hpp"
#include "macos/system_services.hpp"
#include "platform/native_engine_ports.hpp"

int main() {
    using namespace thumbrover;
    use_accessory_activation_policy();
    install_main_menu([] {});
    on_reopen([] {});
    monitor_controllers_in_background();
    const auto symbol = render_symbol("gamecontroller.fill", 16);

    follow_keyboard_layout();
    prepare_media_key_events();
    follow_double_click_interval();
    SteeringActivity steering(begin_steering_activity);
    steering.update(true);
    auto output = create_event_output();
    GameControllerGamepad gamepad;
    (void)gamepad.watch([](ControllerNews) {});
    for (const ControllerId controller : gamepad.controllers()) {
        gamepad.disable_home_gesture(controller);
        (void)gamepad.read(controller);
        (void)gamepad.vendor_name(controller);
        (void)gamepad.battery_level(controller);
        (void)gamepad.rumble_once(controller);
        gamepad.release(controller);
    }
    EventTapWatcher watcher;
    if (watcher.start() == WatchStart::Watching) (void)watcher.next_motion();
    DisplayCursor cursor;
    cursor.hide();
    cursor.show();
    (void)make_ring_window(nullptr);
    (void)ring_window_properties(nullptr);

    AppServiceLoginItem login_item;
    (void)login_item.set_enabled(!login_item.enabled());
    if (login_item.state() == LoginItemState::AwaitingApproval) (void)login_item.open_approval();
    AccessibilityPermission permission;
    if (!permission.granted()) permission.request();
    auto desktop = make_desktop();
    (void)desktop->open(std::string(kAccessibilityPaneLink));
    OsascriptNotifier notifier;
    MacDesktopActions actions(notifier);
    (void)actions.show_overview();
    NativeEnginePorts ports(notifier);
    (void)ports.create_event_output();
    (void)ports.create_desktop_actions();
    (void)ports.create_mouse_source();
    const auto front_apps = ports.create_front_app_watcher();
    front_apps->watch([](std::string) {});
    (void)front_apps->running_apps();
    std::printf("%d %d\n", output.ok() ? 1 : 0, symbol ? symbol->width : 0);
    return 0;
}
