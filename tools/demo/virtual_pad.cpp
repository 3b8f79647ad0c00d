#include "demo/virtual_pad.hpp"

#include <SDL.h>
#include <fcntl.h>
#include <linux/input.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <utility>
#include <vector>

#include "core/common/numeric.hpp"
#include "linux/gamepad_watch.hpp"
#include "linux/sdl_layout.hpp"
#include "linux/stick_copy.hpp"

namespace thumbrover {
namespace {

int on_rumble(void* userdata, Uint16 low, Uint16 high) {
    // SDL calls this with zero strengths when a rumble's time is up.
    if (low != 0 || high != 0) ++*static_cast<std::atomic<int>*>(userdata);
    return 0;
}

float clamped(float value, float low) {
    return std::isnan(value) ? 0.0f : std::fmin(std::fmax(value, low), 1.0f);
}

std::int16_t raw_stick(float value) {
    return saturate_cast<std::int16_t>(std::lround(clamped(value, -1.0f) * 32767.0f));
}

// The standard mapping reads a trigger's raw axis over its whole range, -32768 released to 32767
// fully pulled.
std::int16_t raw_trigger(float value) {
    return saturate_cast<std::int16_t>(std::lround(clamped(value, 0.0f) * 65535.0f) - 32768);
}

// The evdev codes of an Xbox controller's driver, in snapshot order.
constexpr std::array<std::uint16_t, kSnapshotButtons> kButtonCodes = {
    BTN_A,      BTN_B,     BTN_X,    BTN_Y,      BTN_TL,     BTN_TR,
    BTN_SELECT, BTN_START, BTN_MODE, BTN_THUMBL, BTN_THUMBR,
};
constexpr std::array<std::uint16_t, kSnapshotAxes> kAxisCodes = {
    ABS_X, ABS_Y, ABS_RX, ABS_RY, ABS_Z, ABS_RZ, ABS_HAT0X, ABS_HAT0Y,
};

std::int32_t raw_axis(std::size_t index, float value) {
    if (index < 4) return raw_stick(value);
    if (index < 6) return raw_trigger(value);
    return value < 0.0f ? -1 : value > 0.0f ? 1 : 0;
}

input_event record(std::uint16_t type, std::uint16_t code, std::int32_t value) {
    input_event event{};
    event.type = type;
    event.code = code;
    event.value = value;
    return event;
}

// A pipe, as cheap to read as the kernel's buffer of an evdev node: small writes share its pages.
template <class Copies>
std::optional<StickCopy> open_copy(Copies& copies) {
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return std::nullopt;
    StickCopy copy;
    copy.fd.reset(ends[0]);
    std::lock_guard lock(copies.mutex);
    copies.writers.emplace_back(ends[1]);
    for (std::size_t i = 0; i < kSnapshotStickAxes; ++i)
        copy.axes[i] = StickCopyAxis{kAxisCodes[i], -32768, 32767, copies.values[i]};
    return copy;
}

// Holds SIGPIPE back on this thread while it lives, so that writing to a pipe whose reader has
// gone fails with EPIPE instead of ending the process; a signal raised meanwhile is taken.
class PipeSignalHeld {
  public:
    PipeSignalHeld() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &before_);
    }
    ~PipeSignalHeld() {
        if (raised_) {
            const timespec none{};
            while (sigtimedwait(&pipe_, nullptr, &none) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &before_, nullptr);
    }
    PipeSignalHeld(const PipeSignalHeld&) = delete;
    PipeSignalHeld& operator=(const PipeSignalHeld&) = delete;
    void raised() { raised_ = true; }

  private:
    sigset_t pipe_{};
    sigset_t before_{};
    bool raised_ = false;
};

}  // namespace

