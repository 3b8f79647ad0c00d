#pragma once

#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "core/common/result.hpp"
#include "core/engine/engine.hpp"
#include "core/settings/config.hpp"
#include "core/settings/config_command.hpp"

namespace thumbrover {

inline constexpr std::string_view kReplayOutputMarker = "--- output";

// Runs a timed scenario through the engine functions, exactly as the loop would call them, and
// appends one line per returned command to `out`: "TIME KIND P1 P2 A B", TIME in milliseconds.
//
// Scenario lines: "TIME OP ARGS"; blank lines and lines starting with "#" are skipped. OPs:
// button N down|up, axis N VALUE, mouse, gone, toggle, tick, ticks END STEP, release-all,
// set KEY = VALUE, front-app [ID]. A line "--- output" ends the scenario (scenario files keep the
// expected output below it). On the first malformed line this stops with "line N: ...", `out`
// keeping the output of the lines before it.
[[nodiscard]] Result<void> run_replay(std::string_view scenario, EngineState& state,
                                      std::string& out);

// The record `config` with one setting replaced: KEY is a settings-file key or
// "buttons.<button key>", "shifted.<button key>" or a dotted key under "apps."
// ("apps.vlc.buttons.a", "apps.vlc.shifted.a"), VALUE in
// settings-file syntax ("300", "\"cmd+q\""). The result must be a valid settings record by the
// settings file's own rules.
[[nodiscard]] Result<Config> config_with_setting(const Config& config, std::string_view key,
                                                 std::string_view value);

// Engine time as the replay prints it: milliseconds in the shortest decimal ("8", "408.5").
[[nodiscard]] std::string format_replay_time(EngineTime time);
// "8", "408.5", "0.000001": digits, optionally a point and up to six more digits.
[[nodiscard]] Result<EngineTime> parse_replay_time(std::string_view text);

// `thumbroverctl replay [--config FILE | --defaults] [--off] [SCENARIO]`: `args` are the words
// after "replay". The scenario comes from SCENARIO, or from `read_stdin` when it is absent or "-".
// Without --config or --defaults the settings are those of `user_file` as the program would use
// them (the defaults when it is missing or has a mistake), with a line in `err` saying which; an
// empty `user_file` means the defaults. Diagnostics in `err` are whole lines prefixed with
// "thumbroverctl: ". `examples`, where not empty, is the folder of example scenarios that --help
// points to.
[[nodiscard]] CommandOutcome run_replay_command(
    std::span<const std::string_view> args, const std::function<Result<std::string>()>& read_stdin,
    const std::filesystem::path& user_file = {}, std::string_view examples = {});

}  // namespace thumbrover
