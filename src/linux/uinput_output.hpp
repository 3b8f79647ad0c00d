#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/common/files.hpp"
#include "core/common/result.hpp"
#include "linux/uinput_events.hpp"
#include "platform/event_output.hpp"

struct input_event;
struct libevdev_uinput;

namespace thumbrover {

// Where one device's events go. Each call is one write: the kernel hands the desktop every
// report in it, in order.
class EvdevSink {
  public:
    virtual ~EvdevSink() = default;
    [[nodiscard]] virtual Result<void> write(std::span<const input_event> events) = 0;
};

// Writes whole `input_event` records to a file descriptor it owns: a uinput device's, or in the
// tests one end of a pipe.
class FdEvdevSink : public EvdevSink {
  public:
    explicit FdEvdevSink(UniqueFd fd) : fd_(std::move(fd)) {}
    [[nodiscard]] Result<void> write(std::span<const input_event> events) override;
    [[nodiscard]] int fd() const { return fd_.get(); }

  private:
    UniqueFd fd_;
};

// Why /dev/uinput cannot be used, and what the user can do about it.
struct UinputProblem {
    int error_number = 0;
    std::string what;  // "/dev/uinput is not writable for you (Permission denied)"
    std::string fix;   // the one command that fixes it
};

// Whether this process may open /dev/uinput for writing, without opening it: none when it may.
// `rule_installed` says whether a udev rule for it is in place (only the fix differs).
[[nodiscard]] std::optional<UinputProblem> uinput_access_problem();
[[nodiscard]] UinputProblem describe_uinput_problem(int error_number, bool rule_installed);

// The text of the udev rule the package installs, which a fix command can also write.
inline constexpr std::string_view kUinputUdevRule =
    "KERNEL==\"uinput\", SUBSYSTEM==\"misc\", OPTIONS+=\"static_node=uinput\", "
    "TAG+=\"uaccess\"";
inline constexpr std::string_view kUinputRuleFile = "70-thumbrover-uinput.rules";

// Posts the engine's input commands (kinds 0..10) through two virtual input devices that the
// kernel creates for it: a pointer (relative motion, wheels with high resolution, three buttons)
// and a keyboard. Every compositor reads them as it reads a real mouse and keyboard, so this
// works in Wayland sessions, where XTEST reaches only X clients. Used from the engine thread only.
//
// Destroying it releases everything it holds and then removes the devices. A process that is
// killed cannot release anything, but the kernel removes its devices with its last file
// descriptor, and the desktop lets go of whatever a removed device held.
class UinputEventOutput final : public EventOutput {
  public:
    // Opens /dev/uinput (close-on-exec) and creates the two devices under the names of
    // uinput_events.hpp, with keys looked up on `layout`. Fails with the text of
    // `describe_uinput_problem` when /dev/uinput cannot be opened, or with "could not create a
    // virtual input device: " and the reason.
    [[nodiscard]] static Result<std::unique_ptr<UinputEventOutput>> create(KeyboardLayout layout);

    // Writes through the given sinks; the tests pass pipes.
    UinputEventOutput(KeyboardLayout layout, std::unique_ptr<EvdevSink> pointer,
                      std::unique_ptr<EvdevSink> keyboard);
    UinputEventOutput(const UinputEventOutput&) = delete;
    UinputEventOutput& operator=(const UinputEventOutput&) = delete;
    ~UinputEventOutput() override;

    // Fails with "could not create an input event" for a key the layout cannot type, a command
    // that is not an input event, or a write the kernel refused.
    [[nodiscard]] Result<void> perform(const OutputCommand& command) override;

    // Lets go of every key, modifier and button this output holds.
    void release_all();

    // The pointer's /dev/input/eventN, empty where the kernel did not say (or in the tests).
    [[nodiscard]] const std::string& pointer_node() const { return pointer_node_; }

  private:
    [[nodiscard]] Result<void> flush();

    UinputEvents events_;
    std::unique_ptr<EvdevSink> pointer_;
    std::unique_ptr<EvdevSink> keyboard_;
    EvdevBatch batch_;
    std::vector<input_event> buffer_;
    std::string pointer_node_;
};

// The keyboard layout the uinput output types with: XKB_DEFAULT_LAYOUT and XKB_DEFAULT_VARIANT,
// else systemd-localed's X11 layout (asked on the system bus), else "us"; "us" too when the
// chosen one does not compile, with a line on standard error.
[[nodiscard]] KeyboardLayout user_keyboard_layout();

// A process-wide count of the moments at which access to /dev/uinput may have appeared: the Setup
// or Settings window showing, a controller connecting. An output waiting for access tries again
// only when it has moved on, so nothing is polled while nothing happens.
[[nodiscard]] std::atomic<std::uint64_t>& uinput_recheck_counter();

// The uinput output in a session where /dev/uinput may not be accessible yet: until it is, input
// is dropped (the user has been told, once, what is missing); the first command after a recheck
// moment that finds access creates the devices, and from then on it is the uinput output.
class PendingUinputOutput final : public EventOutput {
  public:
    using Factory = std::function<Result<std::unique_ptr<EventOutput>>()>;
    PendingUinputOutput(Factory factory, std::atomic<std::uint64_t>& recheck);
    [[nodiscard]] Result<void> perform(const OutputCommand& command) override;
    [[nodiscard]] bool ready() const { return output_ != nullptr; }

  private:
    Factory factory_;
    std::atomic<std::uint64_t>& recheck_;
    std::uint64_t tried_at_;
    std::unique_ptr<EventOutput> output_;
};

}  // namespace thumbrover
