#include "core/settings/config.hpp"

#include <string>
#include <utility>

#include "core/common/text.hpp"

namespace thumbrover {

std::string_view stick_role_name(StickRole role) {
    switch (role) {
        case StickRole::Pointer:
            return "pointer";
        case StickRole::Scroll:
            return "scroll";
        case StickRole::None:
            return "none";
    }
    return "none";
}

Result<StickRole> parse_stick_role(std::string_view text) {
    for (StickRole role : {StickRole::Pointer, StickRole::Scroll, StickRole::None})
        if (text == stick_role_name(role)) return role;
    return Error{"unknown variant `" + clipped_echo(text) +
                 "`, expected one of `pointer`, `scroll`, `none`"};
}

void restore_default_settings(Config& config) {
    Bindings kept = std::move(config.buttons);
    config = Config{};
    config.buttons = std::move(kept);
}

void restore_default_buttons(Config& config) {
    const Config defaults;
    config.buttons = defaults.buttons;
    config.left_stick = defaults.left_stick;
    config.right_stick = defaults.right_stick;
}

}  // namespace thumbrover
