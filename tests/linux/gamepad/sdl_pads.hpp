#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "core/common/result.hpp"
#include "demo/virtual_pad.hpp"
#include "linux/gamepad.hpp"

namespace thumbrover::testing {

// What was made, or null with the test failed for the reason it could not be.
template <typename T>
std::unique_ptr<T> made_or_failed(Result<std::unique_ptr<T>> made) {
    if (!made) {
        ADD_FAILURE() << made.error();
        return nullptr;
    }
    return std::move(made).value();
}

inline std::unique_ptr<SdlGamepad> open_sdl() {
    return made_or_failed(SdlGamepad::create());
}

inline std::unique_ptr<VirtualPad> plug_in() {
    return made_or_failed(VirtualPad::plug_in());
}
inline std::unique_ptr<VirtualPad> plug_in(const std::string& name) {
    return made_or_failed(VirtualPad::plug_in(name));
}

}  // namespace thumbrover::testing
