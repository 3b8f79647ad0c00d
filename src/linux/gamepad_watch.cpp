#include "linux/gamepad_watch.hpp"

#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <utility>
#include <vector>

#include "core/common/diag.hpp"

namespace thumbrover {
namespace {

constexpr std::chrono::milliseconds kReportGap{4};

// Reads whatever is queued on a non-blocking descriptor; only the fact that something came
// matters.
void drain(int fd) {
    char bytes[4096];
    for (;;) {
        const auto n = ::read(fd, bytes, sizeof bytes);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        return;
    }
}

std::mutex& watches_mutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<const GamepadWatch*>& watches() {
    static std::vector<const GamepadWatch*> all;
    return all;
}

std::mutex& nodes_mutex() {
    static std::mutex mutex;
    return mutex;
}

struct VirtualNode {
    std::string path;
    NodeQuiet quiet;
};

std::map<ControllerId, VirtualNode>& virtual_nodes() {
    static std::map<ControllerId, VirtualNode> nodes;
    return nodes;
}

NodeQuiet virtual_node_quiet(ControllerId id) {
    std::lock_guard lock(nodes_mutex());
    const auto it = virtual_nodes().find(id);
    return it == virtual_nodes().end() ? NodeQuiet{} : it->second.quiet;
}

using AbsBits = std::array<std::uint8_t, (ABS_CNT + 7) / 8>;

// Lets every absolute axis through but `left_out`. Fails on a node that is no evdev node or a
// kernel without event masks (before 4.4).
bool mask_abs(int fd, std::span<const std::uint16_t> left_out) {
    AbsBits bits;
    bits.fill(0xFF);
    for (const std::uint16_t code : left_out) {
        if (code < ABS_CNT)
            bits[code / 8] = static_cast<std::uint8_t>(bits[code / 8] & ~(1u << (code % 8)));
    }
    input_mask mask{EV_ABS, static_cast<std::uint32_t>(bits.size()),
                    reinterpret_cast<std::uintptr_t>(bits.data())};
    return ::ioctl(fd, EVIOCSMASK, &mask) == 0;
}

}  // namespace

std::vector<std::uint16_t> abs_codes_of_axes(std::span<const std::uint8_t> abs_bits,
                                             std::span<const int> axes) {
    std::vector<std::uint16_t> numbered;
    for (std::uint16_t code = 0; code < abs_bits.size() * 8 && code < ABS_CNT; ++code) {
        if (code >= ABS_HAT0X && code <= ABS_HAT3Y) continue;
        if ((abs_bits[code / 8] & (1u << (code % 8))) != 0) numbered.push_back(code);
    }
    std::vector<std::uint16_t> codes;
    for (const int axis : axes) {
        if (axis >= 0 && static_cast<std::size_t>(axis) < numbered.size())
            codes.push_back(numbered[static_cast<std::size_t>(axis)]);
    }
    return codes;
}

void set_virtual_controller_node(ControllerId id, std::string node, NodeQuiet quiet) {
    std::lock_guard lock(nodes_mutex());
    virtual_nodes()[id] = VirtualNode{std::move(node), std::move(quiet)};
}

void clear_virtual_controller_node(ControllerId id) {
    std::lock_guard lock(nodes_mutex());
    virtual_nodes().erase(id);
}

std::optional<std::string> virtual_controller_node(ControllerId id) {
    std::lock_guard lock(nodes_mutex());
    const auto it = virtual_nodes().find(id);
    if (it == virtual_nodes().end()) return std::nullopt;
    return it->second.path;
}

void announce_virtual_controller(ControllerNews news, bool sticks_only) {
    std::lock_guard lock(watches_mutex());
    for (const GamepadWatch* watch : watches())
        watch->announce(news, sticks_only);
}

Result<std::unique_ptr<GamepadWatch>> GamepadWatch::start(Announce announce,
                                                          std::filesystem::path devices) {
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake.valid()) return Error{"could not watch controllers: " + errno_text(errno)};
    UniqueFd folder(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    if (!folder.valid()) return Error{"could not watch controllers: " + errno_text(errno)};
    // Creation and removal of a node, and its permissions changing once the device manager
    // has set them up, which is when SDL can open it.
    if (::inotify_add_watch(folder.get(), devices.c_str(),
                            IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_TO) < 0) {
        folder.reset();
    }
    std::unique_ptr<GamepadWatch> watch(
        new GamepadWatch(std::move(announce), std::move(wake), std::move(folder)));
    try {
        watch->thread_ = std::thread([w = watch.get()] { w->run(); });
    } catch (const std::system_error&) {
        diag("failed to spawn thread");
        std::abort();
    }
    std::lock_guard lock(watches_mutex());
    watches().push_back(watch.get());
    return watch;
}

GamepadWatch::GamepadWatch(Announce announce, UniqueFd wake, UniqueFd folder)
    : announce_(std::move(announce)), wake_(std::move(wake)), folder_(std::move(folder)) {}

GamepadWatch::~GamepadWatch() {
    {
        std::lock_guard lock(watches_mutex());
        std::erase(watches(), this);
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    poke();
    if (thread_.joinable()) thread_.join();
}

void GamepadWatch::watch_device(ControllerId id, const std::string& node,
                                std::vector<int> stick_axes) {
    {
        std::lock_guard lock(mutex_);
        Wanted wanted{node, std::move(stick_axes)};
        const auto [it, added] = wanted_.try_emplace(id, wanted);
        if (!added && it->second.node == node && it->second.stick_axes == wanted.stick_axes) return;
        it->second = std::move(wanted);
    }
    poke();
}

void GamepadWatch::quiet_sticks(bool quiet) {
    if (quiet_.exchange(quiet) != quiet) poke();
}

void GamepadWatch::forget_device(ControllerId id) {
    {
        std::lock_guard lock(mutex_);
        if (wanted_.erase(id) == 0) return;
    }
    poke();
}

void GamepadWatch::poke() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wake_.get(), &one, sizeof one);
}

