#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace thumbrover::fuzz {

// What one input did to a parser. `finding` names the first broken promise (a value that does
// not read back, a refusal without a proper report, a key left pressed); it is empty when every
// promise held. `accepted` says whether the parser took the input, so that a corpus can be shown
// to reach the round trips and not only the refusals.
struct Outcome {
    bool accepted = false;
    std::string finding;
};

using Target = Outcome (*)(std::string_view input);

// The settings file: anything it reads is written back and reads again as the same settings.
[[nodiscard]] Outcome fuzz_settings(std::string_view input);
// Action, shortcut and key texts: the name of what was read reads back as the same thing.
[[nodiscard]] Outcome fuzz_action(std::string_view input);
// Release numbers.
[[nodiscard]] Outcome fuzz_version(std::string_view input);
// The version endpoint's JSON, and the stored copy of what it said.
[[nodiscard]] Outcome fuzz_release(std::string_view input);
// `update.toml`.
[[nodiscard]] Outcome fuzz_stored_update(std::string_view input);
// Replay scenarios run against the default settings. Scenarios whose ticks or size would take
// long are skipped rather than run, so one input stays fast.
[[nodiscard]] Outcome fuzz_replay(std::string_view input);

struct NamedTarget {
    std::string_view name;  // also the corpus folder's name
    Target run;
};

[[nodiscard]] const std::array<NamedTarget, 6>& all_targets();

// The libFuzzer entry's body: runs the target and aborts with the finding on stderr.
int run_fuzz_input(Target target, const std::uint8_t* data, std::size_t size);

}  // namespace thumbrover::fuzz
