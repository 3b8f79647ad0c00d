#include "fuzz/targets.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include "core/bindings/actions.hpp"
#include "core/bindings/keys.hpp"
#include "core/bindings/unicode_text.hpp"
#include "core/engine/engine.hpp"
#include "core/engine/replay.hpp"
#include "core/settings/config.hpp"
#include "core/settings/config_file.hpp"
#include "core/update/release.hpp"
#include "core/update/stored_state.hpp"
#include "core/update/version.hpp"

namespace thumbrover::fuzz {
namespace {

Outcome broken(bool accepted, std::string finding) {
    return Outcome{accepted, std::move(finding)};
}

// A diagnostic is shown on one line and must not carry terminal control sequences.
bool is_one_line(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

// Settings equal field by field, where any NaN equals any NaN: "nan" is the only way the file
// writes one, so its sign and payload cannot survive and need not.
bool same_config(Config a, Config b) {
    for (float Config::*member :
         {&Config::pointer_speed, &Config::precise_factor, &Config::scroll_speed,
          &Config::stick_deadzone, &Config::stick_curve, &Config::circle_scale}) {
        if (std::isnan(a.*member) && std::isnan(b.*member)) a.*member = b.*member = 0.0f;
    }
    return a == b;
}

std::string version_text(const Version& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch);
}

// ---------------------------------------------------------------- replay helpers

std::vector<std::string_view> words_of(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (i < line.size()) {
        while (i < line.size() && blank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !blank(line[i]))
            ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

constexpr std::size_t kMaxReplayBytes = 16 * 1024;
constexpr std::int64_t kMaxReplayTicks = 20'000;

// Every "ticks END STEP" line runs one tick per STEP; a 1 ns step over a long span would run
// for hours, which says nothing about the parser.
bool replay_too_costly(std::string_view scenario) {
    if (scenario.size() > kMaxReplayBytes) return true;
    std::int64_t ticks = 0;
    while (!scenario.empty()) {
        const std::size_t eol = scenario.find('\n');
        const auto words = words_of(scenario.substr(0, eol));
        scenario = eol == std::string_view::npos ? std::string_view() : scenario.substr(eol + 1);
        if (words.size() != 4 || words[1] != "ticks") continue;
        const auto start = parse_replay_time(words[0]);
        const auto end = parse_replay_time(words[2]);
        const auto step = parse_replay_time(words[3]);
        if (!start || !end || !step || step->count() == 0 || *end <= *start) continue;
        ticks += (*end - *start) / *step + 1;
        if (ticks > kMaxReplayTicks) return true;
    }
    return false;
}

struct PressBalance {
    std::map<std::pair<int, int>, long> keys;  // (key kind, parameter) -> downs minus ups
    std::map<int, long> mouse;                 // mouse button -> downs minus ups
    bool switcher_held = false;
    std::string finding;

    void apply(CommandKind kind, int p1, int p2) {
        if (!finding.empty()) return;
        switch (kind) {
            case CommandKind::KeyDown:
                ++keys[{p1, p2}];
                break;
            case CommandKind::KeyUp:
                if (--keys[{p1, p2}] < 0)
                    finding = "key " + std::to_string(p1) + "/" + std::to_string(p2) +
                              " released more often than pressed";
                break;
            case CommandKind::ButtonDown:
                ++mouse[p1];
                break;
            case CommandKind::ButtonUp:
                if (--mouse[p1] < 0)
                    finding = "mouse button " + std::to_string(p1) + " released but never pressed";
                break;
            case CommandKind::HoldCommand:
                switcher_held = p1 != 0;
                break;
            default:
                break;
        }
    }

    [[nodiscard]] std::string stuck() const {
        for (const auto& [key, count] : keys)
            if (count != 0)
                return "key " + std::to_string(key.first) + "/" + std::to_string(key.second) +
                       " left pressed after release-all";
        for (const auto& [button, count] : mouse)
            if (count != 0)
                return "mouse button " + std::to_string(button) + " left pressed after release-all";
        if (switcher_held) return "app switcher modifier left held after release-all";
        return {};
    }
};

// Reads the replay's "TIME KIND P1 P2 A B" lines back into the balance.
std::string balance_output(std::string_view out, PressBalance& balance) {
    while (!out.empty()) {
        const std::size_t eol = out.find('\n');
        if (eol == std::string_view::npos) return "replay output does not end with a newline";
        const auto words = words_of(out.substr(0, eol));
        out.remove_prefix(eol + 1);
        if (words.size() != 6)
            return "replay output line with " + std::to_string(words.size()) + " words";
        if (!parse_replay_time(words[0])) return "replay output time " + std::string(words[0]);
        const auto kind = command_kind_from_name(words[1]);
        if (!kind) return "replay output kind " + std::string(words[1]);
        balance.apply(*kind, std::atoi(std::string(words[2]).c_str()),
                      std::atoi(std::string(words[3]).c_str()));
    }
    return {};
}

}  // namespace

Outcome fuzz_settings(std::string_view input) {
    const auto parsed = parse_config(input);
    if (!parsed) {
        const std::string& report = parsed.error();
        if (!report.starts_with("line ") || !is_one_line(report))
            return broken(false, "refusal without a one-line located report: " + report);
        return {};
    }
    const std::string written = config_to_text(*parsed);
    const auto reread = parse_config(written);
    if (!reread) return broken(true, "the written settings do not read back: " + reread.error());
    if (!same_config(*parsed, *reread))
        return broken(true, "the written settings read back changed");
    if (config_to_text(*reread) != written) return broken(true, "writing the settings is unstable");
    return {true, {}};
}

Outcome fuzz_action(std::string_view input) {
    const std::string_view trimmed = unicode_text::trim(input);
    if (unicode_text::trim(trimmed) != trimmed) return broken(false, "trimming is not idempotent");

    if (const auto key = parse_key(input)) {
        // The bytes an output command carries must name the same key again.
        const bool in_range =
            key_from_bytes(static_cast<std::uint8_t>(key->kind), key->param) == *key &&
            (key_kind_has_param(key->kind) || key->param == 0);
        if (!in_range) return broken(true, "key parameter out of range: " + key_name(*key));
        if (is_media(key->kind)) return broken(true, "a media key was read from a text");
        const auto again = parse_key(key_name(*key));
        if (!again || *again != *key)
            return broken(true, "key name does not read back: " + key_name(*key));
    }

    if (const auto shortcut = parse_shortcut(input)) {
        const auto& mods = shortcut->modifiers;
        for (std::size_t i = 0; i < mods.size(); ++i) {
            if (!mods[i].modifier() || mods[i] == shortcut->key ||
                (i > 0 && !(mods[i - 1] < mods[i])))
                return broken(true,
                              "shortcut modifiers not normalised: " + shortcut_name(*shortcut));
        }
        const auto again = parse_shortcut(shortcut_name(*shortcut));
        if (!again || *again != *shortcut)
            return broken(true, "shortcut name does not read back: " + shortcut_name(*shortcut));
    }

    const auto action = parse_action(input);
    if (!action) return {};
    const std::string name = action_name(*action);
    const auto again = parse_action(name);
    if (!again || *again != *action) return broken(true, "action name does not read back: " + name);
    if (action_name(*again) != name) return broken(true, "action name is unstable: " + name);
    if (action_label(*action).empty()) return broken(true, "action without a label: " + name);
    return {true, {}};
}

Outcome fuzz_version(std::string_view input) {
    const auto version = parse_version(input);
    if (!version) return {};
    const std::string canonical = version_text(*version);
    for (const std::string& form : {canonical, " v" + canonical + " ", canonical + "-rc.1+build"}) {
        const auto again = parse_version(form);
        if (!again || *again != *version)
            return broken(true,
                          "version " + canonical + " does not read back from \"" + form + "\"");
    }
    return {true, {}};
}

Outcome fuzz_release(std::string_view input) {
    const auto release = release_from_json(input);
    if (!release) {
        if (release.error().empty()) return broken(false, "refusal without a reason");
        return {};
    }
    const nlohmann::json object = {
        {"version", release->version}, {"url", release->url}, {"notes", release->notes}};
    const auto again = release_from_json(object.dump());
    if (!again || *again != *release)
        return broken(true, "the release does not read back from JSON");

    if (validate_release(*release)) {
        if (!parse_version(release->version) || !is_https_link(release->url))
            return broken(true, "an invalid release was offered");
    }

    // What the check found is remembered in update.toml and must come back unchanged.
    const StoredUpdate stored{1'700'000'000, *release};
    if (stored_update_from_toml(stored_update_to_toml(stored)) != stored)
        return broken(true, "the release does not survive update.toml");
    return {true, {}};
}

Outcome fuzz_stored_update(std::string_view input) {
    const StoredUpdate stored = stored_update_from_toml(input);
    const std::string written = stored_update_to_toml(stored);
    const StoredUpdate reread = stored_update_from_toml(written);
    if (reread != stored) return broken(true, "update.toml does not read back:\n" + written);
    if (stored_update_to_toml(reread) != written)
        return broken(true, "writing update.toml is unstable");
    return {stored.checked_at.has_value() || stored.latest.has_value(), {}};
}

Outcome fuzz_replay(std::string_view input) {
    if (replay_too_costly(input)) return {};
    EngineState state(Config{}, true);
    std::string out;
    const auto result = run_replay(input, state, out);
    if (!result && (!result.error().starts_with("line ") || !is_one_line(result.error())))
        return broken(false, "replay failure without a one-line located report: " + result.error());

    EngineState second(Config{}, true);
    std::string second_out;
    const auto second_result = run_replay(input, second, second_out);
    if (second_out != out || second_result.ok() != result.ok())
        return broken(result.ok(), "the same scenario replayed differently");

    PressBalance balance;
    if (auto error = balance_output(out, balance); !error.empty())
        return broken(result.ok(), error);
    for (const OutputCommand& c : release_all(state))
        balance.apply(c.kind, c.p1, c.p2);
    if (!balance.finding.empty()) return broken(result.ok(), balance.finding);
    if (auto stuck = balance.stuck(); !stuck.empty()) return broken(result.ok(), stuck);
    if (!release_all(state).empty()) return broken(result.ok(), "release-all twice is not idle");
    return {result.ok(), {}};
}

const std::array<NamedTarget, 6>& all_targets() {
    static const std::array<NamedTarget, 6> targets{{
        {"settings", &fuzz_settings},
        {"action", &fuzz_action},
        {"version", &fuzz_version},
        {"release", &fuzz_release},
        {"stored_update", &fuzz_stored_update},
        {"replay", &fuzz_replay},
    }};
    return targets;
}

int run_fuzz_input(Target target, const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const Outcome outcome = target(input);
    if (!outcome.finding.empty()) {
        std::fprintf(stderr, "finding: %s\n", outcome.finding.c_str());
        std::abort();
    }
    return 0;
}

}  // namespace thumbrover::fuzz