void GamepadWatch::run() {
    pthread_setname_np(pthread_self(), "gamepad-watch");
    struct Open {
        Wanted wanted;
        UniqueFd fd;
        // The evdev codes of its sticks; none for a node that is not an evdev node.
        std::optional<std::vector<std::uint16_t>> stick_codes;
        // What the node was last told.
        std::optional<bool> quiet;
    };
    // Tells one node whether to leave its sticks out; true when it let them in again.
    const auto tell = [](ControllerId id, Open& entry, bool quiet) {
        if (entry.quiet == quiet) return false;
        const bool unmasked = entry.quiet.value_or(false) && !quiet;
        entry.quiet = quiet;
        if (entry.stick_codes) {
            const std::vector<std::uint16_t> none;
            (void)mask_abs(entry.fd.get(), quiet ? *entry.stick_codes : none);
        } else if (const NodeQuiet virtual_quiet = virtual_node_quiet(id)) {
            virtual_quiet(quiet ? entry.wanted.stick_axes : std::vector<int>{});
        }
        return unmasked;
    };
    std::map<ControllerId, Open> open;
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
            std::erase_if(open, [&](const auto& entry) {
                const auto it = wanted_.find(entry.first);
                return it == wanted_.end() || it->second.node != entry.second.wanted.node ||
                       it->second.stick_axes != entry.second.wanted.stick_axes;
            });
            for (const auto& [id, wanted] : wanted_) {
                if (open.contains(id)) continue;
                UniqueFd fd(::open(wanted.node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
                // Left out: the controller is then read when something else is announced.
                if (!fd.valid()) continue;
                Open entry{wanted, std::move(fd), std::nullopt, std::nullopt};
                AbsBits abs{};
                if (::ioctl(entry.fd.get(), EVIOCGBIT(EV_ABS, abs.size()), abs.data()) >= 0) {
                    entry.stick_codes = abs_codes_of_axes(abs, wanted.stick_axes);
                }
                open.emplace(id, std::move(entry));
            }
        }
        const bool quiet = quiet_.load();
        bool unmasked = false;
        for (auto& [id, entry] : open)
            unmasked = tell(id, entry, quiet) || unmasked;
        // A stick may have moved between the reader's last read and the mask coming off, with
        // nothing announced: one more read finds it.
        if (unmasked) announce_(ControllerNews::Input);
        std::vector<pollfd> fds{{wake_.get(), POLLIN, 0}, {folder_.get(), POLLIN, 0}};
        std::vector<ControllerId> ids;
        for (const auto& [id, entry] : open) {
            fds.push_back({entry.fd.get(), POLLIN, 0});
            ids.push_back(id);
        }
        // A negative descriptor (no device folder) is skipped by poll().
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            diag("cannot watch controllers: " + errno_text(errno));
            return;
        }
        if (fds[0].revents != 0) drain(wake_.get());
        bool devices = false;
        bool input = false;
        if (fds[1].revents != 0) {
            drain(folder_.get());
            devices = true;
        }
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const short revents = fds[i + 2].revents;
            if ((revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                // Unplugged: the node is dead for good, and the device list has changed.
                open.erase(ids[i]);
                devices = true;
            } else if ((revents & POLLIN) != 0) {
                drain(fds[i + 2].fd);
                input = true;
            }
        }
        if (devices) announce_(ControllerNews::Devices);
        if (input) {
            announce_(ControllerNews::Input);
            // A controller that streams reports would otherwise wake this thread for each one;
            // the reader takes up what comes in meanwhile with its next read anyway.
            std::this_thread::sleep_for(kReportGap);
        }
    }
}

}  // namespace thumbrover