Result<std::unique_ptr<VirtualPad>> VirtualPad::plug_in(
    const std::string& name, std::optional<std::filesystem::path> report_node) {
    auto subsystem = SdlGameControllerSubsystem::start();
    if (!subsystem) return Error{subsystem.error()};
    auto rumbles = std::make_shared<std::atomic<int>>(0);
    std::unique_ptr<VirtualPad> pad(new VirtualPad(std::move(subsystem).value(), rumbles));
    pad->name_ = name;

    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    // Declared as a game controller whose buttons and axes are SDL's own, in SDL's order, so SDL
    // builds the standard mapping from the masks.
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1;
    desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
    desc.button_mask = (1u << (SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1)) - 1;
    desc.vendor_id = 0x045E;  // Microsoft
    desc.product_id = 0x028E;
    desc.name = pad->name_.c_str();
    desc.userdata = rumbles.get();
    desc.Rumble = on_rumble;
    if (report_node) {
        if (::mkfifo(report_node->c_str(), 0600) != 0) {
            return Error{"could not make " + report_node->string() + ": " + errno_text(errno)};
        }
        pad->node_path_ = *report_node;
        // Read and write, so that opening never waits for the reader and the reader never sees
        // the pipe hang up while the pad is plugged in.
        pad->node_.reset(::open(report_node->c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        if (!pad->node_.valid()) {
            return Error{"could not open " + report_node->string() + ": " + errno_text(errno)};
        }
    }
    // Readers see the pad only once it is whole: its triggers released and its node named.
    struct JoysticksLocked {
        JoysticksLocked() { SDL_LockJoysticks(); }
        ~JoysticksLocked() { SDL_UnlockJoysticks(); }
        JoysticksLocked(const JoysticksLocked&) = delete;
        JoysticksLocked& operator=(const JoysticksLocked&) = delete;
    };
    {
        const JoysticksLocked locked;
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        if (index < 0)
            return Error{std::string("could not plug in a virtual controller: ") + SDL_GetError()};
        pad->joystick_ = SDL_JoystickOpen(index);
        if (pad->joystick_ == nullptr) {
            const std::string reason = SDL_GetError();
            SDL_JoystickDetachVirtual(index);
            return Error{"could not open the virtual controller: " + reason};
        }
        pad->id_ = static_cast<ControllerId>(SDL_JoystickInstanceID(pad->joystick_));
        // SDL starts every raw axis at 0, which would be a half-pulled trigger.
        pad->store_axis(4, 0.0f);
        pad->store_axis(5, 0.0f);
        if (pad->node_.valid()) {
            set_virtual_stick_copies(pad->id_,
                                     [copies = pad->copies_] { return open_copy(*copies); });
            set_virtual_controller_node(pad->id_, pad->node_path_.string(),
                                        [quiet = pad->quiet_axes_](const std::vector<int>& axes) {
                                            std::uint32_t bits = 0;
                                            for (const int axis : axes) {
                                                if (axis >= 0 && axis < 32) bits |= 1u << axis;
                                            }
                                            quiet->store(bits);
                                        });
        }
    }
    announce_virtual_controller(ControllerNews::Devices);
    return pad;
}

VirtualPad::~VirtualPad() {
    unplug();
}

void VirtualPad::set_button(std::size_t index, bool pressed) {
    if (joystick_ == nullptr || index >= kSdlSnapshotButtons.size()) return;
    SDL_JoystickSetVirtualButton(joystick_, kSdlSnapshotButtons[index], pressed ? 1 : 0);
    report({}, std::pair{index, pressed});
}

void VirtualPad::set_axis(std::size_t index, float value) {
    if (store_axis(index, value)) report({{index, value}}, std::nullopt);
}

void VirtualPad::set_axes(std::initializer_list<std::pair<std::size_t, float>> values) {
    bool any = false;
    for (const auto& [index, value] : values)
        any = store_axis(index, value) || any;
    if (any) report(values, std::nullopt);
}

bool VirtualPad::store_axis(std::size_t index, float value) {
    if (joystick_ == nullptr) return false;
    if (index < 4) {
        SDL_JoystickSetVirtualAxis(joystick_, kSdlSticksAndTriggers[index], raw_stick(value));
        std::lock_guard lock(copies_->mutex);
        copies_->values[index] = raw_stick(value);
    } else if (index < 6) {
        SDL_JoystickSetVirtualAxis(joystick_, kSdlSticksAndTriggers[index], raw_trigger(value));
    } else if (index < 8) {
        const bool horizontal = index == 6;
        const auto negative =
            horizontal ? SDL_CONTROLLER_BUTTON_DPAD_LEFT : SDL_CONTROLLER_BUTTON_DPAD_UP;
        const auto positive =
            horizontal ? SDL_CONTROLLER_BUTTON_DPAD_RIGHT : SDL_CONTROLLER_BUTTON_DPAD_DOWN;
        SDL_JoystickSetVirtualButton(joystick_, negative, value < 0.0f ? 1 : 0);
        SDL_JoystickSetVirtualButton(joystick_, positive, value > 0.0f ? 1 : 0);
    } else {
        return false;
    }
    return true;
}

void VirtualPad::report(std::initializer_list<std::pair<std::size_t, float>> axes,
                        std::optional<std::pair<std::size_t, bool>> button) {
    if (!node_.valid()) {
        const bool sticks_only =
            !button && std::all_of(axes.begin(), axes.end(), [](const auto& axis) {
                return axis.first < kSnapshotStickAxes;
            });
        announce_virtual_controller(ControllerNews::Input, sticks_only);
        return;
    }
    std::vector<input_event> records;
    if (button) records.push_back(record(EV_KEY, kButtonCodes[button->first], button->second));
    const std::uint32_t quiet = quiet_axes_->load();
    for (const auto& [index, value] : axes) {
        // Sticks and triggers are the joystick's axes in SDL's order; the D-pad is buttons.
        const bool left_out =
            index < kSdlSticksAndTriggers.size() &&
            (quiet & (1u << static_cast<unsigned>(kSdlSticksAndTriggers[index]))) != 0;
        if (index < kSnapshotAxes && !left_out)
            records.push_back(record(EV_ABS, kAxisCodes[index], raw_axis(index, value)));
    }
    write_copies(axes);
    // A report with nothing left in it wakes no reader, as with the kernel.
    if (records.empty()) return;
    records.push_back(record(EV_SYN, SYN_REPORT, 0));
    // A full pipe drops the report, as the kernel drops events for a reader that lags.
    [[maybe_unused]] const auto written =
        ::write(node_.get(), records.data(), records.size() * sizeof(input_event));
}

void VirtualPad::write_copies(std::initializer_list<std::pair<std::size_t, float>> axes) {
    std::vector<input_event> records;
    for (const auto& [index, value] : axes) {
        if (index < kSnapshotStickAxes)
            records.push_back(record(EV_ABS, kAxisCodes[index], raw_stick(value)));
    }
    if (records.empty()) return;
    records.push_back(record(EV_SYN, SYN_REPORT, 0));
    const std::size_t size = records.size() * sizeof(input_event);
    std::lock_guard lock(copies_->mutex);
    if (copies_->writers.empty()) return;
    PipeSignalHeld held;
    // A copy that cannot take the whole report is closed: its reader, finding it ended behind
    // what it had, reads through SDL and opens another, as it does when the kernel tells it that
    // reports were dropped. A copy whose reader has closed it is let go.
    std::erase_if(copies_->writers, [&](const UniqueFd& writer) {
        const auto written = ::write(writer.get(), records.data(), size);
        if (written < 0 && errno == EPIPE) held.raised();
        return written != static_cast<ssize_t>(size);
    });
}

void VirtualPad::unplug() {
    if (!node_path_.empty()) {
        if (joystick_ != nullptr) {
            clear_virtual_controller_node(id_);
            clear_virtual_stick_copies(id_);
        }
        {
            std::lock_guard lock(copies_->mutex);
            copies_->writers.clear();
        }
        // The watch sees the pipe hang up, as a device node does when it is unplugged.
        node_.reset();
        std::error_code ec;
        std::filesystem::remove(std::exchange(node_path_, {}), ec);
    }
    if (joystick_ == nullptr) return;
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
    // Detaching goes by device index, which shifts as devices come and go.
    for (int index = 0; index < SDL_NumJoysticks(); ++index) {
        if (static_cast<ControllerId>(SDL_JoystickGetDeviceInstanceID(index)) == id_) {
            SDL_JoystickDetachVirtual(index);
            break;
        }
    }
    announce_virtual_controller(ControllerNews::Devices);
}

}  // namespace thumbrover
