#include "linux/gamepad.hpp"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <system_error>

#include "core/common/diag.hpp"
#include "linux/sdl_layout.hpp"
#include "linux/uinput_output.hpp"

namespace thumbrover {
namespace {

constexpr float kAxisScale = 32767.0f;
// Parents of the input device to search for its power supply: the input node's HID or USB
// device sits one or two levels up; further up are hubs and buses, whose supplies are not ours.
constexpr int kParentsSearched = 4;

std::optional<std::string> first_line(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    return line;
}

std::optional<float> supply_level(const std::filesystem::path& supply) {
    if (const auto capacity = first_line(supply / "capacity")) {
        int percent = 0;
        const auto [end, error] =
            std::from_chars(capacity->data(), capacity->data() + capacity->size(), percent);
        if (error == std::errc{} && end != capacity->data()) {
            return static_cast<float>(std::clamp(percent, 0, 100)) / 100.0f;
        }
    }
    // Drivers that know only a coarse level; each stands for the top of its band.
    if (const auto level = first_line(supply / "capacity_level")) {
        constexpr std::pair<std::string_view, float> levels[] = {
            {"Full", 1.0f}, {"High", 0.8f}, {"Normal", 0.5f}, {"Low", 0.2f}, {"Critical", 0.05f},
        };
        for (const auto& [name, value] : levels) {
            if (*level == name) return value;
        }
    }
    return std::nullopt;
}

std::optional<float> supply_level_in(const std::filesystem::path& device) {
    std::error_code ec;
    std::filesystem::directory_iterator supplies(device / "power_supply", ec);
    if (ec) return std::nullopt;
    for (const auto& supply : supplies) {
        if (const auto level = supply_level(supply.path())) return level;
    }
    return std::nullopt;
}

// Where the controller reports: its device node, or the node a virtual controller was given.
std::optional<std::string> device_node(ControllerId id, SDL_GameController* controller) {
    if (const char* node = SDL_GameControllerPath(controller); node != nullptr && *node != '\0') {
        return std::string(node);
    }
    return virtual_controller_node(id);
}

// The joystick axes that carry the controller's sticks, as SDL numbers them.
std::vector<int> stick_axes(SDL_GameController* controller) {
    std::vector<int> axes;
    for (std::size_t i = 0; i < kSnapshotStickAxes; ++i) {
        const SDL_GameControllerButtonBind bind =
            SDL_GameControllerGetBindForAxis(controller, kSdlSticksAndTriggers[i]);
        if (bind.bindType == SDL_CONTROLLER_BINDTYPE_AXIS) axes.push_back(bind.value.axis);
    }
    return axes;
}

}  // namespace

float stick_value(std::int16_t raw) {
    return std::clamp(static_cast<float>(raw) / kAxisScale, -1.0f, 1.0f);
}

float trigger_value(std::int16_t raw) {
    return std::clamp(static_cast<float>(raw) / kAxisScale, 0.0f, 1.0f);
}

float dpad_value(bool negative, bool positive) {
    return (positive ? 1.0f : 0.0f) - (negative ? 1.0f : 0.0f);
}

std::optional<float> coarse_battery_level(int sdl_power_level) {
    switch (sdl_power_level) {
        case SDL_JOYSTICK_POWER_EMPTY:
            return 0.05f;
        case SDL_JOYSTICK_POWER_LOW:
            return 0.2f;
        case SDL_JOYSTICK_POWER_MEDIUM:
            return 0.7f;
        case SDL_JOYSTICK_POWER_FULL:
            return 1.0f;
        default:
            return std::nullopt;
    }
}

std::optional<float> sysfs_battery_level(const std::filesystem::path& sysfs_root,
                                         std::string_view device_path) {
    const std::filesystem::path node(device_path);
    const std::string name = node.filename().string();
    std::filesystem::path link;
    if (name.starts_with("hidraw")) {
        link = sysfs_root / "class" / "hidraw" / name / "device";
    } else if (name.starts_with("event") || name.starts_with("js")) {
        link = sysfs_root / "class" / "input" / name / "device";
    } else {
        return std::nullopt;
    }
    std::error_code ec;
    std::filesystem::path device = std::filesystem::canonical(link, ec);
    if (ec) return std::nullopt;
    const std::filesystem::path devices = std::filesystem::weakly_canonical(sysfs_root / "devices");
    for (int level = 0; level <= kParentsSearched; ++level) {
        if (const auto found = supply_level_in(device)) return found;
        if (device == devices || !device.has_parent_path() || device.parent_path() == device) break;
        device = device.parent_path();
        if (device == devices) break;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- SDL backend

void SdlGamepad::Closer::operator()(_SDL_GameController* controller) const noexcept {
    SDL_GameControllerClose(controller);
}

Result<std::unique_ptr<SdlGamepad>> SdlGamepad::create(std::filesystem::path sysfs_root) {
    auto subsystem = SdlGameControllerSubsystem::start();
    if (!subsystem) return Error{subsystem.error()};
    return std::unique_ptr<SdlGamepad>(
        new SdlGamepad(std::move(subsystem).value(), std::move(sysfs_root)));
}

SdlGamepad::SdlGamepad(SdlGameControllerSubsystem subsystem, std::filesystem::path sysfs_root)
    : subsystem_(std::move(subsystem)), sysfs_root_(std::move(sysfs_root)) {}

SdlGamepad::~SdlGamepad() = default;

std::vector<ControllerId> SdlGamepad::controllers() {
    // Also where SDL notices controllers that came or went.
    SDL_GameControllerUpdate();
    std::vector<ControllerId> ids;
    const int count = SDL_NumJoysticks();
    for (int index = 0; index < count; ++index) {
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
        if (id >= 0) ids.push_back(static_cast<ControllerId>(id));
    }
    // Controllers opened only to look at them, never adopted, are not released by anyone else.
    std::erase_if(open_, [&](const auto& entry) {
        const bool gone = std::find(ids.begin(), ids.end(), entry.first) == ids.end();
        if (gone && watch_) watch_->forget_device(entry.first);
        if (gone) stick_readers_.erase(entry.first);
        return gone;
    });
    return ids;
}

_SDL_GameController* SdlGamepad::open(ControllerId id) {
    if (const auto it = open_.find(id); it != open_.end()) {
        if (SDL_GameControllerGetAttached(it->second.get())) return it->second.get();
        return nullptr;
    }
    const int count = SDL_NumJoysticks();
    for (int index = 0; index < count; ++index) {
        if (static_cast<ControllerId>(SDL_JoystickGetDeviceInstanceID(index)) != id) continue;
        if (!SDL_IsGameController(index)) return nullptr;
        Controller controller(SDL_GameControllerOpen(index));
        if (!controller) return nullptr;
        if (watch_) {
            if (const std::optional<std::string> node = device_node(id, controller.get())) {
                watch_->watch_device(id, *node, stick_axes(controller.get()));
            }
        }
        // A user who fixed /dev/uinput's access and then plugged in the controller expects it to
        // work: the waiting uinput output looks again at its next command.
        uinput_recheck_counter().fetch_add(1, std::memory_order_relaxed);
        return open_.emplace(id, std::move(controller)).first->second.get();
    }
    return nullptr;
}

bool SdlGamepad::has_extended_profile(ControllerId id) {
    SDL_GameController* controller = open(id);
    if (controller == nullptr) return false;
    // What the Xbox layout cannot do without; View, Menu, Xbox and the stick clicks may be absent
    // and then read as never pressed.
    constexpr SDL_GameControllerButton buttons[] = {
        SDL_CONTROLLER_BUTTON_A,
        SDL_CONTROLLER_BUTTON_B,
        SDL_CONTROLLER_BUTTON_X,
        SDL_CONTROLLER_BUTTON_Y,
        SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
        SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
        SDL_CONTROLLER_BUTTON_DPAD_UP,
        SDL_CONTROLLER_BUTTON_DPAD_DOWN,
        SDL_CONTROLLER_BUTTON_DPAD_LEFT,
        SDL_CONTROLLER_BUTTON_DPAD_RIGHT,
    };
    return std::all_of(std::begin(buttons), std::end(buttons),
                       [&](auto b) { return SDL_GameControllerHasButton(controller, b); }) &&
           std::all_of(kSdlSticksAndTriggers.begin(), kSdlSticksAndTriggers.end(),
                       [&](auto a) { return SDL_GameControllerHasAxis(controller, a); });
}

std::optional<ControllerSnapshot> SdlGamepad::read(ControllerId id) {
    SDL_GameControllerUpdate();
    SDL_GameController* controller = open(id);
    if (controller == nullptr) return std::nullopt;
    const auto pressed = [controller](SDL_GameControllerButton button) {
        return SDL_GameControllerGetButton(controller, button) != 0;
    };
    const auto axis = [controller](SDL_GameControllerAxis which) {
        return SDL_GameControllerGetAxis(controller, which);
    };
    ControllerSnapshot snapshot;
    for (std::size_t i = 0; i < kSdlSnapshotButtons.size(); ++i)
        snapshot.buttons[i] = pressed(kSdlSnapshotButtons[i]);
    // SDL's sticks already grow downward, the direction the engine wants.
    snapshot.axes[0] = stick_value(axis(SDL_CONTROLLER_AXIS_LEFTX));
    snapshot.axes[1] = stick_value(axis(SDL_CONTROLLER_AXIS_LEFTY));
    snapshot.axes[2] = stick_value(axis(SDL_CONTROLLER_AXIS_RIGHTX));
    snapshot.axes[3] = stick_value(axis(SDL_CONTROLLER_AXIS_RIGHTY));
    snapshot.axes[4] = trigger_value(axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT));
    snapshot.axes[5] = trigger_value(axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT));
    snapshot.axes[6] = dpad_value(pressed(SDL_CONTROLLER_BUTTON_DPAD_LEFT),
                                  pressed(SDL_CONTROLLER_BUTTON_DPAD_RIGHT));
    snapshot.axes[7] = dpad_value(pressed(SDL_CONTROLLER_BUTTON_DPAD_UP),
                                  pressed(SDL_CONTROLLER_BUTTON_DPAD_DOWN));
    return snapshot;
}

std::optional<StickReader> SdlGamepad::open_stick_reader(ControllerId id) {
    SDL_GameController* controller = open(id);
    // SDL's optional dead zones are a scaling of its own that the copy would not repeat.
    if (controller == nullptr || SDL_GetHintBoolean(SDL_HINT_LINUX_JOYSTICK_DEADZONES, SDL_FALSE))
        return std::nullopt;
    const std::unique_ptr<char, decltype(&SDL_free)> mapping(SDL_GameControllerMapping(controller),
                                                             &SDL_free);
    const auto axes = plain_stick_axes(mapping ? std::string_view(mapping.get()) : "");
    if (!axes) return std::nullopt;
    std::optional<StickCopy> copy = open_virtual_stick_copy(id);
    if (!copy) {
        const char* node = SDL_GameControllerPath(controller);
        if (node == nullptr || *node == '\0') return std::nullopt;
        copy = open_evdev_stick_copy(node, *axes);
    }
    if (!copy) return std::nullopt;
    return StickReader(std::move(*copy));
}

std::optional<StickAxes> SdlGamepad::read_sticks(ControllerId id) {
    if (sticks_quiet_) {
        auto [entry, added] = stick_readers_.try_emplace(id);
        if (added) entry->second = open_stick_reader(id);
        if (entry->second) {
            if (const std::optional<StickAxes> sticks = entry->second->read()) return sticks;
            // Gone, or reports were lost: SDL reads this time, and a new copy is tried next.
            stick_readers_.erase(entry);
        }
    }
    SDL_GameControllerUpdate();
    SDL_GameController* controller = open(id);
    if (controller == nullptr) return std::nullopt;
    StickAxes sticks;
    for (std::size_t i = 0; i < sticks.size(); ++i)
        sticks[i] = stick_value(SDL_GameControllerGetAxis(controller, kSdlSticksAndTriggers[i]));
    return sticks;
}

std::optional<std::string> SdlGamepad::vendor_name(ControllerId id) {
    SDL_GameController* controller = open(id);
    if (controller == nullptr) return std::nullopt;
    const char* name = SDL_GameControllerName(controller);
    if (name == nullptr || *name == '\0') return std::nullopt;
    return std::string(name);
}

std::optional<float> SdlGamepad::battery_level(ControllerId id) {
    SDL_GameController* controller = open(id);
    if (controller == nullptr) return std::nullopt;
    // The kernel's percentage is finer than SDL's four levels, when the driver gives one.
    if (const char* path = SDL_GameControllerPath(controller); path != nullptr) {
        if (const auto level = sysfs_battery_level(sysfs_root_, path)) return level;
    }
    return coarse_battery_level(
        SDL_JoystickCurrentPowerLevel(SDL_GameControllerGetJoystick(controller)));
}

Result<void> SdlGamepad::rumble_once(ControllerId id) {
    SDL_GameController* controller = open(id);
    if (controller == nullptr || !SDL_GameControllerHasRumble(controller)) {
        return Error{"controller has no haptics"};
    }
    if (SDL_GameControllerRumble(controller, 0xFFFF, 0xFFFF, 150) != 0) {
        return Error{std::string("could not rumble: ") + SDL_GetError()};
    }
    return {};
}

void SdlGamepad::quiet_sticks(bool quiet) {
    sticks_quiet_ = quiet;
    if (!quiet) stick_readers_.clear();
    if (watch_) watch_->quiet_sticks(quiet);
}

void SdlGamepad::release(ControllerId id) {
    open_.erase(id);
    stick_readers_.erase(id);
    if (watch_) watch_->forget_device(id);
}

bool SdlGamepad::watch(std::function<void(ControllerNews)> news) {
    auto started = GamepadWatch::start(std::move(news));
    if (!started) {
        diag(started.error());
        return false;
    }
    watch_ = std::move(started).value();
    for (const auto& [id, controller] : open_) {
        if (const std::optional<std::string> node = device_node(id, controller.get())) {
            watch_->watch_device(id, *node, stick_axes(controller.get()));
        }
    }
    return true;
}

}  // namespace thumbrover
