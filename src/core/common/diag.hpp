#pragma once

#include <string_view>

namespace thumbrover {

// The prefix of every diagnostic line: "thumbrover" in the program, "thumbroverctl" in the tool.
void set_program_name(const char* name);
[[nodiscard]] std::string_view program_name();

// Writes "<program>: <message>\n" to standard error in one write, so that lines from several
// threads never interleave.
void diag(std::string_view message);

}  // namespace thumbrover
