#pragma once

#include <memory>

#include "core/common/result.hpp"
#include "platform/event_output.hpp"

namespace thumbrover {

// The engine's event output on macOS: the event-synthesis logic over a CoreGraphics sink that
// posts every event to the HID event tap from one event source with the HID system state.
// Fails with "could not create an event source" when the window server gives no source.
// Engine thread only, like every EventOutput.
// Media keys post system-defined events, which only AppKit makes: call
// `prepare_media_key_events` on the main thread before the engine starts; until then media keys
// fail with "could not create an input event".
[[nodiscard]] Result<std::unique_ptr<EventOutput>> create_event_output();

// Makes every media key event the output may post. Main thread only; later calls do nothing.
void prepare_media_key_events();

// Reads the user's double-click interval for the output's click counts, now and every few
// seconds after, so that a changed setting is followed. Main thread only (AppKit's NSEvent);
// call it before the engine starts. Later calls do nothing.
void follow_double_click_interval();

}  // namespace thumbrover
