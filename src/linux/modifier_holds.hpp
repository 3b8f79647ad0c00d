#pragma once

#include <array>

#include "core/bindings/keys.hpp"

namespace thumbrover {

// Which modifier keys must be down: one slot per modifier (Ctrl, Shift, Alt, Meta). A key is
// down while any hold of it is outstanding, so pressing Shift twice and releasing it once keeps it
// down; the switcher's hold of Alt counts as one more hold of Alt.
class ModifierHolds {
  public:
    using Pressed = std::array<bool, kModifierCount>;

    // Keys that are not modifiers are ignored.
    void hold(KeyKind kind);
    void release(KeyKind kind);  // releases one hold; releasing an unheld key changes nothing
    void set_switcher(bool held) { switcher_ = held; }
    [[nodiscard]] bool held(KeyKind kind) const;
    [[nodiscard]] Pressed pressed() const;

  private:
    std::array<int, kModifierCount> counts_{};
    bool switcher_ = false;
};

}  // namespace thumbrover
