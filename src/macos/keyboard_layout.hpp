#pragma once

namespace thumbrover {

// Reads the keyboard layout the user has selected into `current_letter_keys()`, now and again
// whenever another input source is selected, so posted letters and captured keys follow it.
// Main thread only (the input source calls are); the first call starts following, later calls
// do nothing.
void follow_keyboard_layout();

}  // namespace thumbrover
