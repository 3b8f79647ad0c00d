#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string_view>

namespace thumbrover {

// Whether the program could post input events when it started. The system applies a newly granted
// permission to a running process only after a restart, so the windows compare the current answer
// with this one to tell "granted" from "granted, restart needed". Set once; later records are
// ignored.
class TrustAtStart final {
  public:
    // Records `trusted` unless an answer is already recorded; returns the recorded answer.
    bool record(bool trusted);
    [[nodiscard]] std::optional<bool> get() const;

  private:
    // -1: not recorded; 0 or 1: the answer.
    std::atomic<std::int8_t> value_{-1};
};

// The process-wide cell, shared by the Setup and Settings windows.
[[nodiscard]] TrustAtStart& trust_at_start();

// The three states of an input-permission row.
enum class AccessState : std::uint8_t {
    Granted = 0,        // allowed and in effect
    RestartNeeded = 1,  // allowed since start; takes effect after a restart
    Missing = 2,        // not allowed
};

[[nodiscard]] AccessState access_state(bool trusted_now, std::optional<bool> trusted_at_start);

// The colour a status symbol is tinted with; views map these to their palette.
enum class Tint : std::uint8_t { Green = 0, Orange = 1, Secondary = 2 };

// A status symbol: its SF Symbols name (other platforms map the name to an icon of their own)
// and its tint.
struct StatusSymbol {
    std::string_view name;
    Tint tint;

    friend bool operator==(const StatusSymbol&, const StatusSymbol&) = default;
};

inline constexpr StatusSymbol kSymbolGranted{"checkmark.circle.fill", Tint::Green};
inline constexpr StatusSymbol kSymbolRestart{"arrow.clockwise.circle.fill", Tint::Orange};
inline constexpr StatusSymbol kSymbolWarning{"exclamationmark.triangle.fill", Tint::Orange};
inline constexpr StatusSymbol kSymbolPending{"circle.dashed", Tint::Secondary};

[[nodiscard]] StatusSymbol access_symbol(AccessState state);

}  // namespace thumbrover
