#include "core/settings/config_file.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <sstream>
#include <system_error>
#include <utility>
#include <vector>

#include "core/bindings/labels.hpp"
#include "core/common/diag.hpp"
#include "core/common/files.hpp"
#include "core/common/numeric.hpp"
#include "core/common/text.hpp"
#include "core/common/toml_guard.hpp"
#include "core/settings/app_folder.hpp"

namespace thumbrover {
namespace {

namespace fs = std::filesystem;

// The file is regenerated from these lines on every save; a line "key = value" whose key is a
// setting gets the current value, and "{meta}" the platform's name of the Meta modifier (which the
// file accepts under all its names everywhere).
constexpr std::array<std::string_view, 40> kTemplate = {
    "# Thumbrover settings. Edits apply as soon as this file is saved; Settings and Customize",
    "# Buttons change it too. A file with a mistake is not used: the settings in use stay as they",
    "# are, and Settings shows the mistake. A change made in a window then replaces the file,",
    "# keeping the one with the mistake as config.toml.bak.",
    "",
    "# Pointer speed at full stick deflection, in pixels per second.",
    "pointer_speed = 800.0",
    "# Speed multiplier for precise mode.",
    "precise_factor = 0.3",
    "# Scroll speed at full stick deflection. 120 units is one wheel notch.",
    "scroll_speed = 1800.0",
    "# How far a stick must move before it counts, from 0.0 to 1.0.",
    "stick_deadzone = 0.12",
    "# Higher values give finer control near the centre of the stick.",
    "stick_curve = 2.0",
    "# Size of the steering circle compared to a normal cursor.",
    "circle_scale = 1.5",
    "# What each stick does: \"pointer\", \"scroll\" or \"none\".",
    "left_stick = \"pointer\"",
    "right_stick = \"scroll\"",
    "",
    "# How long to hold a button before its hold action happens instead of its press action.",
    "hold_ms = 400",
    "# How long to hold the Xbox button to turn Thumbrover on or off.",
    "xbox_hold_ms = 1000",
    "# How long after the last app switcher press the selected app is chosen.",
    "alt_tab_commit_ms = 800",
    "# How long after the stick stops the circle goes back to the normal cursor.",
    "steering_idle_ms = 1000",
    "# Volume repeat while a button is held: delay before repeating, then the repeat interval.",
    "volume_delay_ms = 400",
    "volume_repeat_ms = 150",
    "",
    "[buttons]",
    "# What each part of the controller does when pressed, and optionally when held (<name>_hold).",
    "# Actions: left-click, right-click, middle-click, precise-mode, app-switcher, launcher,",
    "# mission-control, on-screen-keyboard, play-pause, next-track, previous-track, volume-up,",
    "# volume-down, mute, none, or a key or shortcut such as \"escape\", \"enter\", \"f5\", "
    "\"{meta}+w\" or",
    "# \"ctrl+shift+t\" (modifiers: ctrl, alt, shift, {meta}).",
    "# Holding the Xbox button always turns Thumbrover on or off; xbox sets what a short press "
    "does.",
};

constexpr std::string_view kCheckForUpdatesKey = "check_for_updates";
// Written only when the check is off, so that a file that never mentions it stays as it was.
constexpr std::string_view kCheckForUpdatesComment =
    "# Whether to ask once a day for a newer release; false makes no network request.";

// One scalar setting: its key and where it lives in the record.
struct FloatField {
    std::string_view key;
    float Config::*member;
};
struct MillisField {
    std::string_view key;
    std::uint64_t Config::*member;
};
struct RoleField {
    std::string_view key;
    StickRole Config::*member;
};

constexpr std::array<FloatField, 6> kFloatFields = {{
    {"pointer_speed", &Config::pointer_speed},
    {"precise_factor", &Config::precise_factor},
    {"scroll_speed", &Config::scroll_speed},
    {"stick_deadzone", &Config::stick_deadzone},
    {"stick_curve", &Config::stick_curve},
    {"circle_scale", &Config::circle_scale},
}};
constexpr std::array<RoleField, 2> kRoleFields = {{
    {"left_stick", &Config::left_stick},
    {"right_stick", &Config::right_stick},
}};
constexpr std::array<MillisField, 6> kMillisFields = {{
    {"hold_ms", &Config::hold_ms},
    {"xbox_hold_ms", &Config::xbox_hold_ms},
    {"alt_tab_commit_ms", &Config::alt_tab_commit_ms},
    {"steering_idle_ms", &Config::steering_idle_ms},
    {"volume_delay_ms", &Config::volume_delay_ms},
    {"volume_repeat_ms", &Config::volume_repeat_ms},
}};

// The keys a settings file may hold, in the order the "unknown field" message lists them.
constexpr std::string_view kExpectedFields =
    "one of `pointer_speed`, `precise_factor`, `scroll_speed`, `stick_deadzone`, `stick_curve`, "
    "`circle_scale`, `left_stick`, `right_stick`, `b_hold_ms`, `hold_ms`, `xbox_hold_ms`, "
    "`alt_tab_commit_ms`, `steering_idle_ms`, `volume_delay_ms`, `volume_repeat_ms`, "
    "`check_for_updates`, `buttons`, `shifted`, `apps`";

// The keys of one application's table.
constexpr std::string_view kExpectedAppFields =
    "one of `name`, `left_stick`, `right_stick`, `buttons`, `shifted`";

// Written once, before the first application's table.
constexpr std::string_view kAppsComment =
    "# Bindings for one application while it is in front, by its identity: the window class on\n"
    "# Linux, the bundle identifier on macOS. What a table leaves out comes from the settings\n"
    "# above; \"none\" turns a button off in that application.\n";

// Written before a [shifted] table that holds something.
constexpr std::string_view kShiftedComment =
    "# While an input bound to \"shift-layer\" is held, the others do what this table says:\n"
    "# the same keys as [buttons]; what it leaves out does what it does without shift, and\n"
    "# \"none\" turns a button off while shift is held.\n";

// What `config defaults` adds after the default file, where a [shifted] table would go.
constexpr std::string_view kShiftedExample =
    "\n"
    "# A shift layer: bind an input to \"shift-layer\" above (left_trigger = \"shift-layer\"), "
    "and\n"
    "# while it is held the others do what [shifted] says, with the same keys as [buttons]\n"
    "# (right_bumper = \"ctrl+tab\"). What it leaves out does what it does without shift.\n"
    "# [shifted]\n";

// Shortest round-trip digits of a finite, non-zero magnitude in scientific form, split into the
// digit string and the decimal exponent of its first digit.
template <class Float>
std::pair<std::string, int> shortest_digits(Float magnitude) {
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                         std::chars_format::scientific);
    const std::string_view text(buffer.data(), ec == std::errc{} ? end : buffer.data());
    const auto e = text.find('e');
    std::string digits;
    for (char c : text.substr(0, e))
        if (c != '.') digits.push_back(c);
    int exponent = 0;
    std::string_view exp_text = text.substr(e + 1);
    if (!exp_text.empty() && exp_text.front() == '+') exp_text.remove_prefix(1);
    std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exponent);
    return {digits, exponent};
}

