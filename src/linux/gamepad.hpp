#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/common/result.hpp"
#include "linux/gamepad_watch.hpp"
#include "linux/sdl_subsystem.hpp"
#include "linux/stick_copy.hpp"
#include "platform/gamepad.hpp"

struct _SDL_GameController;

namespace thumbrover {

// ---- Decisions that need no controller (kept apart so that they are tested on their own) ----

// A stick axis as SDL reports it (-32768..32767, y positive downward) on the -1..1 scale.
[[nodiscard]] float stick_value(std::int16_t raw);
// A trigger (0..32767) on the 0..1 scale; a driver's negative reading counts as released.
[[nodiscard]] float trigger_value(std::int16_t raw);
// A pair of opposite D-pad buttons as one axis: -1, 0 or +1 (both held cancel out).
[[nodiscard]] float dpad_value(bool negative, bool positive);

// SDL's coarse power level (an SDL_JoystickPowerLevel value) as a charge: each level's upper
// bound, so a "low" controller reads low. Wired and unknown controllers report no battery.
[[nodiscard]] std::optional<float> coarse_battery_level(int sdl_power_level);

// The kernel's charge for the input device at device_path ("/dev/input/event5", "/dev/hidraw2"),
// from the power_supply the driver registered on the device or one of its parents under
// sysfs_root ("/sys"): its "capacity" in percent, else its "capacity_level". None when the driver
// registered none.
[[nodiscard]] std::optional<float> sysfs_battery_level(const std::filesystem::path& sysfs_root,
                                                       std::string_view device_path);

// ---- The SDL backend ----

// Controllers through SDL's game-controller API and its standard mapping, which covers the
// Xbox layout of every controller SDL knows: View is "back", Menu is "start", Xbox is "guide".
// Identities are SDL's joystick instance ids, which SDL never hands out twice in a session.
// One thread at a time (under the controller link's lock), apart from the announcements.
class SdlGamepad final : public GamepadApi {
  public:
    // Fails when SDL's game-controller support cannot start.
    [[nodiscard]] static Result<std::unique_ptr<SdlGamepad>> create(
        std::filesystem::path sysfs_root = "/sys");

    SdlGamepad(const SdlGamepad&) = delete;
    SdlGamepad& operator=(const SdlGamepad&) = delete;
    ~SdlGamepad() override;

    [[nodiscard]] std::vector<ControllerId> controllers() override;
    [[nodiscard]] bool has_extended_profile(ControllerId id) override;
    [[nodiscard]] std::optional<ControllerSnapshot> read(ControllerId id) override;
    // While the sticks are quiet, from a copy of the controller's reports that carries only its
    // sticks, when its node and mapping allow one; else a quarter of the full read's lookups in
    // SDL's mapping, which count at 125 reads a second.
    [[nodiscard]] std::optional<StickAxes> read_sticks(ControllerId id) override;
    [[nodiscard]] std::optional<std::string> vendor_name(ControllerId id) override;
    [[nodiscard]] std::optional<float> battery_level(ControllerId id) override;
    // Linux desktops do not take the Xbox button for themselves.
    void disable_home_gesture(ControllerId /*id*/) override {}
    Result<void> rumble_once(ControllerId id) override;
    void release(ControllerId id) override;
    // Tells the device nodes' watch; the copies of the sticks' reports last while they are quiet.
    void quiet_sticks(bool quiet) override;
    // The device nodes of the open controllers and the device folder announce; SDL's virtual
    // controllers announce through `announce_virtual_controller`.
    bool watch(std::function<void(ControllerNews)> news) override;

  private:
    struct Closer {
        void operator()(_SDL_GameController* controller) const noexcept;
    };
    using Controller = std::unique_ptr<_SDL_GameController, Closer>;

    SdlGamepad(SdlGameControllerSubsystem subsystem, std::filesystem::path sysfs_root);
    // The open controller for the id, opening it on first use; null when it is gone or SDL has no
    // game-controller mapping for it.
    [[nodiscard]] _SDL_GameController* open(ControllerId id);
    // A reader of the controller's sticks apart from SDL, or none when they cannot be read so.
    [[nodiscard]] std::optional<StickReader> open_stick_reader(ControllerId id);

    // Declared first so that SDL is shut down only after every controller is closed.
    SdlGameControllerSubsystem subsystem_;
    std::filesystem::path sysfs_root_;
    std::map<ControllerId, Controller> open_;
    bool sticks_quiet_ = false;
    // While the sticks are quiet: each controller read since, with its reader (none when its
    // sticks are read through SDL until they are quiet again).
    std::map<ControllerId, std::optional<StickReader>> stick_readers_;
    std::unique_ptr<GamepadWatch> watch_;
};

}  // namespace thumbrover
