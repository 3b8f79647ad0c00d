#include "core/ui/setup_window.hpp"

#include "core/common/diag.hpp"
#include "core/common/files.hpp"
#include "core/settings/app_folder.hpp"

namespace thumbrover {

SetupAccessRow setup_access_row(bool trusted_now, TrustAtStart& at_start) {
    at_start.record(trusted_now);
    const AccessState state = access_state(trusted_now, at_start.get());
    switch (state) {
        case AccessState::RestartNeeded:
            return {state, access_symbol(state), setup_texts::kAccessRestart, false, true};
        case AccessState::Granted:
            return {state, access_symbol(state), setup_texts::kAccessGranted, false, false};
        case AccessState::Missing:
            break;
    }
    return {AccessState::Missing, access_symbol(AccessState::Missing), setup_texts::kAccessMissing,
            true, false};
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
                     const std::optional<std::string>& battery, bool login_item_enabled) {
    return {setup_access_row(trusted_now, at_start), setup_controller_row(controller_name, battery),
            login_item_enabled};
}

bool setup_startup_check(bool trusted_now, TrustAtStart& at_start,
                         const std::filesystem::path& app_dir) {
    at_start.record(trusted_now);
    if (!trusted_now) {
        diag("Accessibility access missing, the pointer will not move");
        return true;
    }
    diag("Accessibility access granted");
    return !setup_done(app_dir);
}

void finish_setup(const std::filesystem::path& app_dir) {
    if (Result<void> written = write_setup_done(app_dir); !written)
        diag("could not remember finished setup: " +
             write_failure_reason(written.error(), app_dir / "setup-done"));
}

}  // namespace thumbrover
