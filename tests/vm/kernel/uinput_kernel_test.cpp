// Runs inside the virtual machine (scripts/vm-test), where the kernel has uinput and evdev: what
// the program's output posts arrives at the device nodes a compositor reads, event for event, and
// its devices let go of everything they held when it ends, however it ends.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "vm/evdev_node.hpp"
#include "vm/uinput_output.hpp"

namespace thumbrover::testing {
namespace {

using namespace std::chrono_literals;
using Events = std::vector<InputEvent>;

struct Case {
    const char* name;
    std::initializer_list<OutputCommand> commands;
    Events pointer;  // as each node delivers it
    Events keyboard;
};

TEST(UinputKernel, WhatTheOutputPostsArrivesEventForEvent) {
    const auto output = make_output();
    ASSERT_TRUE(output);
    auto pointer = EvdevNode::find(kPointerName);
    auto keyboard = EvdevNode::find(kKeyboardName);
    ASSERT_TRUE(pointer && keyboard) << "no device node appeared";
    for (auto [type, code] :
         {std::pair{EV_REL, REL_WHEEL_HI_RES}, {EV_REL, REL_HWHEEL_HI_RES}, {EV_KEY, BTN_MIDDLE}})
        EXPECT_TRUE(pointer->has(type, code)) << libevdev_event_code_get_name(type, code);
    for (unsigned code : {KEY_A, KEY_LEFTMETA, KEY_F12, KEY_PLAYPAUSE, KEY_VOLUMEDOWN})
        EXPECT_TRUE(keyboard->has(EV_KEY, code)) << libevdev_event_code_get_name(EV_KEY, code);

    const Case cases[] = {
        {"motion", {move(7, -3)}, {rel(REL_X, 7), rel(REL_Y, -3), kSyn}, {}},
        {"click",
         {button(CommandKind::Click)},
         {key(BTN_LEFT, 1), kSyn, key(BTN_LEFT, 0), kSyn},
         {}},
        {"drag",
         {button(CommandKind::ButtonDown), move(5, 0), move(5, 1), button(CommandKind::ButtonUp)},
         {key(BTN_LEFT, 1), kSyn, rel(REL_X, 5), kSyn, rel(REL_X, 5), rel(REL_Y, 1), kSyn,
          key(BTN_LEFT, 0), kSyn},
         {}},
        {"hi-res scroll, the notch where it completes",
         {scroll(60, 0), scroll(60, 0), scroll(0, -120)},
         {rel(REL_WHEEL_HI_RES, 60), kSyn, rel(REL_WHEEL_HI_RES, 60), rel(REL_WHEEL, 1), kSyn,
          rel(REL_HWHEEL_HI_RES, -120), rel(REL_HWHEEL, -1), kSyn},
         {}},
        {"shortcut ctrl+w",
         {key_command(CommandKind::KeyDown, KeyKind::Ctrl),
          key_command(CommandKind::KeyTap, KeyKind::Letter, 'w'),
          key_command(CommandKind::KeyUp, KeyKind::Ctrl)},
         {},
         {key(KEY_LEFTCTRL, 1), kSyn, key(KEY_W, 1), kSyn, key(KEY_W, 0), kSyn,
          key(KEY_LEFTCTRL, 0), kSyn}},
        {"media key",
         {key_command(CommandKind::KeyTap, KeyKind::PlayPause)},
         {},
         {key(KEY_PLAYPAUSE, 1), kSyn, key(KEY_PLAYPAUSE, 0), kSyn}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        perform(*output, c.commands);
        EXPECT_EQ(pointer->drain(), c.pointer);
        EXPECT_EQ(keyboard->drain(), c.keyboard);
    }
}

// Holds Shift and the left button through `output`.
bool hold(UinputEventOutput& output) {
    return output.perform(key_command(CommandKind::KeyDown, KeyKind::Shift)).ok() &&
           output.perform(button(CommandKind::ButtonDown)).ok();
}

// A child process with its own output, holding once this one has its device nodes open.
class Holder {
  public:
    Holder() {
        if (::pipe(to_child_) != 0 || ::pipe(from_child_) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            auto output = make_output();
            send(output ? 'r' : 'x');
            send(output && receive() == 'h' && hold(*output) ? 'h' : 'x');
            for (;;)
                ::pause();
        }
        if (pid_ < 0 || receive() != 'r') return;
        pointer = EvdevNode::find(kPointerName);
        keyboard = EvdevNode::find(kKeyboardName);
        send('h');
        held_ = receive() == 'h';
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    ~Holder() {
        kill();
        for (int fd : {to_child_[0], to_child_[1], from_child_[0], from_child_[1]})
            if (fd >= 0) ::close(fd);
    }

    [[nodiscard]] bool holding() const { return held_ && pointer && keyboard; }

    // True once it has been killed and is gone.
    bool kill() {
        if (pid_ <= 0) return false;
        ::kill(pid_, SIGKILL);
        int status = 0;
        const bool reaped = ::waitpid(pid_, &status, 0) == pid_;
        pid_ = -1;
        return reaped && WIFSIGNALED(status);
    }

    std::optional<EvdevNode> pointer;
    std::optional<EvdevNode> keyboard;

  private:
    void send(char byte) {
        if (::write(pid_ == 0 ? from_child_[1] : to_child_[1], &byte, 1) != 1) byte = 0;
    }
    char receive() {
        char byte = 0;
        return ::read(pid_ == 0 ? to_child_[0] : from_child_[0], &byte, 1) == 1 ? byte : 0;
    }

    int to_child_[2] = {-1, -1};
    int from_child_[2] = {-1, -1};
    pid_t pid_ = -1;
    bool held_ = false;
};

// However the holder ends, its devices go with it and nothing stays held. Its output lets go of
// everything when asked, and when destroyed it does the same just before its devices go; but the
// release the output (or, for a killed process, the input core) makes on the way out never
// reaches an evdev reader that has not read it by then, since a read of a removed device fails
// before it looks at what is queued. What lets go at the desktop is the reader itself (libinput
// in a compositor), which releases what it saw held when the device goes: the compositor tier
// shows that at a window.
TEST(UinputKernel, EndingTheHolderLeavesNothingHeld) {
    enum class End { LetGoThenDestroyed, Destroyed, Killed };
    for (End end : {End::LetGoThenDestroyed, End::Destroyed, End::Killed}) {
        SCOPED_TRACE(static_cast<int>(end));
        std::optional<Holder> holder;  // another process, for the kill
        std::unique_ptr<UinputEventOutput> output;
        std::optional<EvdevNode> pointer;
        std::optional<EvdevNode> keyboard;
        if (end == End::Killed) {
            holder.emplace();
            ASSERT_TRUE(holder->holding());
            pointer = std::move(holder->pointer);
            keyboard = std::move(holder->keyboard);
        } else {
            output = make_output();
            ASSERT_TRUE(output);
            pointer = EvdevNode::find(kPointerName);
            keyboard = EvdevNode::find(kKeyboardName);
            ASSERT_TRUE(pointer && keyboard && hold(*output));
        }
        EXPECT_EQ(keyboard->next_report(), (Events{key(KEY_LEFTSHIFT, 1), kSyn}));
        EXPECT_EQ(pointer->next_report(), (Events{key(BTN_LEFT, 1), kSyn}));
        if (end == End::LetGoThenDestroyed) {
            output->release_all();
            EXPECT_EQ(keyboard->drain(), (Events{key(KEY_LEFTSHIFT, 0), kSyn}));
            EXPECT_EQ(pointer->drain(), (Events{key(BTN_LEFT, 0), kSyn}));
        }
        if (holder) {
            ASSERT_TRUE(holder->kill());
        } else {
            output.reset();
        }
        EXPECT_EQ(keyboard->drain(), Events{});
        EXPECT_EQ(pointer->drain(), Events{});
        EXPECT_TRUE(keyboard->gone() && pointer->gone());
        EXPECT_FALSE(EvdevNode::find(kKeyboardName, 0ms) || EvdevNode::find(kPointerName, 0ms));
    }
}

}  // namespace
}  // namespace thumbrover::testing
