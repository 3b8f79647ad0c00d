#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace thumbrover {

// The text with every ill-formed UTF-8 sequence replaced by U+FFFD, so that output of a
// child process or a server can be shown and parsed as text whatever bytes it held.
[[nodiscard]] std::string to_valid_utf8(std::string_view bytes);

// Makes a text safe to put into a one-line diagnostic: line breaks, tabs and every other control
// character are shown escaped ("\n", "\r", "\t", "\u{1b}"), so a text read from a file or the
// network can neither split the line nor send escape sequences to the terminal.
[[nodiscard]] std::string one_line(std::string_view text);

// How much of a text read from a file a message repeats.
inline constexpr std::size_t kMaxEchoBytes = 200;

// The text as a message repeats it: whole up to kMaxEchoBytes, otherwise its start (cut between
// two characters) followed by "…", so that a huge bad value never makes a huge message.
[[nodiscard]] std::string clipped_echo(std::string_view text);

}  // namespace thumbrover