template <class Float>
std::string format_decimal(Float value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    std::string out = std::signbit(value) ? "-" : "";
    if (value == 0) return out + "0.0";
    const auto [digits, exponent] = shortest_digits(std::fabs(value));
    const auto count = static_cast<int>(digits.size());
    if (exponent < -4 || exponent >= 16) {
        out += digits.front();
        if (count > 1) out.append(".").append(digits, 1);
        return out + "e" + std::to_string(exponent);
    }
    if (exponent < 0) {
        out.append("0.").append(static_cast<std::size_t>(-exponent - 1), '0').append(digits);
        return out;
    }
    const auto whole = static_cast<std::size_t>(exponent + 1);
    if (digits.size() <= whole) {
        out.append(digits).append(whole - digits.size(), '0').append(".0");
    } else {
        out.append(digits, 0, whole).append(".").append(digits, whole);
    }
    return out;
}

// Widening a double into a float is undefined beyond the float range; beyond it a value
// becomes the infinity it would round to, as IEEE arithmetic does.
float narrow_to_float(double value) {
    constexpr double max = std::numeric_limits<float>::max();
    // Half a unit in the last place above the largest float still rounds down to it.
    constexpr double round_limit = max + 0x1p103;
    if (std::isfinite(value) && std::fabs(value) > max) {
        if (std::fabs(value) >= round_limit)
            return value < 0 ? -std::numeric_limits<float>::infinity()
                             : std::numeric_limits<float>::infinity();
        return value < 0 ? -std::numeric_limits<float>::max() : std::numeric_limits<float>::max();
    }
    return static_cast<float>(value);
}

