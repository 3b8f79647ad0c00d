#pragma once

#include <functional>
#include <utility>

#include "platform/system_services.hpp"

namespace thumbrover {

// One right of the system's, as a way to check it and a way to ask for it.
struct SystemRight {
    std::function<bool()> check;
    std::function<bool()> ask;  // may show the system's prompt; returns at once
};

// The permission the program needs where it posts events: the right to post them. It is checked
// and asked for as one right, so that what the windows report is what posting needs. Main
// thread only.
class PostEventPermission : public InputPermission {
  public:
    explicit PostEventPermission(SystemRight right) : right_(std::move(right)) {}

    [[nodiscard]] bool granted() override { return right_.check(); }
    // Asked only while it is missing: the system lists the program in its pane the first time
    // and may show its prompt.
    void request() override {
        if (!right_.check()) static_cast<void>(right_.ask());
    }

  private:
    SystemRight right_;
};

}  // namespace thumbrover
