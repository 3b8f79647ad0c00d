#include "linux/windows.hpp"

#include "linux/front_app.hpp"
#include "linux/key_codes.hpp"
#include "linux/output_choice.hpp"
#include "linux/system_services.hpp"
#include "qt/windows.hpp"

namespace thumbrover {

namespace {

// Desktops name their Bluetooth panel differently; the first that is installed is started.
constexpr const char* kBluetoothCommand =
    "for tool in 'gnome-control-center bluetooth' 'systemsettings kcm_bluetooth' "
    "'blueman-manager' 'blueberry'; do set -- $tool; "
    "if command -v \"$1\" >/dev/null 2>&1; then exec \"$@\"; fi; done; "
    "echo \"$0: no Bluetooth settings program found\" >&2; exit 69";
// The line's status when it found none (EX_UNAVAILABLE); a panel that ran has its own.
constexpr int kBluetoothMissing = 69;

constexpr const char* kBluetoothHelp =
    "Install one, for example Blueman (sudo apt install blueman), or pair the controller in a "
    "terminal with bluetoothctl.";
constexpr const char* kOpenFileHelp =
    "No program is set to open it. Open it in any text editor, or make one the default for "
    "settings files, for example: xdg-mime default org.gnome.TextEditor.desktop "
    "application/toml";

}  // namespace

std::unique_ptr<ShellWindows> make_windows(ShellServices& services) {
    const OutputKind output = chosen_output();
    return make_app_windows(
        services, PlatformWindows{
                      .bluetooth_command = kBluetoothCommand,
                      .bluetooth_missing_status = kBluetoothMissing,
                      .bluetooth_help = kBluetoothHelp,
                      .open_file_help = kOpenFileHelp,
                      .unshifted_key = x11_unshifted_key,
                      .wording = output == OutputKind::Uinput ? uinput_wording() : kXDisplayWording,
                      // The desktop's screen keyboard (or Onboard) opens on
                      // request here, unlike on macOS.
                      .offered = OfferedActions{.on_screen_keyboard = true},
                      .input_settings_pane = {},
                      .shows_ring = session_abilities(output).ring,
                      .front_apps = make_front_app_watcher(),
                  });
}

}  // namespace thumbrover
