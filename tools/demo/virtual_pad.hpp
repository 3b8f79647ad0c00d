#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/common/files.hpp"
#include "core/common/result.hpp"
#include "linux/sdl_subsystem.hpp"
#include "platform/gamepad.hpp"

struct _SDL_Joystick;

namespace thumbrover {

// A controller with the Xbox layout that exists only inside this process: SDL's virtual joystick,
// which SDL maps as a game controller like a real one. It plays the user's part in the tests and
// in the demonstration. Values are given in the engine's terms (snapshot indices, -1..1 sticks
// with y positive downward) and reach readers at SDL's next update.
class VirtualPad {
  public:
    // Plugs it in. Fails with SDL's reason. With `report_node`, it reports as a real controller
    // does: every change is also written as evdev records (one report, closed by SYN_REPORT, per
    // call) into a pipe made at that path, which the program watches as a device node, and its
    // sticks' records into every further opening the program makes of that node (see
    // `open_virtual_stick_copy`); without, it tells the program directly.
    [[nodiscard]] static Result<std::unique_ptr<VirtualPad>> plug_in(
        const std::string& name = "Thumbrover Virtual Pad",
        std::optional<std::filesystem::path> report_node = std::nullopt);

    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;
    ~VirtualPad();

    // Its identity as SdlGamepad reports it.
    [[nodiscard]] ControllerId id() const { return id_; }

    // Button by snapshot index: 0 A, 1 B, 2 X, 3 Y, 4/5 bumpers, 6 View, 7 Menu, 8 Xbox,
    // 9/10 stick clicks.
    void set_button(std::size_t index, bool pressed);
    // Axis by snapshot index: 0..3 sticks (-1..1, y down), 4/5 triggers (0..1), 6/7 D-pad (the
    // sign picks the direction; zero releases both).
    void set_axis(std::size_t index, float value);
    // Several axes changed in one report, as a controller reports both axes of a moving stick.
    void set_axes(std::initializer_list<std::pair<std::size_t, float>> values);

    // Pulls the plug; readers see it gone at their next update. Afterwards setters do nothing.
    void unplug();

    // Rumbles started on it so far (a rumble's stop does not count).
    [[nodiscard]] int rumbles() const { return rumbles_->load(); }

    // The joystick axes (as bits of their SDL numbers) its report node leaves out now.
    [[nodiscard]] std::uint32_t quiet_axes() const { return quiet_axes_->load(); }

  private:
    // Changes the state SDL reads; false for an index the pad does not have.
    bool store_axis(std::size_t index, float value);
    // The report of one change: to the node when there is one, else straight to the watches.
    void report(std::initializer_list<std::pair<std::size_t, float>> axes,
                std::optional<std::pair<std::size_t, bool>> button);
    // The sticks' part of a report, to each further opening of the node.
    void write_copies(std::initializer_list<std::pair<std::size_t, float>> axes);

    VirtualPad(SdlGameControllerSubsystem subsystem, std::shared_ptr<std::atomic<int>> rumbles)
        : subsystem_(std::move(subsystem)), rumbles_(std::move(rumbles)) {}

    SdlGameControllerSubsystem subsystem_;
    std::shared_ptr<std::atomic<int>> rumbles_;
    std::string name_;
    _SDL_Joystick* joystick_ = nullptr;
    ControllerId id_ = 0;
    std::filesystem::path node_path_;
    UniqueFd node_;
    // The joystick axes (as bits) whose records the node leaves out, as the kernel does for the
    // watch of an evdev node told to.
    std::shared_ptr<std::atomic<std::uint32_t>> quiet_axes_ =
        std::make_shared<std::atomic<std::uint32_t>>(0);

    // The further openings of the node, each told to keep only the sticks: what the kernel keeps
    // for each reader of an evdev node.
    struct StickCopies {
        std::mutex mutex;
        std::array<std::int32_t, kSnapshotStickAxes> values{};
        std::vector<UniqueFd> writers;
    };
    std::shared_ptr<StickCopies> copies_ = std::make_shared<StickCopies>();
};

}  // namespace thumbrover
