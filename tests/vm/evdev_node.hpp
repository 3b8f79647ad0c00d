#pragma once

// The reading end of the virtual machine tests: an input device node opened through libevdev, as
// a compositor's libinput opens it, and read event for event.

#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace thumbrover::testing {

struct InputEvent {
    std::uint16_t type = 0;
    std::uint16_t code = 0;
    std::int32_t value = 0;
    friend bool operator==(const InputEvent&, const InputEvent&) = default;
    friend std::ostream& operator<<(std::ostream& out, const InputEvent& e) {
        const char* code = libevdev_event_code_get_name(e.type, e.code);
        return out << (code != nullptr ? code : std::to_string(e.code).c_str()) << '=' << e.value;
    }
};

inline constexpr InputEvent kSyn{EV_SYN, SYN_REPORT, 0};

class EvdevNode {
  public:
    // Opens the node whose device carries `name`, waiting for it to appear.
    static std::optional<EvdevNode> find(const std::string& name,
                                         std::chrono::milliseconds wait = std::chrono::seconds(3)) {
        const auto until = std::chrono::steady_clock::now() + wait;
        do {
            std::error_code ec;
            for (const auto& entry : std::filesystem::directory_iterator("/dev/input", ec)) {
                if (entry.path().filename().string().rfind("event", 0) != 0) continue;
                EvdevNode node(entry.path());
                if (node.dev_ && node.name() == name) return node;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < until);
        return std::nullopt;
    }

    [[nodiscard]] std::string name() const { return libevdev_get_name(dev_.get()); }
    [[nodiscard]] bool has(unsigned type, unsigned code) const {
        return libevdev_has_event_code(dev_.get(), type, code) == 1;
    }

    // The events up to and including the next report's end; fewer when nothing more comes within
    // `wait` or the device goes away (then `gone()` says so).
    std::vector<InputEvent> next_report(std::chrono::milliseconds wait = std::chrono::seconds(2)) {
        std::vector<InputEvent> events;
        while (true) {
            pollfd pfd{libevdev_get_fd(dev_.get()), POLLIN, 0};
            if (libevdev_has_event_pending(dev_.get()) == 0 &&
                ::poll(&pfd, 1, static_cast<int>(wait.count())) <= 0)
                return events;
            input_event ev{};
            const int rc = libevdev_next_event(dev_.get(), LIBEVDEV_READ_FLAG_NORMAL, &ev);
            if (rc == -EAGAIN) continue;
            if (rc != LIBEVDEV_READ_STATUS_SUCCESS) {
                gone_ = rc == -ENODEV;
                return events;
            }
            events.push_back({ev.type, ev.code, ev.value});
            if (ev.type == EV_SYN && ev.code == SYN_REPORT) return events;
        }
    }

    // Every event until nothing comes for `quiet`, or the device is gone. A uinput write has
    // queued its events here by the time it returns, so a short wait is enough.
    std::vector<InputEvent> drain(std::chrono::milliseconds quiet = std::chrono::milliseconds(50)) {
        std::vector<InputEvent> all;
        while (!gone_) {
            auto report = next_report(quiet);
            if (report.empty()) break;
            all.insert(all.end(), report.begin(), report.end());
        }
        return all;
    }

    [[nodiscard]] bool gone() const { return gone_; }

  private:
    struct Closer {
        void operator()(libevdev* dev) const {
            const int fd = libevdev_get_fd(dev);
            libevdev_free(dev);
            if (fd >= 0) ::close(fd);
        }
    };

    explicit EvdevNode(const std::filesystem::path& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return;
        libevdev* dev = nullptr;
        if (libevdev_new_from_fd(fd, &dev) != 0) {
            ::close(fd);
            return;
        }
        dev_.reset(dev);
    }

    std::unique_ptr<libevdev, Closer> dev_;
    bool gone_ = false;
};

}  // namespace thumbrover::testing
