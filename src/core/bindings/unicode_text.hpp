#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace thumbrover::unicode_text {

// Removes characters with the Unicode White_Space property from both ends of UTF-8 text. Bytes
// that are not valid UTF-8 are never treated as white space.
[[nodiscard]] std::string_view trim(std::string_view text);

// Full Unicode lower-casing, for text whose lower case is ASCII. Gives nothing when some
// character's lower case is not ASCII: every name of the key vocabulary is ASCII, so such text
// can never match one anyway.
[[nodiscard]] std::optional<std::string> ascii_lower(std::string_view text);

}  // namespace thumbrover::unicode_text
