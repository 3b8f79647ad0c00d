#include "core/engine/replay.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <locale>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

namespace thumbrover {
namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && is_blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> split_words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && is_blank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !is_blank(line[i]))
            ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

std::string quoted(std::string_view s) {
    return "`" + std::string(s) + "`";
}

// Errors quote the scenario, and a diagnostic must stay one line free of terminal control
// sequences, so control characters are shown escaped.
std::string without_controls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            constexpr char kHex[] = "0123456789abcdef";
            out += "\\u{";
            if (byte >= 0x10) out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
            out += '}';
        } else {
            out.push_back(c);
        }
    }
    return out;
}

bool same_letters(std::string_view text, std::string_view lower) {
    return std::equal(text.begin(), text.end(), lower.begin(), lower.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

// A float in the form std::from_chars reads: an optional minus, then "inf", "infinity" or "nan"
// in any case, or digits with an optional point and exponent. Read through the classic locale
// rather than with from_chars, whose floating-point form some standard libraries (Apple's) lack.
// A decimal beyond float's range still names a float: an infinity or zero.
std::optional<float> parse_decimal_float(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view body = negative ? text.substr(1) : text;
    const float sign = negative ? -1.0f : 1.0f;
    if (same_letters(body, "inf") || same_letters(body, "infinity"))
        return sign * std::numeric_limits<float>::infinity();
    if (same_letters(body, "nan")) return std::numeric_limits<float>::quiet_NaN();

    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t start = i;
        while (i < body.size() && body[i] >= '0' && body[i] <= '9')
            ++i;
        return i - start;
    };
    std::size_t mantissa = digits();
    if (i < body.size() && body[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return std::nullopt;
    bool small = false;
    if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        ++i;
        if (i < body.size() && (body[i] == '+' || body[i] == '-')) small = body[i++] == '-';
        if (digits() == 0) return std::nullopt;
    }
    if (i != body.size()) return std::nullopt;

    std::istringstream in{std::string(body)};
    in.imbue(std::locale::classic());
    float value = 0.0f;
    in >> value;
    if (in.fail()) value = small ? 0.0f : std::numeric_limits<float>::infinity();
    return sign * value;
}

std::optional<unsigned> parse_small_number(std::string_view text, unsigned limit) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > limit) {
        return std::nullopt;
    }
    return value;
}

void append_command(std::string& out, EngineTime time, const OutputCommand& c) {
    out += format_replay_time(time);
    out += ' ';
    out += command_kind_name(c.kind);
    for (const long long v : {static_cast<long long>(c.p1), static_cast<long long>(c.p2),
                              static_cast<long long>(c.a), static_cast<long long>(c.b)}) {
        out += ' ';
        out += std::to_string(v);
    }
    out += '\n';
}

class Replay {
  public:
    Replay(EngineState& state, std::string& out) : state_(state), out_(out) {}

    Result<void> line(std::string_view text) {
        const std::string_view body = trim(text);
        if (body.empty() || body.front() == '#') return {};
        const auto words = split_words(body);
        auto time = parse_replay_time(words[0]);
        if (!time) return Error{time.error()};
        if (words.size() < 2) return Error{"missing operation after the time"};
        const EngineTime now = *time;
        const std::string_view op = words[1];
        const std::span<const std::string_view> args(words.data() + 2, words.size() - 2);

        if (op == "set") return set(body, now);
        if (op == "button") return button(args, now);
        if (op == "axis") return axis(args, now);
        if (op == "ticks") return ticks(args, now);
        if (op == "front-app") {
            // Like a settings change, this returns no commands.
            if (args.size() > 1) return Error{"expected `front-app [ID]`"};
            change_front_app(state_, args.empty() ? std::string() : std::string(args[0]));
            return {};
        }
        if (!args.empty()) return Error{"`" + std::string(op) + "` takes no arguments"};
        if (op == "mouse") return emit(now, handle_input(state_, InputEvent::mouse_moved(), now));
        if (op == "gone") {
            return emit(now, handle_input(state_, InputEvent::controller_gone(), now));
        }
        if (op == "toggle") return emit(now, handle_input(state_, InputEvent::toggle(), now));
        if (op == "tick") return emit(now, tick(state_, now));
        if (op == "release-all") return emit(now, release_all(state_));
        return Error{"unknown operation " + quoted(op)};
    }

  private:
    void append_all(EngineTime time, const CommandList& commands) {
        for (const auto& c : commands)
            append_command(out_, time, c);
    }
    Result<void> emit(EngineTime time, const CommandList& commands) {
        append_all(time, commands);
        return {};
    }