std::string value_line(std::string_view key, const Config& config) {
    const std::string prefix = std::string(key) + " = ";
    for (const auto& f : kFloatFields)
        if (f.key == key) return prefix + format_setting_float(config.*f.member);
    for (const auto& f : kMillisFields)
        if (f.key == key) {
            // The file format tops out at the largest signed 64-bit integer; writing more would
            // leave a file that no longer loads.
            const auto value = saturate_cast<std::int64_t>(config.*f.member);
            return prefix + std::to_string(value);
        }
    for (const auto& f : kRoleFields)
        if (f.key == key)
            return prefix + "\"" + std::string(stick_role_name(config.*f.member)) + "\"";
    return {};
}

// A TOML basic string: between double quotes, with quotes, backslashes and control characters
// escaped.
std::string toml_quoted(std::string_view text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(ch);
        } else if (c < 0x20 || c == 0x7f) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out.push_back(ch);
        }
    }
    return out + "\"";
}

// A layer read from a file holds neither the shift action nor the Xbox button's hold; one built
// otherwise is written without them, so that the file always reads back.
void append_shifted_lines(const ShiftedLayer& layer, std::string& out) {
    ShiftedLayer kept = layer;
    for (std::size_t i = 0; i < kButtonCount; ++i) {
        if (kept.press[i] && is_shift(*kept.press[i])) kept.press[i].reset();
        if (kept.hold[i] && is_shift(*kept.hold[i])) kept.hold[i].reset();
    }
    kept.hold[button_index(Button::Xbox)].reset();
    append_entry_lines(kept.press, kept.hold, out);
}

void append_app_lines(const AppProfile& app, std::string& out) {
    const std::string header = "apps." + toml_quoted(app.id);
    out += "[" + header + "]\n";
    out += "name = " + toml_quoted(app.name) + "\n";
    if (app.left_stick)
        out += "left_stick = \"" + std::string(stick_role_name(*app.left_stick)) + "\"\n";
    if (app.right_stick)
        out += "right_stick = \"" + std::string(stick_role_name(*app.right_stick)) + "\"\n";
    std::string buttons;
    append_entry_lines(app.press, app.hold, buttons);
    if (!buttons.empty()) out += "[" + header + ".buttons]\n" + buttons;
    std::string shifted;
    append_shifted_lines(app.shifted, shifted);
    if (!shifted.empty()) out += "[" + header + ".shifted]\n" + shifted;
}

// ---------------------------------------------------------------- reading

std::string debug_quoted(std::string_view text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    char buffer[16];
                    std::snprintf(buffer, sizeof buffer, "\\u{%x}", c);
                    out += buffer;
                } else {
                    out.push_back(static_cast<char>(c));
                }
        }
    }
    return out + "\"";
}

// What was found, worded the way the error messages of the settings reader always have been:
// integer `-1`, floating point `400.0`, string "x".
std::string describe(const toml::node& node) {
    if (const auto* v = node.as_integer()) return "integer `" + std::to_string(v->get()) + "`";
    if (const auto* v = node.as_floating_point())
        return "floating point `" + format_decimal(v->get()) + "`";
    if (const auto* v = node.as_string()) return "string " + debug_quoted(clipped_echo(v->get()));
    if (const auto* v = node.as_boolean())
        return std::string("boolean `") + (v->get() ? "true" : "false") + "`";
    if (node.is_array()) return "sequence";
    if (node.is_table()) return "map";
    std::ostringstream text;
    if (const auto* v = node.as_date()) text << v->get();
    if (const auto* v = node.as_time()) text << v->get();
    if (const auto* v = node.as_date_time()) text << v->get();
    return "datetime `" + text.str() + "`";
}

