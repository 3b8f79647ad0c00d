#include "core/ui/access.hpp"

namespace thumbrover {

bool TrustAtStart::record(bool trusted) {
    std::int8_t expected = -1;
    const std::int8_t wanted = trusted ? 1 : 0;
    if (value_.compare_exchange_strong(expected, wanted, std::memory_order_acq_rel)) return trusted;
    return expected == 1;
}

std::optional<bool> TrustAtStart::get() const {
    const std::int8_t value = value_.load(std::memory_order_acquire);
    if (value < 0) return std::nullopt;
    return value == 1;
}

TrustAtStart& trust_at_start() {
    static TrustAtStart cell;
    return cell;
}

AccessState access_state(bool trusted_now, std::optional<bool> trusted_at_start) {
    if (!trusted_now) return AccessState::Missing;
    if (trusted_at_start == false) return AccessState::RestartNeeded;
    return AccessState::Granted;
}

StatusSymbol access_symbol(AccessState state) {
    switch (state) {
        case AccessState::Granted:
            return kSymbolGranted;
        case AccessState::RestartNeeded:
            return kSymbolRestart;
        case AccessState::Missing:
            return kSymbolWarning;
    }
    return kSymbolWarning;
}

LoginCheckbox login_checkbox(LoginItemState state) {
    switch (state) {
        case LoginItemState::On:
            return {CheckMark::Checked, {}};
        case LoginItemState::AwaitingApproval:
            return {CheckMark::Mixed, kLoginAwaitingApproval};
        case LoginItemState::Off:
            break;
    }
    return {CheckMark::Unchecked, {}};
}

}  // namespace thumbrover
