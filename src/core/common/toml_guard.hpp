#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <toml++/toml.h>

namespace thumbrover {

// Where a text holds a character the packaged TOML parser cannot be trusted with: 1-based line
// and column (in characters).
struct TomlHazard {
    std::size_t line = 1;
    std::size_t column = 1;
    std::string message;  // why the text is refused, worded for the user
};

// toml++ 3.3 asks its white-space table about any non-ASCII character found where white space
// may appear, and that table reaches __builtin_unreachable for most of U+00A1..U+0499,
// U+2C8E..U+3087 and U+FB26..U+FEFE (a plain "é" is enough). TOML allows such characters only
// inside strings and comments, so every text that would take that path is refused anyway; this
// finds them first. A copy with every non-ASCII byte replaced by '@' (valid exactly where they
// are) is parsed first: its mistake, if any, is the text's own. Only a valid text is then scanned
// for non-ASCII straight after a backslash in a string, which the copy cannot show.
[[nodiscard]] std::optional<TomlHazard> find_toml_hazard(std::string_view text);

// One character of a TOML text: its byte offset, its 1-based line and the offset that line
// starts at.
struct TomlSpot {
    std::size_t index = 0;
    std::size_t line = 1;
    std::size_t line_start = 0;
};

enum class TomlPlace {
    Bare,     // outside every string and comment
    Escaped,  // straight after a backslash in a basic string (past the white space a
              // line-ending backslash trims)
};

// Follows `text` through its comments and strings and shows `wanted` each bare and each escaped
// character in order; the first it accepts is returned. Every guard that must look at a text
// before toml++ does walks it this way, so they all agree on what is inside a string.
[[nodiscard]] std::optional<TomlSpot> find_in_toml(
    std::string_view text, const std::function<bool(const TomlSpot&, TomlPlace)>& wanted);

inline constexpr std::string_view kTomlHazardMessage =
    "unexpected non-ASCII character outside a string or comment";

// Where and why a TOML text was refused: 1-based line and column, and the message.
struct TomlProblem {
    std::size_t line = 1;
    std::size_t column = 1;
    std::string message;
};

// A parsed TOML text, or the problem that stopped it.
struct TomlReading {
    toml::table table;
    std::optional<TomlProblem> problem;

    [[nodiscard]] bool ok() const { return !problem; }
};

// How deep keys, tables and arrays may nest; no file of ours needs more than three levels.
inline constexpr int kMaxTomlNesting = 256;
// How many keys, tables, arrays and array elements a text may hold. The parser spends about a
// hundred bytes on each, so a text of nothing but table headers would cost many times its size;
// a settings file holds about forty.
inline constexpr std::size_t kMaxTomlItems = 10000;

// The one way every file of ours is parsed. toml++ caps the nesting of arrays and inline tables
// but not of dotted keys and table headers, and tens of thousands of key parts ("a.a.a...")
// overflow its stack while it builds or frees the tables; such texts, those with more items than
// the cap above, and those with a hazard above are refused before the parser sees them. A UTF-8
// byte-order mark at the start is skipped. Never throws.
[[nodiscard]] TomlReading parse_toml(std::string_view text);

}  // namespace thumbrover
