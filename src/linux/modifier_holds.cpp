#include "linux/modifier_holds.hpp"

namespace thumbrover {

void ModifierHolds::hold(KeyKind kind) {
    if (is_modifier(kind)) ++counts_[modifier_slot(kind)];
}

void ModifierHolds::release(KeyKind kind) {
    if (is_modifier(kind) && counts_[modifier_slot(kind)] > 0) --counts_[modifier_slot(kind)];
}

bool ModifierHolds::held(KeyKind kind) const {
    return is_modifier(kind) && counts_[modifier_slot(kind)] > 0;
}

ModifierHolds::Pressed ModifierHolds::pressed() const {
    Pressed p{};
    for (std::size_t i = 0; i < p.size(); ++i)
        p[i] = counts_[i] > 0;
    p[modifier_slot(KeyKind::Alt)] = p[modifier_slot(KeyKind::Alt)] || switcher_;
    return p;
}

}  // namespace thumbrover
