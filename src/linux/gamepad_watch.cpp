#include "linux/gamepad_watch.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

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

}  // namespace

void announce_virtual_controller(ControllerNews news) {
    std::lock_guard lock(watches_mutex());
    for (const GamepadWatch* watch : watches())
        watch->announce(news);
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

void GamepadWatch::watch_device(ControllerId id, const std::string& node) {
    {
        std::lock_guard lock(mutex_);
        const auto [it, added] = wanted_.try_emplace(id, node);
        if (!added && it->second == node) return;
        it->second = node;
    }
    poke();
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
        std::string node;
        UniqueFd fd;
    };
    std::map<ControllerId, Open> open;
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
            std::erase_if(open, [&](const auto& entry) {
                const auto it = wanted_.find(entry.first);
                return it == wanted_.end() || it->second != entry.second.node;
            });
            for (const auto& [id, node] : wanted_) {
                if (open.contains(id)) continue;
                UniqueFd fd(::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
                // Left out: the controller is then read when something else is announced.
                if (fd.valid()) open.emplace(id, Open{node, std::move(fd)});
            }
        }
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
