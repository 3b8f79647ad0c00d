// The compositors whose request sockets can set one input device's acceleration: sway (i3's IPC,
// `input <identifier> accel_profile flat`, sway-ipc(7) and sway-input(5)) and Hyprland (its
// hyprctl socket, `keyword device[<name>]:accel_profile flat`, the Hyprland wiki's IPC and
// per-device input pages).

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "core/common/files.hpp"
#include "linux/pointer_acceleration.hpp"

namespace thumbrover {
namespace {

constexpr std::uint32_t kRunCommand = 0;
// A compositor that takes longer is stuck; the engine must not wait on it.
constexpr int kTimeoutSeconds = 5;

Result<UniqueFd> connect_to(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path) return Error{"its socket's path is too long"};
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return Error{errno_text(errno)};
    const timeval timeout{kTimeoutSeconds, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    int status = 0;
    do {
        status = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (status != 0 && errno == EINTR);
    if (status != 0) return Error{"cannot reach " + text + " (" + errno_text(errno) + ")"};
    return fd;
}

Result<void> send_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return Error{"the request could not be sent (" + errno_text(errno) + ")"};
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return {};
}

// Exactly `size` bytes, or as many as came before the end when `size` is none.
Result<std::string> receive(int fd, std::optional<std::size_t> size) {
    std::string bytes;
    char buffer[4096];
    while (!size || bytes.size() < *size) {
        const std::size_t want =
            size ? std::min(sizeof buffer, *size - bytes.size()) : sizeof buffer;
        const ssize_t got = ::recv(fd, buffer, want, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return Error{"no answer (" + errno_text(errno) + ")"};
        if (got == 0) {
            if (size) return Error{"the answer was cut short"};
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
        // Answers are a few bytes; a flood is not one.
        if (bytes.size() > (1u << 20)) return Error{"the answer was too long"};
    }
    return bytes;
}

class SwaySwitch final : public FlatPointerSwitch {
  public:
    explicit SwaySwitch(std::filesystem::path socket) : socket_(std::move(socket)) {}
    [[nodiscard]] std::string_view desktop() const override { return "sway"; }

    // sway keeps the setting under the identifier and applies it whenever a device of that
    // identifier is added, so it holds even for a device sway has not taken up yet.
    [[nodiscard]] Result<void> turn_off(const std::string&) override {
        auto fd = connect_to(socket_);
        if (!fd) return Error{fd.error()};
        const std::string command =
            "input \"" + sway_pointer_identifier() + "\" accel_profile flat";
        if (auto sent = send_all(fd->get(), i3_ipc_message(kRunCommand, command)); !sent)
            return sent;
        auto header = receive(fd->get(), 14);
        if (!header) return Error{header.error()};
        if (header->compare(0, 6, "i3-ipc") != 0) return Error{"it answered in another protocol"};
        std::uint32_t length = 0;
        std::memcpy(&length, header->data() + 6, sizeof length);
        auto payload = receive(fd->get(), std::min<std::size_t>(length, 1u << 20));
        if (!payload) return Error{payload.error()};
        const auto reply = nlohmann::json::parse(*payload, nullptr, false);
        if (!reply.is_array() || reply.empty()) return Error{"it gave no result"};
        for (const auto& result : reply) {
            if (!result.is_object() || !result.value("success", false)) {
                const std::string error =
                    result.is_object() ? result.value("error", "no reason given") : "";
                return Error{"it refused: " + error};
            }
        }
        return {};
    }

  private:
    std::filesystem::path socket_;
};

class HyprlandSwitch final : public FlatPointerSwitch {
  public:
    explicit HyprlandSwitch(std::filesystem::path socket) : socket_(std::move(socket)) {}
    [[nodiscard]] std::string_view desktop() const override { return "Hyprland"; }

    // Hyprland answers one request per connection and holds its whole loop while one is open,
    // so the connection is closed as soon as the answer is in.
    [[nodiscard]] Result<void> turn_off(const std::string&) override {
        auto fd = connect_to(socket_);
        if (!fd) return Error{fd.error()};
        const std::string request =
            "keyword device[" + hyprland_pointer_name() + "]:accel_profile flat";
        if (auto sent = send_all(fd->get(), request); !sent) return sent;
        auto answer = receive(fd->get(), std::nullopt);
        if (!answer) return Error{answer.error()};
        while (!answer->empty() && (answer->back() == '\n' || answer->back() == ' '))
            answer->pop_back();
        if (*answer != "ok") return Error{"it refused: " + *answer};
        return {};
    }

  private:
    std::filesystem::path socket_;
};

}  // namespace

std::unique_ptr<FlatPointerSwitch> make_sway_switch(std::filesystem::path socket) {
    return std::make_unique<SwaySwitch>(std::move(socket));
}

std::unique_ptr<FlatPointerSwitch> make_hyprland_switch(std::filesystem::path socket) {
    return std::make_unique<HyprlandSwitch>(std::move(socket));
}

}  // namespace thumbrover
