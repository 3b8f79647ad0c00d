#include "macos/keyboard_layout.hpp"

#import <Carbon/Carbon.h>
#import <CoreFoundation/CoreFoundation.h>

#include <memory>
#include <optional>

#include "core/common/diag.hpp"
#include "macos/cf_owned.hpp"
#include "macos/key_layout.hpp"

namespace thumbrover {
namespace {

// What each key types without modifiers on `source`'s layout; none when the source has no
// layout data (an input method rather than a keyboard layout).
std::optional<KeyboardLayout> read_layout(TISInputSourceRef source) {
    if (source == nullptr) return std::nullopt;
    // Owned by the source: not released here.
    const auto data =
        static_cast<CFDataRef>(TISGetInputSourceProperty(source, kTISPropertyUnicodeKeyLayoutData));
    if (data == nullptr) return std::nullopt;
    const auto* keys = reinterpret_cast<const UCKeyboardLayout*>(CFDataGetBytePtr(data));
    if (keys == nullptr) return std::nullopt;
    const UInt32 keyboard_type = LMGetKbdType();
    KeyboardLayout layout;
    for (std::size_t code = 0; code < KeyboardLayout::kCodes; ++code) {
        UInt32 dead_keys = 0;
        UniChar typed[4] = {};
        UniCharCount length = 0;
        const OSStatus status =
            UCKeyTranslate(keys, static_cast<UInt16>(code), kUCKeyActionDown, 0, keyboard_type,
                           kUCKeyTranslateNoDeadKeysMask, &dead_keys, 4, &length, typed);
        if (status == noErr && length == 1) layout.plain[code] = typed[0];
    }
    return layout;
}

void read_selected_layout() {
    @autoreleasepool {
        const CfOwned<TISInputSourceRef> selected(TISCopyCurrentKeyboardLayoutInputSource());
        const CfOwned<TISInputSourceRef> ascii(
            TISCopyCurrentASCIICapableKeyboardLayoutInputSource());
        const std::optional<KeyboardLayout> layout = read_layout(selected.get());
        const std::optional<KeyboardLayout> fallback = read_layout(ascii.get());
        if (!layout && !fallback) {
            diag("cannot read the keyboard layout: letters are pressed at their US positions");
            current_letter_keys().set(nullptr);
            return;
        }
        const KeyboardLayout& primary = layout ? *layout : *fallback;
        current_letter_keys().set(
            std::make_shared<const LetterKeys>(primary, fallback ? &*fallback : nullptr));
    }
}

void on_input_source_changed(CFNotificationCenterRef, void*, CFNotificationName, const void*,
                             CFDictionaryRef) {
    read_selected_layout();
}

}  // namespace

void follow_keyboard_layout() {
    static bool following = false;
    if (following) return;
    following = true;
    read_selected_layout();
    // Delivered on this (the main) thread's run loop, and at once: AppKit holds back distributed
    // notifications of the default kind while the program is not the active one, which for a
    // menu-bar program is nearly always.
    CFNotificationCenterAddObserver(CFNotificationCenterGetDistributedCenter(), &following,
                                    on_input_source_changed,
                                    kTISNotifySelectedKeyboardInputSourceChanged, nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
}

}  // namespace thumbrover