struct ReadError {
    toml::source_position where;
    std::string key;  // empty when the message names the key itself
    std::string message;
};

std::string report(const ReadError& e) {
    std::string out =
        "line " + std::to_string(e.where.line) + ", column " + std::to_string(e.where.column);
    if (!e.key.empty()) out += ", key `" + e.key + "`";
    // Keys and values are quoted in the report as read; the diagnostic must stay one line.
    return one_line(out + ": " + e.message);
}

using Entry = std::pair<const toml::key*, const toml::node*>;

// toml++ keeps a table's entries sorted by key; the first mistake must be the first in the file.
std::vector<Entry> in_file_order(const toml::table& table) {
    std::vector<Entry> entries;
    entries.reserve(table.size());
    for (const auto& [key, node] : table)
        entries.emplace_back(&key, &node);
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const auto& pa = a.first->source().begin;
        const auto& pb = b.first->source().begin;
        return std::pair(pa.line, pa.column) < std::pair(pb.line, pb.column);
    });
    return entries;
}

ReadError type_error(const std::string& key, const toml::node& node, std::string_view expected) {
    return ReadError{node.source().begin, key,
                     "invalid type: " + describe(node) + ", expected " + std::string(expected)};
}

// Every mistake of a file that parses is gathered, in file order, so that `config check` can
// report them all at once; the settings read are used only when there is none.
using Mistakes = std::vector<ReadError>;

void read_float(const std::string& key, const toml::node& node, float& out, Mistakes& mistakes) {
    if (const auto* v = node.as_floating_point()) {
        out = narrow_to_float(v->get());
    } else if (const auto* i = node.as_integer()) {
        out = static_cast<float>(i->get());
    } else {
        mistakes.push_back(type_error(key, node, "f32"));
    }
}

void read_millis(const std::string& key, const toml::node& node, std::uint64_t& out,
                 Mistakes& mistakes) {
    const auto* v = node.as_integer();
    if (v == nullptr) {
        mistakes.push_back(type_error(key, node, "u64"));
    } else if (v->get() < 0) {
        mistakes.push_back(ReadError{node.source().begin, key,
                                     "invalid value: " + describe(node) + ", expected u64"});
    } else {
        out = static_cast<std::uint64_t>(v->get());
    }
}

void read_bool(const std::string& key, const toml::node& node, bool& out, Mistakes& mistakes) {
    if (const auto* v = node.as_boolean()) {
        out = v->get();
    } else {
        mistakes.push_back(type_error(key, node, "a boolean"));
    }
}

void read_role(const std::string& key, const toml::node& node, StickRole& out, Mistakes& mistakes) {
    const auto* v = node.as_string();
    if (v == nullptr) {
        mistakes.push_back(type_error(key, node, "one of `pointer`, `scroll`, `none`"));
        return;
    }
    auto role = parse_stick_role(v->get());
    if (!role) {
        mistakes.push_back(ReadError{node.source().begin, key, role.error()});
        return;
    }
    out = *role;
}

// Where each input's hold entry stands in a table, for the refusal of a shift input's hold.
using HoldPositions = std::array<std::optional<toml::source_position>, kButtonCount>;

void note_hold(std::string_view key, const toml::node& value, HoldPositions& holds) {
    if (!key.ends_with("_hold")) return;
    if (const auto button = button_from_key(key.substr(0, key.size() - 5)))
        holds[button_index(*button)] = value.source().begin;
}

