// The cost of one steering tick on the uinput path without a kernel device: perform(Move) through
// the uinput output into /dev/null (the same single write(2) of whole input_event records a
// device gets), and the translation alone. Alternating directions, as a stick steering back and
// forth. The system calls per tick are counted with `strace -c -e trace=write` around it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <linux/input.h>

#include <memory>

#include "core/output/pointer_acceleration.hpp"
#include "linux/uinput_output.hpp"

namespace {

using thumbrover::CommandKind;
using thumbrover::OutputCommand;

thumbrover::KeyboardLayout us_layout() {
    auto layout = thumbrover::KeyboardLayout::compile({"us", ""});
    return layout ? std::move(layout).value() : thumbrover::KeyboardLayout{};
}

std::unique_ptr<thumbrover::EvdevSink> null_sink() {
    return std::make_unique<thumbrover::FdEvdevSink>(
        thumbrover::UniqueFd(::open("/dev/null", O_WRONLY | O_CLOEXEC)));
}

void BM_UinputMoveTick(benchmark::State& state) {
    thumbrover::UinputEventOutput output(us_layout(), null_sink(), null_sink());
    int i = 0;
    for (auto _ : state) {
        const OutputCommand move{CommandKind::Move, 0, 0, (i++ & 1) != 0 ? 3 : -3, 2};
        benchmark::DoNotOptimize(output.perform(move).ok());
    }
}
BENCHMARK(BM_UinputMoveTick);

// The same tick behind the compensation for the desktop's acceleration: the inverse of
// libinput's curve for each move, at steering's pace (a move every 8 ms of its clock).
void BM_CompensatedMoveTick(benchmark::State& state) {
    std::chrono::nanoseconds now{1'000'000'000};
    thumbrover::CompensatingOutput output(
        std::make_unique<thumbrover::UinputEventOutput>(us_layout(), null_sink(), null_sink()), {},
        nullptr, [&now] { return now += std::chrono::milliseconds(8); });
    int i = 0;
    for (auto _ : state) {
        const OutputCommand move{CommandKind::Move, 0, 0, (i++ & 1) != 0 ? 13 : -13, 2};
        benchmark::DoNotOptimize(output.perform(move).ok());
    }
}
BENCHMARK(BM_CompensatedMoveTick);

void BM_UinputTranslateMove(benchmark::State& state) {
    thumbrover::UinputEvents events(us_layout());
    thumbrover::EvdevBatch batch;
    batch.pointer.reserve(8);
    int i = 0;
    for (auto _ : state) {
        batch.clear();
        const OutputCommand move{CommandKind::Move, 0, 0, (i++ & 1) != 0 ? 3 : -3, 2};
        benchmark::DoNotOptimize(events.translate(move, batch).ok());
    }
}
BENCHMARK(BM_UinputTranslateMove);

void BM_UinputShortcutTap(benchmark::State& state) {
    thumbrover::UinputEventOutput output(us_layout(), null_sink(), null_sink());
    for (auto _ : state) {
        (void)output.perform({CommandKind::KeyDown, 17, 0, 0, 0});
        (void)output.perform({CommandKind::KeyTap, 14, 'w', 0, 0});
        (void)output.perform({CommandKind::KeyUp, 17, 0, 0, 0});
    }
}
BENCHMARK(BM_UinputShortcutTap);

}  // namespace

BENCHMARK_MAIN();
