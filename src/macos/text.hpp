#pragma once

#include <string>
#include <string_view>

namespace thumbrover {

// Foundation's UTF8String returns null for a string it cannot convert: such a string reads as
// `otherwise` rather than ending the program.
[[nodiscard]] inline std::string utf8_text(const char* text, std::string_view otherwise = {}) {
    return text != nullptr ? std::string(text) : std::string(otherwise);
}

}  // namespace thumbrover