// A shift input performs nothing but the shift, so a hold given to it in the same table is a
// mistake rather than something silently never done.
std::optional<ReadError> refuse_shift_holds(const BindingTable& table,
                                            const std::array<const Action*, kButtonCount>& press,
                                            const std::array<const Action*, kButtonCount>& hold,
                                            const HoldPositions& holds) {
    for (const Button button : all_buttons()) {
        const std::size_t i = button_index(button);
        if (press[i] == nullptr || !is_shift(*press[i]) || !holds[i] || hold[i] == nullptr ||
            hold[i]->is_none())
            continue;
        return ReadError{*holds[i], {}, shift_hold_refusal(table, button)};
    }
    return std::nullopt;
}

void read_buttons(const toml::node& node, Bindings& out, Mistakes& mistakes) {
    const auto* table = node.as_table();
    if (table == nullptr) {
        mistakes.push_back(type_error("buttons", node, "a table"));
        return;
    }
    HoldPositions holds;
    for (const auto& [key, value] : in_file_order(*table)) {
        note_hold(key->str(), *value, holds);
        const std::string name(key->str());
        const auto* text = value->as_string();
        // An unknown button is reported as such even when its value is not a string.
        if (text == nullptr) {
            const std::string_view stem =
                name.ends_with("_hold") ? std::string_view(name).substr(0, name.size() - 5) : name;
            if (!button_from_key(stem))
                mistakes.push_back(ReadError{
                    key->source().begin, {}, "unknown button `" + clipped_echo(name) + "`"});
            else
                mistakes.push_back(type_error("buttons." + name, *value, "a string"));
            continue;
        }
        auto applied = apply_button_entry(out, name, text->get());
        if (!applied) {
            const bool about_key = applied.error().starts_with("unknown button");
            mistakes.push_back(ReadError{
                about_key ? key->source().begin : value->source().begin, {}, applied.error()});
        }
    }
    std::array<const Action*, kButtonCount> press{};
    std::array<const Action*, kButtonCount> hold{};
    for (std::size_t i = 0; i < kButtonCount; ++i) {
        press[i] = &out[i].press;
        hold[i] = &out[i].hold;
    }
    if (auto error = refuse_shift_holds(kButtonsTable, press, hold, holds))
        mistakes.push_back(std::move(*error));
    // A default hold the file did not mention (B's) gives way to the shift.
    for (std::size_t i = 0; i < kButtonCount; ++i)
        if (is_shift_input(out[i]) && !holds[i]) out[i].hold = Action();
}

// The entries of a binding table that sets only what it names: an application's [buttons] or a
// shifted layer. `path` is the table's dotted key for type errors ("shifted").
void read_entries(const toml::table& table, const std::string& path, const BindingTable& where,
                  const std::string& suffix, std::array<std::optional<Action>, kButtonCount>& press,
                  std::array<std::optional<Action>, kButtonCount>& hold, Mistakes& mistakes) {
    HoldPositions holds;
    for (const auto& [key, value] : in_file_order(table)) {
        const std::string name(key->str());
        const bool is_hold = name.ends_with("_hold");
        const std::optional<Button> button =
            button_from_key(is_hold ? std::string_view(name).substr(0, name.size() - 5) : name);
        if (!button) {
            mistakes.push_back(ReadError{
                key->source().begin, {}, "unknown button `" + clipped_echo(name) + "`" + suffix});
            continue;
        }
        const auto* text = value->as_string();
        if (text == nullptr) {
            mistakes.push_back(type_error(path + "." + name, *value, "a string"));
            continue;
        }
        std::optional<Action> action = parse_action(text->get());
        if (!action) {
            mistakes.push_back(ReadError{
                value->source().begin,
                {},
                "unknown action `" + clipped_echo(text->get()) + "` for `" + name + "`" + suffix});
            continue;
        }
        if (auto refusal = shift_refusal(where, name, *button, is_hold, *action)) {
            mistakes.push_back(ReadError{value->source().begin, {}, std::move(*refusal)});
            continue;
        }
        if (is_hold) holds[button_index(*button)] = value->source().begin;
        (is_hold ? hold : press)[button_index(*button)] = std::move(*action);
    }
    std::array<const Action*, kButtonCount> press_of{};
    std::array<const Action*, kButtonCount> hold_of{};
    for (std::size_t i = 0; i < kButtonCount; ++i) {
        press_of[i] = press[i] ? &*press[i] : nullptr;
        hold_of[i] = hold[i] ? &*hold[i] : nullptr;
    }
    if (auto error = refuse_shift_holds(where, press_of, hold_of, holds))
        mistakes.push_back(std::move(*error));
}

