#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

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

inline constexpr std::string_view kTomlHazardMessage =
    "unexpected non-ASCII character outside a string or comment";

}  // namespace thumbrover
