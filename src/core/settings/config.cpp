#include "core/settings/config.hpp"

#include <algorithm>
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

bool AppProfile::overrides_nothing() const {
    const auto unset = [](const std::optional<Action>& a) { return !a.has_value(); };
    return !left_stick && !right_stick && std::all_of(press.begin(), press.end(), unset) &&
           std::all_of(hold.begin(), hold.end(), unset) && shifted.empty();
}

bool same_app_id(std::string_view a, std::string_view b) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
}

Result<void> check_app_id(std::string_view id) {
    if (id.empty()) return Error{"an application identity cannot be empty"};
    const std::string echo = "`" + clipped_echo(id) + "`";
    if (id.size() > kMaxAppIdBytes)
        return Error{"application identity " + echo + " is longer than " +
                     std::to_string(kMaxAppIdBytes) + " bytes"};
    if (id.front() == ' ' || id.back() == ' ')
        return Error{"application identity " + echo + " starts or ends with a blank"};
    for (const char c : id) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            return Error{"application identity " + one_line(echo) + " holds a control character"};
    }
    return {};
}

const AppProfile* find_app_profile(const Config& config, std::string_view id) {
    for (const AppProfile& app : config.apps)
        if (same_app_id(app.id, id)) return &app;
    return nullptr;
}

AppProfile* find_app_profile(Config& config, std::string_view id) {
    for (AppProfile& app : config.apps)
        if (same_app_id(app.id, id)) return &app;
    return nullptr;
}

Config config_for_app(const Config& config, std::string_view id) {
    Config out = config;
    if (const AppProfile* app = id.empty() ? nullptr : find_app_profile(config, id))
        apply_app_profile(out, *app);
    return out;
}

void apply_app_profile(Config& config, const AppProfile& app) {
    if (app.left_stick) config.left_stick = *app.left_stick;
    if (app.right_stick) config.right_stick = *app.right_stick;
    for (std::size_t i = 0; i < kButtonCount; ++i) {
        if (app.press[i]) config.buttons[i].press = *app.press[i];
        if (app.hold[i]) config.buttons[i].hold = *app.hold[i];
        if (app.shifted.press[i]) config.shifted.press[i] = *app.shifted.press[i];
        if (app.shifted.hold[i]) config.shifted.hold[i] = *app.shifted.hold[i];
    }
}

void restore_default_settings(Config& config) {
    Bindings kept = std::move(config.buttons);
    std::vector<AppProfile> apps = std::move(config.apps);
    const bool check_for_updates = config.check_for_updates;
    config = Config{};
    config.buttons = std::move(kept);
    config.apps = std::move(apps);
    config.check_for_updates = check_for_updates;
}

void restore_default_buttons(Config& config) {
    const Config defaults;
    config.buttons = defaults.buttons;
    config.shifted = defaults.shifted;
    config.left_stick = defaults.left_stick;
    config.right_stick = defaults.right_stick;
}

}  // namespace thumbrover
