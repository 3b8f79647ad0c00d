#include "linux/windows.hpp"

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
    "echo \"$0: no Bluetooth settings program found\" >&2; exit 1";

}  // namespace

std::unique_ptr<ShellWindows> make_windows(ShellServices& services) {
    const OutputKind output = chosen_output();
    return make_app_windows(
        services, PlatformWindows{
                      .bluetooth_command = kBluetoothCommand,
                      .unshifted_key = x11_unshifted_key,
                      .wording = output == OutputKind::Uinput ? uinput_wording() : kXDisplayWording,
                      // The desktop's screen keyboard (or Onboard) opens on
                      // request here, unlike on macOS.
                      .offered = OfferedActions{.on_screen_keyboard = true},
                      .input_settings_pane = {},
                      .shows_ring = session_abilities(output).ring,
                  });
}

}  // namespace thumbrover