    Result<void> button(std::span<const std::string_view> args, EngineTime now) {
        if (args.size() != 2) return Error{"expected `button N down|up`"};
        const auto number = parse_small_number(args[0], kWireButtonCount - 1);
        if (!number) return Error{"button number " + quoted(args[0]) + " is not 0..10"};
        if (args[1] != "down" && args[1] != "up") {
            return Error{"expected `down` or `up`, found " + quoted(args[1])};
        }
        const auto event =
            InputEvent::button(static_cast<std::uint8_t>(*number), args[1] == "down");
        return emit(now, handle_input(state_, event, now));
    }

    Result<void> axis(std::span<const std::string_view> args, EngineTime now) {
        if (args.size() != 2) return Error{"expected `axis N VALUE`"};
        const auto number = parse_small_number(args[0], kAxisCount - 1);
        if (!number) return Error{"axis number " + quoted(args[0]) + " is not 0..7"};
        const std::string_view text = args[1];
        const std::optional<float> value = parse_decimal_float(text);
        if (!value) return Error{"axis value " + quoted(text) + " is not a decimal number"};
        const auto event = InputEvent::axis(static_cast<std::uint8_t>(*number), *value);
        return emit(now, handle_input(state_, event, now));
    }

    Result<void> ticks(std::span<const std::string_view> args, EngineTime now) {
        if (args.size() != 2) return Error{"expected `ticks END STEP`"};
        const auto end = parse_replay_time(args[0]);
        if (!end) return Error{end.error()};
        const auto step = parse_replay_time(args[1]);
        if (!step) return Error{step.error()};
        if (step->count() == 0) return Error{"the tick step must be more than 0"};
        // The first tick comes at TIME whatever END says; END bounds only the ones after it.
        EngineTime t = now;
        while (true) {
            append_all(t, tick(state_, t));
            if (t > EngineTime::max() - *step || t + *step > *end) break;
            t += *step;
        }
        return {};
    }

    Result<void> set(std::string_view body, EngineTime now) {
        // Everything after "set" is the assignment; the value may hold blanks ("cmd + q").
        const std::size_t at = body.find("set");
        const std::string_view assignment = trim(body.substr(at + 3));
        const std::size_t eq = assignment.find('=');
        if (eq == std::string_view::npos) return Error{"expected `set KEY = VALUE`"};
        const std::string_view key = trim(assignment.substr(0, eq));
        const std::string_view value = trim(assignment.substr(eq + 1));
        if (key.empty() || value.empty()) return Error{"expected `set KEY = VALUE`"};
        auto changed = config_with_setting(state_.settings, key, value);
        if (!changed) return Error{changed.error()};
        // A settings change reaches the engine as a whole record and returns no commands.
        change_settings(state_, std::move(changed).value());
        (void)now;
        return {};
    }

    EngineState& state_;
    std::string& out_;
};

}  // namespace

Result<EngineTime> parse_replay_time(std::string_view text) {
    const auto bad = [&] {
        return Error{"time " + quoted(text) +
                     " is not milliseconds (digits, optionally a point "
                     "and up to six more digits)"};
    };
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() || fraction.size() > 6) return bad();
    for (const char c : whole) {
        if (c < '0' || c > '9') return bad();
    }
    for (const char c : fraction) {
        if (c < '0' || c > '9') return bad();
    }
    std::int64_t ms = 0;
    const auto [end, ec] = std::from_chars(whole.data(), whole.data() + whole.size(), ms);
    constexpr std::int64_t max_ms = std::numeric_limits<std::int64_t>::max() / 1'000'000 - 1;
    if (ec != std::errc() || end != whole.data() + whole.size() || ms > max_ms) {
        return Error{"time " + quoted(text) + " is too large"};
    }
    std::int64_t ns = 0;
    std::int64_t scale = 100'000;
    for (const char c : fraction) {
        ns += (c - '0') * scale;
        scale /= 10;
    }
    return EngineTime(ms * 1'000'000 + ns);
}

std::string format_replay_time(EngineTime time) {
    const std::int64_t ns = time.count();
    std::string text = std::to_string(ns / 1'000'000);
    std::int64_t fraction = ns % 1'000'000;
    if (fraction != 0) {
        std::string digits = std::to_string(fraction);
        digits.insert(0, 6 - digits.size(), '0');
        while (digits.back() == '0')
            digits.pop_back();
        text += '.';
        text += digits;
    }
    return text;
}

Result<void> run_replay(std::string_view scenario, EngineState& state, std::string& out) {
    Replay replay(state, out);
    std::size_t number = 0;
    while (!scenario.empty()) {
        ++number;
        const std::size_t eol = scenario.find('\n');
        const std::string_view line = scenario.substr(0, eol);
        scenario = eol == std::string_view::npos ? std::string_view() : scenario.substr(eol + 1);
        if (line == kReplayOutputMarker) break;
        if (auto result = replay.line(line); !result) {
            return Error{"line " + std::to_string(number) + ": " +
                         without_controls(result.error())};
        }
    }
    return {};
}

}  // namespace thumbrover
