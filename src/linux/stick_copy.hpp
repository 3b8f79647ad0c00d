#pragma once

#include <linux/input.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/common/files.hpp"
#include "platform/gamepad.hpp"

namespace thumbrover {

// While the engine steers it reads the sticks at each of its ticks. Through SDL that read is a
// whole update of every joystick driver, with its hot-plug checks, 125 times a second. A
// controller's evdev node hands each opening its own copy of every report, so the sticks can be
// read instead from an opening of our own that is told to keep nothing but them: one read() per
// tick, taking up whatever came since the last.

// One stick axis of such an opening: its evdev code, its range, and its value when it was opened.
struct StickCopyAxis {
    std::uint16_t code = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t value = 0;
};

// An opening of a controller's node that carries only its sticks' reports, with what it knew of
// them at the start; axes in snapshot order (left x, left y, right x, right y).
struct StickCopy {
    UniqueFd fd;
    std::array<StickCopyAxis, kSnapshotStickAxes> axes{};
};

// SDL's scaling of an evdev axis onto its joystick range, -32768..32767 (without the dead zones
// that SDL applies only when asked to by a hint).
[[nodiscard]] std::int16_t sdl_joystick_value(std::int32_t value, std::int32_t minimum,
                                              std::int32_t maximum);

// The joystick axes (as SDL numbers them) that SDL's controller mapping binds to the left and
// right sticks, when each is bound to a whole joystick axis as it stands: "leftx:a0". None when
// any of them is inverted, half an axis, a button or a hat, or absent; SDL alone reads those.
[[nodiscard]] std::optional<std::array<int, kSnapshotStickAxes>> plain_stick_axes(
    std::string_view mapping);

// Opens the evdev node `node` once more, told to keep only the axes of the sticks (given as SDL's
// joystick axis numbers, in snapshot order). None when it is no evdev node (hidraw, a pipe) or
// cannot be told.
[[nodiscard]] std::optional<StickCopy> open_evdev_stick_copy(
    const std::string& node, const std::array<int, kSnapshotStickAxes>& stick_axes);

// The sticks as a copy has them, read at each tick.
class StickReader {
  public:
    explicit StickReader(StickCopy copy);

    // Everything the copy received since the last read, as the engine's stick values. None once
    // the copy is of no further use: its controller is gone, or it lost reports (the kernel drops
    // a lagging reader's oldest ones); the caller then reads through SDL and may open a new one.
    [[nodiscard]] std::optional<StickAxes> read();

    // Takes up records as they came; false once one says that reports were lost.
    bool take(std::span<const input_event> records);
    [[nodiscard]] StickAxes sticks() const;

  private:
    StickCopy copy_;
};

// What stands in for a second opening of a virtual controller's node (a pipe has one reader).
using OpenStickCopy = std::function<std::optional<StickCopy>()>;
void set_virtual_stick_copies(ControllerId id, OpenStickCopy open);
void clear_virtual_stick_copies(ControllerId id);
[[nodiscard]] std::optional<StickCopy> open_virtual_stick_copy(ControllerId id);

}  // namespace thumbrover
