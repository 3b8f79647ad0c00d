#include "core/ui/setup_window.hpp"

#include "core/common/diag.hpp"
#include "core/common/files.hpp"
#include "core/settings/app_folder.hpp"

namespace thumbrover {

SetupAccessRow setup_access_row(bool trusted_now, TrustAtStart& at_start,
                                const PermissionWording& wording) {
    at_start.record(trusted_now);
    const AccessState state = access_state(trusted_now, weighed_start(at_start.get(), wording));
    switch (state) {
        case AccessState::RestartNeeded:
            return {state, access_symbol(state), wording.setup_restart, false, true};
        case AccessState::Granted:
            return {state, access_symbol(state), wording.setup_granted, false, false};
        case AccessState::Missing:
            break;
    }
    return {AccessState::Missing, access_symbol(AccessState::Missing), wording.setup_missing,
            wording.has_settings_pane, false};
}

SetupControllerRow setup_controller_row(const std::optional<std::string>& name,
                                        const std::optional<std::string>& battery) {
    if (!name) return {kSymbolPending, std::string(setup_texts::kNotConnected), true};
    std::string detail = *name + " is connected.";
    if (battery) detail = *name + " is connected. Battery: " + *battery + ".";
    return {kSymbolGranted, std::move(detail), false};
}

SetupRows setup_rows(bool trusted_now, TrustAtStart& at_start,
                     const std::optional<std::string>& controller_name,
                     const std::optional<std::string>& battery, LoginItemState login_item,
                     const PermissionWording& wording) {
    return {setup_access_row(trusted_now, at_start, wording),
            setup_controller_row(controller_name, battery), login_checkbox(login_item)};
}

bool setup_startup_check(bool trusted_now, TrustAtStart& at_start,
                         const std::filesystem::path& app_dir, const PermissionWording& wording) {
    at_start.record(trusted_now);
    if (!trusted_now) {
        diag(wording.log_missing);
        return true;
    }
    diag(wording.log_granted);
    return !setup_done(app_dir);
}

void finish_setup(const std::filesystem::path& app_dir) {
    if (Result<void> written = write_setup_done(app_dir); !written)
        diag("could not remember finished setup: " +
             write_failure_reason(written.error(), app_dir / "setup-done"));
}

}  // namespace thumbrover