void read_shifted(const toml::node& node, const std::string& path, const std::string& name,
                  ShiftedLayer& layer, Mistakes& mistakes) {
    const auto* table = node.as_table();
    if (table == nullptr) {
        mistakes.push_back(type_error(path, node, "a table"));
        return;
    }
    const BindingTable where{name, true};
    read_entries(*table, path, where, " in `" + name + "`", layer.press, layer.hold, mistakes);
    // Holding the Xbox button always switches the program, shifted or not.
    layer.hold[button_index(Button::Xbox)].reset();
}

std::string app_echo(std::string_view id) {
    return "application `" + clipped_echo(id) + "`";
}

void read_app_buttons(const std::string& id, const toml::node& node, AppProfile& app,
                      Mistakes& mistakes) {
    const std::string path = "apps." + toml_quoted(id) + ".buttons";
    const auto* table = node.as_table();
    if (table == nullptr) {
        mistakes.push_back(type_error(path, node, "a table"));
        return;
    }
    const std::string name = "[" + path + "]";
    read_entries(*table, path, BindingTable{name, false}, " in " + app_echo(id), app.press,
                 app.hold, mistakes);
}

void read_app(const std::string& id, const toml::table& table, AppProfile& app,
              Mistakes& mistakes) {
    app.id = id;
    app.name = id;
    for (const auto& [key, node] : in_file_order(table)) {
        const std::string name(key->str());
        const std::string path = "apps." + toml_quoted(id) + "." + name;
        if (name == "name") {
            if (const auto* text = node->as_string())
                app.name = text->get();
            else
                mistakes.push_back(type_error(path, *node, "a string"));
        } else if (name == "left_stick" || name == "right_stick") {
            StickRole role{};
            const std::size_t before = mistakes.size();
            read_role(path, *node, role, mistakes);
            if (mistakes.size() == before)
                (name == "left_stick" ? app.left_stick : app.right_stick) = role;
        } else if (name == "buttons") {
            read_app_buttons(id, *node, app, mistakes);
        } else if (name == "shifted") {
            read_shifted(*node, path, "[" + path + "]", app.shifted, mistakes);
        } else {
            mistakes.push_back(ReadError{key->source().begin,
                                         {},
                                         "unknown field `" + clipped_echo(name) + "` in " +
                                             app_echo(id) + ", expected " +
                                             std::string(kExpectedAppFields)});
        }
    }
}

void read_apps(const toml::node& node, std::vector<AppProfile>& out, Mistakes& mistakes) {
    const auto* table = node.as_table();
    if (table == nullptr) {
        mistakes.push_back(type_error("apps", node, "a table"));
        return;
    }
    for (const auto& [key, value] : in_file_order(*table)) {
        const std::string id(key->str());
        if (out.size() == kMaxAppProfiles) {
            // Every further table would be the same complaint again.
            mistakes.push_back(ReadError{key->source().begin,
                                         {},
                                         "too many applications: at most " +
                                             std::to_string(kMaxAppProfiles) +
                                             " may have their own bindings"});
            return;
        }
        if (auto valid = check_app_id(id); !valid) {
            mistakes.push_back(ReadError{key->source().begin, {}, valid.error()});
            continue;
        }
        const AppProfile* same = nullptr;
        for (const AppProfile& earlier : out)
            if (same_app_id(earlier.id, id)) same = &earlier;
        if (same != nullptr) {
            mistakes.push_back(ReadError{
                key->source().begin,
                {},
                "duplicate " + app_echo(id) + ": the same as `" + clipped_echo(same->id) + "`"});
            continue;
        }
        const auto* profile = value->as_table();
        if (profile == nullptr) {
            mistakes.push_back(type_error("apps." + toml_quoted(id), *value, "a table"));
            continue;
        }
        AppProfile app;
        read_app(id, *profile, app, mistakes);
        out.push_back(std::move(app));
    }
}

