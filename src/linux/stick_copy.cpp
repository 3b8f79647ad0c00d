#include "linux/stick_copy.hpp"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "core/common/numeric.hpp"
#include "linux/gamepad.hpp"
#include "linux/gamepad_watch.hpp"

namespace thumbrover {
namespace {

constexpr std::array<std::string_view, kSnapshotStickAxes> kStickNames = {"leftx", "lefty",
                                                                          "rightx", "righty"};

// The events an opening of `fd` is handed: of `type`, only the codes whose bits are set.
bool set_mask(int fd, std::uint16_t type, std::span<const std::uint8_t> bits) {
    input_mask mask{type, static_cast<std::uint32_t>(bits.size()),
                    reinterpret_cast<std::uintptr_t>(bits.data())};
    return ::ioctl(fd, EVIOCSMASK, &mask) == 0;
}

std::mutex& copies_mutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<ControllerId, OpenStickCopy>& virtual_copies() {
    static std::map<ControllerId, OpenStickCopy> copies;
    return copies;
}

}  // namespace

std::int16_t sdl_joystick_value(std::int32_t value, std::int32_t minimum, std::int32_t maximum) {
    if (minimum == maximum) return saturate_cast<std::int16_t>(value);
    // In single precision and rounded as SDL's Linux driver does, so that both give the same
    // value for every report.
    const float scale = 65535.0f / static_cast<float>(static_cast<std::int64_t>(maximum) - minimum);
    const float scaled =
        static_cast<float>(static_cast<std::int64_t>(value) - minimum) * scale - 32768.0f + 0.5f;
    return saturate_cast<std::int16_t>(std::floor(scaled));
}

std::optional<std::array<int, kSnapshotStickAxes>> plain_stick_axes(std::string_view mapping) {
    std::array<std::optional<int>, kSnapshotStickAxes> found{};
    std::size_t field = 0;
    while (!mapping.empty()) {
        const std::size_t comma = mapping.find(',');
        const std::string_view item = mapping.substr(0, comma);
        mapping = comma == std::string_view::npos ? std::string_view{} : mapping.substr(comma + 1);
        // The GUID and the name come first.
        if (field++ < 2) continue;
        const std::size_t colon = item.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view key = item.substr(0, colon);
        const std::string_view bound = item.substr(colon + 1);
        for (std::size_t i = 0; i < kStickNames.size(); ++i) {
            if (key != kStickNames[i]) continue;
            int axis = -1;
            const char* end = bound.data() + bound.size();
            // Exactly "a" and a number: no sign, range or "~" on either side.
            if (found[i] || bound.size() < 2 || bound[0] != 'a' ||
                std::from_chars(bound.data() + 1, end, axis).ptr != end || axis < 0)
                return std::nullopt;
            found[i] = axis;
        }
    }
    std::array<int, kSnapshotStickAxes> axes{};
    for (std::size_t i = 0; i < axes.size(); ++i) {
        if (!found[i]) return std::nullopt;
        axes[i] = *found[i];
    }
    return axes;
}

std::optional<StickCopy> open_evdev_stick_copy(
    const std::string& node, const std::array<int, kSnapshotStickAxes>& stick_axes) {
    StickCopy copy;
    copy.fd.reset(::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!copy.fd.valid()) return std::nullopt;
    std::array<std::uint8_t, (ABS_CNT + 7) / 8> abs{};
    if (::ioctl(copy.fd.get(), EVIOCGBIT(EV_ABS, abs.size()), abs.data()) < 0) return std::nullopt;
    const std::vector<std::uint16_t> codes = abs_codes_of_axes(abs, stick_axes);
    if (codes.size() != kSnapshotStickAxes) return std::nullopt;

    // Of the event types only the absolute axes (synchronisation always comes through), and of
    // those only the sticks: the kernel drops a report with none of them in it.
    std::array<std::uint8_t, (EV_CNT + 7) / 8> types{};
    types[EV_ABS / 8] = static_cast<std::uint8_t>(1u << (EV_ABS % 8));
    std::array<std::uint8_t, (ABS_CNT + 7) / 8> sticks{};
    for (const std::uint16_t code : codes)
        sticks[code / 8] = static_cast<std::uint8_t>(sticks[code / 8] | (1u << (code % 8)));
    if (!set_mask(copy.fd.get(), EV_SYN, types) || !set_mask(copy.fd.get(), EV_ABS, sticks))
        return std::nullopt;

    // Asked after the masks are set: what comes later is queued, and read on top of this.
    for (std::size_t i = 0; i < kSnapshotStickAxes; ++i) {
        input_absinfo info{};
        if (::ioctl(copy.fd.get(), EVIOCGABS(codes[i]), &info) < 0) return std::nullopt;
        copy.axes[i] = StickCopyAxis{codes[i], info.minimum, info.maximum, info.value};
    }
    return copy;
}

StickReader::StickReader(StickCopy copy) : copy_(std::move(copy)) {}

std::optional<StickAxes> StickReader::read() {
    std::array<input_event, 64> records;
    for (;;) {
        const auto n = ::read(copy_.fd.get(), records.data(), sizeof records);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) break;
        // Unplugged (the node fails, a virtual controller's pipe ends) or a record cut short.
        if (n <= 0 || n % static_cast<long>(sizeof(input_event)) != 0) return std::nullopt;
        const std::size_t count = static_cast<std::size_t>(n) / sizeof(input_event);
        if (!take(std::span(records).first(count))) return std::nullopt;
        if (count < records.size()) break;
    }
    return sticks();
}

bool StickReader::take(std::span<const input_event> records) {
    for (const input_event& record : records) {
        if (record.type == EV_SYN && record.code == SYN_DROPPED) return false;
        if (record.type != EV_ABS) continue;
        for (StickCopyAxis& axis : copy_.axes) {
            if (axis.code == record.code) axis.value = record.value;
        }
    }
    return true;
}

StickAxes StickReader::sticks() const {
    StickAxes sticks{};
    for (std::size_t i = 0; i < sticks.size(); ++i) {
        const StickCopyAxis& axis = copy_.axes[i];
        sticks[i] = stick_value(sdl_joystick_value(axis.value, axis.minimum, axis.maximum));
    }
    return sticks;
}

void set_virtual_stick_copies(ControllerId id, OpenStickCopy open) {
    std::lock_guard lock(copies_mutex());
    virtual_copies()[id] = std::move(open);
}

void clear_virtual_stick_copies(ControllerId id) {
    std::lock_guard lock(copies_mutex());
    virtual_copies().erase(id);
}

std::optional<StickCopy> open_virtual_stick_copy(ControllerId id) {
    OpenStickCopy open;
    {
        std::lock_guard lock(copies_mutex());
        const auto it = virtual_copies().find(id);
        if (it == virtual_copies().end()) return std::nullopt;
        open = it->second;
    }
    return open();
}

}  // namespace thumbrover
