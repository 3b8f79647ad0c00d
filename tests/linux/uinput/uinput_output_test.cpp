#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <vector>

#include "linux/uinput_output.hpp"

namespace thumbrover {
namespace {

// One device's end of a pipe: the output writes into it, the test reads back each write.
struct PipeDevice {
    UniqueFd read_end;
    std::unique_ptr<EvdevSink> sink;

    static PipeDevice make() {
        int fds[2] = {-1, -1};
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
        return {UniqueFd(fds[0]), std::make_unique<FdEvdevSink>(UniqueFd(fds[1]))};
    }

    // Every event written so far, and how many writes carried them.
    std::vector<EvdevEvent> read_all(int* writes = nullptr) const {
        std::vector<EvdevEvent> events;
        int reads = 0;
        input_event buffer[64];
        for (;;) {
            const ssize_t got = ::read(read_end.get(), buffer, sizeof buffer);
            if (got <= 0) break;
            ++reads;
            for (std::size_t i = 0; i < static_cast<std::size_t>(got) / sizeof(input_event); ++i)
                events.push_back({buffer[i].type, buffer[i].code, buffer[i].value});
        }
        if (writes != nullptr) *writes = reads;
        return events;
    }
};

KeyboardLayout layout(const char* name) {
    auto made = KeyboardLayout::compile({name, ""});
    EXPECT_TRUE(made.ok());
    return made.ok() ? std::move(made).value() : KeyboardLayout{};
}

TEST(UinputEventOutput, WritesEachCommandToItsDeviceInOneWriteAndReleasesAllWhenDestroyed) {
    using Events = std::vector<EvdevEvent>;
    constexpr EvdevEvent kSyn{EV_SYN, SYN_REPORT, 0};
    PipeDevice pointer = PipeDevice::make();
    PipeDevice keyboard = PipeDevice::make();
    {
        UinputEventOutput output(layout("fr"), std::move(pointer.sink), std::move(keyboard.sink));
        ASSERT_TRUE(output.perform({CommandKind::Move, 0, 0, 4, -2}).ok());
        int writes = 0;
        EXPECT_EQ(pointer.read_all(&writes),
                  (Events{{EV_REL, REL_X, 4}, {EV_REL, REL_Y, -2}, kSyn}));
        EXPECT_EQ(writes, 1);

        // "ctrl+w" on AZERTY presses the key that types w there, and holds it with a button.
        ASSERT_TRUE(output.perform({CommandKind::KeyDown, 17, 0, 0, 0}).ok());
        ASSERT_TRUE(output.perform({CommandKind::KeyDown, 14, 'w', 0, 0}).ok());
        ASSERT_TRUE(output.perform({CommandKind::ButtonDown, 0, 0, 0, 0}).ok());
        EXPECT_EQ(keyboard.read_all(),
                  (Events{{EV_KEY, KEY_LEFTCTRL, 1}, kSyn, {EV_KEY, KEY_Z, 1}, kSyn}));
        (void)pointer.read_all();
        EXPECT_FALSE(output.perform({CommandKind::SteeringCircle, 1, 0, 0, 0}).ok());
    }
    EXPECT_EQ(keyboard.read_all(),
              (Events{{EV_KEY, KEY_Z, 0}, kSyn, {EV_KEY, KEY_LEFTCTRL, 0}, kSyn}));
    EXPECT_EQ(pointer.read_all(), (Events{{EV_KEY, BTN_LEFT, 0}, kSyn}));
}

TEST(UinputEventOutput, AWriteTheDeviceRefusesIsAnError) {
    PipeDevice keyboard = PipeDevice::make();
    // A descriptor open for reading only refuses every write (EBADF).
    auto pointer =
        std::make_unique<FdEvdevSink>(UniqueFd(::open("/dev/null", O_RDONLY | O_CLOEXEC)));
    UinputEventOutput output(layout("us"), std::move(pointer), std::move(keyboard.sink));
    const auto result = output.perform({CommandKind::Move, 0, 0, 1, 1});
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error(), "could not create an input event");
}

TEST(UinputProblem, SaysWhatIsMissingAndTheCommandThatFixesIt) {
    const UinputProblem missing = describe_uinput_problem(ENOENT, false);
    EXPECT_EQ(missing.fix, "sudo modprobe uinput");
    EXPECT_NE(missing.what.find("module is not loaded"), std::string::npos);
    const UinputProblem no_rule = describe_uinput_problem(EACCES, false);
    EXPECT_NE(no_rule.what.find("not writable for you (Permission denied)"), std::string::npos);
    EXPECT_EQ(no_rule.fix,
              "echo 'KERNEL==\"uinput\", SUBSYSTEM==\"misc\", OPTIONS+=\"static_node=uinput\", "
              "TAG+=\"uaccess\"' | sudo tee /etc/udev/rules.d/70-thumbrover-uinput.rules && "
              "sudo udevadm control --reload && sudo udevadm trigger --sysname-match=uinput");
    EXPECT_EQ(describe_uinput_problem(EACCES, true).fix,
              "sudo udevadm control --reload && sudo udevadm trigger --sysname-match=uinput");
}

// A fake output standing for the devices once access has come.
class CountingOutput final : public EventOutput {
  public:
    explicit CountingOutput(int& performed) : performed_(performed) {}
    Result<void> perform(const OutputCommand&) override {
        ++performed_;
        return {};
    }

  private:
    int& performed_;
};

TEST(PendingUinputOutput, TriesAgainOnlyAfterARecheckMomentAndThenPostsThroughTheDevices) {
    std::atomic<std::uint64_t> recheck{7};
    bool accessible = false;
    int attempts = 0, performed = 0;
    PendingUinputOutput pending(
        [&]() -> Result<std::unique_ptr<EventOutput>> {
            ++attempts;
            if (!accessible) return Error{"/dev/uinput is not writable for you"};
            return std::unique_ptr<EventOutput>(std::make_unique<CountingOutput>(performed));
        },
        recheck);
    const OutputCommand move{CommandKind::Move, 0, 0, 1, 0};
    // Dropped quietly while nothing suggests access has come.
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(pending.perform(move).ok());
    EXPECT_EQ(attempts, 0);
    ++recheck;
    EXPECT_TRUE(pending.perform(move).ok());
    EXPECT_TRUE(pending.perform(move).ok());
    EXPECT_EQ(attempts, 1);
    EXPECT_FALSE(pending.ready());
    accessible = true;
    ++recheck;
    EXPECT_TRUE(pending.perform(move).ok());
    EXPECT_TRUE(pending.perform(move).ok());
    EXPECT_TRUE(pending.ready());
    EXPECT_EQ(attempts, 2);
    EXPECT_EQ(performed, 2);
}

}  // namespace
}  // namespace thumbrover