void read_table(const toml::table& root, Config& config, Mistakes& mistakes) {
    bool hold_seen = false;
    for (const auto& [key, node] : in_file_order(root)) {
        const std::string name(key->str());
        bool known = false;
        for (const auto& f : kFloatFields)
            if (f.key == name) {
                known = true;
                read_float(name, *node, config.*f.member, mistakes);
            }
        for (const auto& f : kRoleFields)
            if (f.key == name) {
                known = true;
                read_role(name, *node, config.*f.member, mistakes);
            }
        // `b_hold_ms` is the older name of `hold_ms`; giving both is giving one field twice.
        const bool hold = name == "hold_ms" || name == "b_hold_ms";
        if (hold) {
            known = true;
            if (hold_seen) {
                mistakes.push_back(ReadError{key->source().begin, {}, "duplicate field `hold_ms`"});
                continue;
            }
            hold_seen = true;
            read_millis(name, *node, config.hold_ms, mistakes);
        } else {
            for (const auto& f : kMillisFields)
                if (f.key == name) {
                    known = true;
                    read_millis(name, *node, config.*f.member, mistakes);
                }
        }
        if (name == kCheckForUpdatesKey) {
            known = true;
            read_bool(name, *node, config.check_for_updates, mistakes);
        }
        if (name == "buttons") {
            known = true;
            read_buttons(*node, config.buttons, mistakes);
        }
        if (name == "shifted") {
            known = true;
            read_shifted(*node, name, std::string(kShiftedTable.name), config.shifted, mistakes);
        }
        if (name == "apps") {
            known = true;
            read_apps(*node, config.apps, mistakes);
        }
        if (!known)
            mistakes.push_back(ReadError{key->source().begin,
                                         {},
                                         "unknown field `" + clipped_echo(name) + "`, expected " +
                                             std::string(kExpectedFields)});
    }
}

// Reads the text into `config`; the reports of every mistake, in file order (a text that is
// not TOML has one).
std::vector<std::string> read_text(std::string_view text, Config& config) {
    TomlReading parsed = parse_toml(text);
    if (parsed.problem) {
        const toml::source_position where{static_cast<toml::source_index>(parsed.problem->line),
                                          static_cast<toml::source_index>(parsed.problem->column)};
        return {report(ReadError{where, {}, std::move(parsed.problem->message)})};
    }
    Mistakes mistakes;
    read_table(parsed.table, config, mistakes);
    std::vector<std::string> reports;
    reports.reserve(mistakes.size());
    for (const ReadError& mistake : mistakes)
        reports.push_back(report(mistake));
    return reports;
}

// The errno text inside read_file's "could not read {path}: {reason}".
std::string read_reason(const fs::path& file, const std::string& error) {
    const std::string prefix = "could not read " + file.string() + ": ";
    return error.starts_with(prefix) ? error.substr(prefix.size()) : error;
}

}  // namespace

fs::path config_path(const fs::path& dir) {
    return dir / "config.toml";
}
fs::path config_path() {
    return config_path(app_dir());
}

std::string default_config_text() {
    return config_to_text(Config{}) + std::string(kShiftedExample);
}

std::string format_setting_float(float value) {
    return format_decimal(value);
}

