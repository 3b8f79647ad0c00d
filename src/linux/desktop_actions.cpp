#include "linux/desktop_actions.hpp"

#include <string>
#include <utility>

#include "core/common/diag.hpp"

namespace thumbrover {
namespace {

// Shared by both requests: whether a name is owned on the session bus, and a property read as
// "true" or not.
constexpr const char* kHelpers = R"sh(
bus() { dbus-send --session --type=method_call --print-reply "$@" 2>/dev/null; }
has() { bus --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner "string:$1" | grep -q 'boolean true'; }
)sh";

constexpr const char* kOverview = R"sh(
if has org.gnome.Shell; then
    if bus --dest=org.gnome.Shell /org/gnome/Shell org.freedesktop.DBus.Properties.Get string:org.gnome.Shell string:OverviewActive | grep -q 'boolean true'; then show=false; else show=true; fi
    exec dbus-send --session --type=method_call --dest=org.gnome.Shell /org/gnome/Shell org.freedesktop.DBus.Properties.Set string:org.gnome.Shell string:OverviewActive "variant:boolean:$show"
elif has org.kde.kglobalaccel; then
    exec dbus-send --session --type=method_call --dest=org.kde.kglobalaccel /component/kwin org.kde.kglobalaccel.Component.invokeShortcut string:Overview
fi
exit 3
)sh";

constexpr const char* kKeyboard = R"sh(
if has org.gnome.Shell && command -v gsettings >/dev/null; then
    schema=org.gnome.desktop.a11y.applications
    if [ "$(gsettings get $schema screen-keyboard-enabled)" = true ]; then on=false; else on=true; fi
    exec gsettings set $schema screen-keyboard-enabled $on
elif has org.kde.KWin && bus --dest=org.kde.KWin /VirtualKeyboard org.freedesktop.DBus.Properties.Get string:org.kde.kwin.VirtualKeyboard string:available | grep -q 'boolean true'; then
    vk() { bus --dest=org.kde.KWin /VirtualKeyboard org.freedesktop.DBus.Properties."$@"; }
    if vk Get string:org.kde.kwin.VirtualKeyboard string:active | grep -q 'boolean true'; then
        exec dbus-send --session --type=method_call --dest=org.kde.KWin /VirtualKeyboard org.freedesktop.DBus.Properties.Set string:org.kde.kwin.VirtualKeyboard string:active variant:boolean:false
    fi
    vk Set string:org.kde.kwin.VirtualKeyboard string:enabled variant:boolean:true >/dev/null
    exec dbus-send --session --type=method_call --dest=org.kde.KWin /VirtualKeyboard org.freedesktop.DBus.Properties.Set string:org.kde.kwin.VirtualKeyboard string:active variant:boolean:true
elif [ -n "$WAYLAND_DISPLAY" ]; then
    # Onboard is an X client: under Wayland it types only into other X clients.
    exit 3
elif has org.onboard.Onboard; then
    exec dbus-send --session --type=method_call --dest=org.onboard.Onboard /org/onboard/Onboard/Keyboard org.onboard.Onboard.Keyboard.ToggleVisible
elif command -v onboard >/dev/null; then
    exec onboard
fi
exit 3
)sh";

}  // namespace

LinuxDesktopActions::LinuxDesktopActions(Notifier& notifier, Spawner spawner)
    : notifier_slot_(std::make_shared<NotifierSlot>()), spawner_(std::move(spawner)) {
    notifier_slot_->notifier = &notifier;
}

LinuxDesktopActions::~LinuxDesktopActions() {
    const std::lock_guard lock(notifier_slot_->mutex);
    notifier_slot_->notifier = nullptr;
}

Result<void> LinuxDesktopActions::show_overview() {
    SpawnOptions options;
    options.discard_stderr = true;
    options.on_exit = [](int status) {
        if (status == kNothingToOpen) {
            diag("could not open the overview: this desktop has none that Thumbrover knows");
        }
    };
    const Result<void> started =
        spawner_("/bin/sh", {"-c", std::string(kHelpers) + kOverview}, options);
    if (!started) return Error{"could not open the overview: " + started.error()};
    return {};
}

Result<void> LinuxDesktopActions::show_on_screen_keyboard() {
    SpawnOptions options;
    options.discard_stderr = true;
    // The notifier may be used from any thread, the reaping one included.
    options.on_exit = [slot = notifier_slot_](int status) {
        if (status != kNothingToOpen) return;
        // Held while notifying, so that the notifier cannot go away in the middle; notify only
        // queues the message.
        const std::lock_guard lock(slot->mutex);
        if (slot->notifier == nullptr) return;
        slot->notifier->notify(
            "The on-screen keyboard is not available",
            "This desktop has no on-screen keyboard that Thumbrover can open. Install "
            "Onboard, or choose another action for this button in Customize Buttons.");
    };
    const Result<void> started =
        spawner_("/bin/sh", {"-c", std::string(kHelpers) + kKeyboard}, options);
    if (!started) return Error{"could not open the on-screen keyboard: " + started.error()};
    return {};
}

}  // namespace thumbrover
