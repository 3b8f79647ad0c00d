#pragma once

#include <string_view>

namespace thumbrover {

// The named moments of the program's start and end. Nobody watches them in the program itself;
// a test build installs an observer that holds the thread there, so that a test can quit, or
// take the display away, at exactly that moment rather than at a moment that merely tends to
// fall near it.
using StepObserver = void (*)(std::string_view step);

// Installed once, before any thread of the program starts; none removes it.
void set_step_observer(StepObserver observer) noexcept;

// Tells the observer, if any, that this thread has reached `step`. Costs one atomic load without
// an observer.
void reached_step(std::string_view step) noexcept;

}  // namespace thumbrover