std::string config_to_text(const Config& config, const PlatformLabels& labels) {
    constexpr std::string_view kMeta = "{meta}";
    std::string out;
    out.reserve(2600);
    for (std::string_view line : kTemplate) {
        const auto eq = line.find(" = ");
        std::string filled;
        if (eq != std::string_view::npos) filled = value_line(line.substr(0, eq), config);
        if (filled.empty()) {
            for (auto at = line.find(kMeta); at != std::string_view::npos; at = line.find(kMeta)) {
                out.append(line.substr(0, at));
                out.append(labels.meta_file_name);
                line.remove_prefix(at + kMeta.size());
            }
            out.append(line);
        } else
            out.append(filled);
        out.push_back('\n');
        if (line.starts_with("volume_repeat_ms = ") && !config.check_for_updates) {
            out.append(kCheckForUpdatesComment).append("\n");
            out.append(kCheckForUpdatesKey).append(" = false\n");
        }
    }
    append_button_lines(config.buttons, out);
    std::string shifted;
    append_shifted_lines(config.shifted, shifted);
    if (!shifted.empty()) {
        out += "\n";
        out += kShiftedComment;
        out += "[shifted]\n";
        out += shifted;
    }
    for (std::size_t i = 0; i < config.apps.size(); ++i) {
        out.push_back('\n');
        if (i == 0) out += kAppsComment;
        append_app_lines(config.apps[i], out);
    }
    return out;
}

Result<Config> parse_config(std::string_view text) {
    Config config;
    std::vector<std::string> mistakes = read_text(text, config);
    if (!mistakes.empty()) return Error{std::move(mistakes.front())};
    return config;
}

std::vector<std::string> config_mistakes(std::string_view text) {
    Config ignored;
    return read_text(text, ignored);
}

ConfigReading read_config(const fs::path& file) {
    ConfigReading reading;
    auto text = read_file(file, kMaxConfigBytes);
    if (!text) {
        struct stat st {};
        // A folder on the way that is a file also means there is no settings file yet.
        const bool missing =
            ::stat(file.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
        reading.status = missing ? ConfigStatus::Missing : ConfigStatus::Unreadable;
        reading.problem = read_reason(file, text.error());
        return reading;
    }
    auto parsed = parse_config(*text);
    if (!parsed) {
        reading.status = ConfigStatus::Mistake;
        reading.problem = parsed.error();
        return reading;
    }
    reading.status = ConfigStatus::Loaded;
    reading.config = std::move(parsed).value();
    return reading;
}

Config load_config(const fs::path& file) {
    return read_config(file).config;
}
Config load_config() {
    return load_config(config_path());
}

Result<void> write_config(const fs::path& file, const Config& config) {
    return write_file_atomically(file, config_to_text(config));
}

void save_config(const Config& config, const fs::path& file) {
    if (auto written = write_config(file, config); !written) diag(written.error());
}

void save_config(const Config& config) {
    save_config(config, config_path());
}

Config load_config_at_start(const fs::path& file, const NotifyFunction& notify) {
    ConfigReading reading = read_config(file);
    switch (reading.status) {
        case ConfigStatus::Loaded:
            break;
        case ConfigStatus::Missing: {
            std::error_code ec;
            if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
            if (ec) {
                diag("could not write " + file.string() + ": " + ec.message());
                break;
            }
            save_config(reading.config, file);
            break;
        }
        case ConfigStatus::Unreadable:
        case ConfigStatus::Mistake: {
            diag(file.string() + ": " + reading.problem);
            if (notify) {
                const bool mistake = reading.status == ConfigStatus::Mistake;
                notify(std::string(mistake ? kMistakeHeading : kUnreadableHeading),
                       problem_notification_body(reading.problem, kUsingDefaultsBody));
            }
            break;
        }
    }
    return std::move(reading.config);
}

Config load_config_at_start(const NotifyFunction& notify) {
    return load_config_at_start(config_path(), notify);
}

std::string problem_notification_body(std::string_view problem, std::string_view consequence) {
    // A mistake's report begins with its place; a file that cannot be read has only a reason.
    const bool placed = problem.starts_with("line ");
    std::string body = "config.toml" + std::string(placed ? ", " : ": ") + std::string(problem);
    if (!body.ends_with('.')) body += '.';
    return body + " " + std::string(consequence);
}

Result<void> backup_mistaken_config(const fs::path& file) {
    auto text = read_file(file, kMaxConfigBytes);
    if (!text) return Error{text.error()};
    fs::path backup = file;
    backup += ".bak";
    return write_file_atomically(backup, *text);
}

}  // namespace thumbrover
