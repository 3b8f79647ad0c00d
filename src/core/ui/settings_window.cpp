#include "core/ui/settings_window.hpp"

#include <utility>

#include "core/settings/setting_ranges.hpp"

namespace thumbrover {

std::array<SliderRow, kSliderCount> slider_rows(const Config& config) {
    std::array<SliderRow, kSliderCount> rows;
    const auto& specs = slider_specs();
    for (std::size_t i = 0; i < kSliderCount; ++i) {
        const SliderSpec& spec = specs[i];
        const double value = spec.read(config);
        const bool outside = !within_range(value, spec.minimum, spec.maximum);
        std::string text = format_slider_value(spec.format, value);
        if (outside) text += settings_texts::kOutOfRange;
        rows[i] = SliderRow{value, std::move(text), outside};
    }
    return rows;
}

std::optional<std::string> settings_slider_changed(SettingsStore& store, std::int64_t tag,
                                                   double value) {
    if (tag < 0 || static_cast<std::uint64_t>(tag) >= kSliderCount) return std::nullopt;
    const SliderSpec& spec = slider_specs()[static_cast<std::size_t>(tag)];
    const double stored = store.set_number(spec, value);
    return format_slider_value(spec.format, stored);
}

std::array<SliderRow, kSliderCount> settings_restore_defaults(SettingsStore& store) {
    store.restore_defaults();
    return slider_rows(store.get());
}

SettingsAccessRow settings_access_row(bool trusted_now, std::optional<bool> trusted_at_start,
                                      const PermissionWording& wording) {
    const AccessState state = access_state(trusted_now, weighed_start(trusted_at_start, wording));
    std::string_view text = wording.settings_off;
    if (state == AccessState::Granted) text = wording.settings_on;
    if (state == AccessState::RestartNeeded) text = wording.settings_restart;
    return {state, access_symbol(state), text,
            state == AccessState::Missing && wording.has_settings_pane};
}

SettingsSystemRows settings_system_rows(bool trusted_now, std::optional<bool> trusted_at_start,
                                        LoginItemState login_item,
                                        const PermissionWording& wording) {
    return {settings_access_row(trusted_now, trusted_at_start, wording),
            login_checkbox(login_item)};
}

}  // namespace thumbrover
