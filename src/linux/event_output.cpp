#include "linux/event_output.hpp"

#include <X11/XF86keysym.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XI2.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string_view>

#include "core/circle/circle.hpp"
#include "core/common/clock.hpp"
#include "core/common/numeric.hpp"

namespace thumbrover {
namespace {

constexpr const char* kEventError = "could not create an input event";

// By modifier slot: Ctrl, Shift, Alt, Meta.
constexpr std::array<std::uint32_t, kModifierCount> kModifierKeysyms = {XK_Control_L, XK_Shift_L,
                                                                        XK_Alt_L, XK_Super_L};

constexpr unsigned kWheelUp = 4;
constexpr unsigned kWheelDown = 5;
constexpr unsigned kWheelLeft = 6;
constexpr unsigned kWheelRight = 7;

int clicks_for(std::int64_t& carry, std::int32_t amount) {
    carry += amount;
    const std::int64_t whole = carry / ScrollCarry::kUnitsPerClick;
    carry -= whole * ScrollCarry::kUnitsPerClick;
    return static_cast<int>(std::clamp<std::int64_t>(whole, -ScrollCarry::kMaxClicksPerScroll,
                                                     ScrollCarry::kMaxClicksPerScroll));
}

Result<void> failed() {
    return Error{kEventError};
}

std::optional<std::uint32_t> keypad_keysym(std::uint8_t param) {
    if (param <= 9) return XK_KP_0 + param;
    switch (static_cast<KeypadKey>(param)) {
        case KeypadKey::Add:
            return XK_KP_Add;
        case KeypadKey::Subtract:
            return XK_KP_Subtract;
        case KeypadKey::Multiply:
            return XK_KP_Multiply;
        case KeypadKey::Divide:
            return XK_KP_Divide;
        case KeypadKey::Decimal:
            return XK_KP_Decimal;
        case KeypadKey::Enter:
            return XK_KP_Enter;
        case KeypadKey::Equal:
            return XK_KP_Equal;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint32_t> keysym_for_key(const Key& key) {
    switch (key.kind) {
        case KeyKind::Up:
            return XK_Up;
        case KeyKind::Down:
            return XK_Down;
        case KeyKind::Left:
            return XK_Left;
        case KeyKind::Right:
            return XK_Right;
        case KeyKind::Esc:
            return XK_Escape;
        case KeyKind::Tab:
            return XK_Tab;
        case KeyKind::Enter:
            return XK_Return;
        case KeyKind::Space:
            return XK_space;
        case KeyKind::Backspace:
            return XK_BackSpace;
        case KeyKind::Delete:
            return XK_Delete;
        case KeyKind::Home:
            return XK_Home;
        case KeyKind::End:
            return XK_End;
        case KeyKind::PageUp:
            return XK_Page_Up;
        case KeyKind::PageDown:
            return XK_Page_Down;
        case KeyKind::Letter:
            if (key.param < 'a' || key.param > 'z') return std::nullopt;
            return XK_a + (key.param - 'a');
        case KeyKind::Digit:
            if (key.param > 9) return std::nullopt;
            return XK_0 + key.param;
        case KeyKind::F:
            if (key.param < 1 || key.param > kFunctionKeyCount) return std::nullopt;
            return XK_F1 + (key.param - 1);
        case KeyKind::Insert:
            return XK_Insert;
        case KeyKind::Print:
            return XK_Print;
        case KeyKind::Symbol:
            // The keysyms of ASCII punctuation are the characters' codes.
            if (!is_symbol_character(key.param)) return std::nullopt;
            return key.param;
        case KeyKind::Keypad:
            return keypad_keysym(key.param);
        case KeyKind::Ctrl:
            return XK_Control_L;
        case KeyKind::Shift:
            return XK_Shift_L;
        case KeyKind::Alt:
            return XK_Alt_L;
        case KeyKind::Meta:
            return XK_Super_L;
        case KeyKind::PlayPause:
            return XF86XK_AudioPlay;
        case KeyKind::NextTrack:
            return XF86XK_AudioNext;
        case KeyKind::PreviousTrack:
            return XF86XK_AudioPrev;
        case KeyKind::VolumeUp:
            return XF86XK_AudioRaiseVolume;
        case KeyKind::VolumeDown:
            return XF86XK_AudioLowerVolume;
        case KeyKind::Mute:
            return XF86XK_AudioMute;
    }
    return std::nullopt;
}

std::optional<unsigned> x_button_for(std::uint8_t button) {
    switch (button) {
        case 0:
            return 1u;
        case 1:
            return 3u;
        case 2:
            return 2u;
        default:
            return std::nullopt;
    }
}

WheelClicks ScrollCarry::add(std::int32_t vertical, std::int32_t horizontal) {
    WheelClicks clicks;
    const int v = clicks_for(vertical_, vertical);
    const int h = clicks_for(horizontal_, horizontal);
    (v > 0 ? clicks.up : clicks.down) = std::abs(v);
    (h > 0 ? clicks.right : clicks.left) = std::abs(h);
    return clicks;
}

bool shift_needed(std::uint32_t keysym, std::uint32_t plain_level, std::uint32_t shifted_level,
                  bool modifier_held) {
    return !modifier_held && plain_level != keysym && shifted_level == keysym;
}

// ---------------------------------------------------------------- X backend

Result<std::unique_ptr<X11EventOutput>> X11EventOutput::create() {
    auto display = X11Display::open();
    if (!display) return Error{display.error()};
    // Asked through XCB, which keeps its own record of extensions: now, so that the first motion
    // does not wait for the answer.
    const xcb_query_extension_reply_t* xtest =
        xcb_get_extension_data(XGetXCBConnection(display->get()), &xcb_test_id);
    if (xtest == nullptr || xtest->present == 0) {
        return Error{"the X display has no XTEST extension"};
    }
    // XTEST events would otherwise be held back while another client grabs the server.
    XTestGrabControl(display->get(), True);
    return std::unique_ptr<X11EventOutput>(new X11EventOutput(std::move(display).value()));
}

X11EventOutput::X11EventOutput(X11Display display)
    : display_(std::move(display)), xcb_(XGetXCBConnection(display_.get())) {}

X11EventOutput::~X11EventOutput() {
    // A connection whose server has gone takes no more requests: Xlib stops sending but keeps
    // filling its buffer, and a request that no longer fits in it crashes the caller.
    if (x_display_lost()) return;
    release_all();
    if (!borrowed_keycodes_.empty()) {
        // Spare keycodes go back to having no symbol so the keymap is as we found it.
        for (const unsigned keycode : borrowed_keycodes_) {
            KeySym none = NoSymbol;
            XChangeKeyboardMapping(display_.get(), static_cast<int>(keycode), 1, &none, 1);
        }
    }
    (void)display_.sync_errors();
}

void X11EventOutput::release_all() {
    if (x_display_lost()) return;
    Display* d = display_.get();
    for (const unsigned keycode : keys_down_)
        XTestFakeKeyEvent(d, keycode, False, CurrentTime);
    keys_down_.clear();
    modifiers_ = ModifierHolds{};
    (void)apply_modifiers();
    for (unsigned i = 0; i < button_down_.size(); ++i) {
        if (button_down_[i]) XTestFakeButtonEvent(d, i + 1, False, CurrentTime);
        button_down_[i] = false;
    }
    XFlush(d);
}

namespace {

// The devices XTEST posts through for the core pointer and keyboard, which are the ones this
// output's requests go to.
constexpr std::string_view kCoreXtestPointer = "Virtual core XTEST pointer";
constexpr std::string_view kCoreXtestKeyboard = "Virtual core XTEST keyboard";

struct HeldDown {
    std::vector<unsigned> buttons;
    std::vector<unsigned> keycodes;
};

// The numbers whose bits are set in an X state bitmap (bit n of the map stands for number n).
void add_set_bits(const char* bits, int bytes, std::vector<unsigned>& into) {
    for (int byte = 0; byte < bytes; ++byte) {
        const auto value = static_cast<unsigned char>(bits[byte]);
        for (unsigned bit = 0; bit < 8; ++bit)
            if ((value & (1u << bit)) != 0) into.push_back(static_cast<unsigned>(byte) * 8 + bit);
    }
}

HeldDown held_on_core_xtest_devices(Display* d) {
    HeldDown held;
    int count = 0;
    const std::unique_ptr<XIDeviceInfo, decltype(&XIFreeDeviceInfo)> devices(
        XIQueryDevice(d, XIAllDevices, &count), &XIFreeDeviceInfo);
    for (int i = 0; devices && i < count; ++i) {
        const XIDeviceInfo& info = devices.get()[i];
        const std::string_view name = info.name != nullptr ? info.name : "";
        if (name != kCoreXtestPointer && name != kCoreXtestKeyboard) continue;
        const auto close_device = [d](XDevice* device) { XCloseDevice(d, device); };
        const std::unique_ptr<XDevice, decltype(close_device)> device(
            XOpenDevice(d, static_cast<XID>(info.deviceid)), close_device);
        if (!device) continue;
        const std::unique_ptr<XDeviceState, decltype(&XFreeDeviceState)> state(
            XQueryDeviceState(d, device.get()), &XFreeDeviceState);
        if (!state) continue;
        const auto* cls = reinterpret_cast<const unsigned char*>(state->data);
        for (int c = 0; c < state->num_classes; ++c) {
            const auto* any = reinterpret_cast<const XInputClass*>(cls);
            if (any->c_class == KeyClass) {
                const auto* keys = reinterpret_cast<const XKeyState*>(any);
                add_set_bits(keys->keys, static_cast<int>(sizeof keys->keys), held.keycodes);
            } else if (any->c_class == ButtonClass) {
                const auto* buttons = reinterpret_cast<const XButtonState*>(any);
                add_set_bits(buttons->buttons, static_cast<int>(sizeof buttons->buttons),
                             held.buttons);
            }
            if (any->length == 0) break;
            cls += any->length;
        }
    }
    return held;
}

}  // namespace

int X11EventOutput::release_left_held() {
    Display* d = display_.get();
    const HeldDown held = held_on_core_xtest_devices(d);
    int released = 0;
    for (const unsigned button : held.buttons) {
        if (button == 0) continue;
        released += XTestFakeButtonEvent(d, button, False, CurrentTime) ? 1 : 0;
    }
    for (const unsigned keycode : held.keycodes)
        released += XTestFakeKeyEvent(d, keycode, False, CurrentTime) ? 1 : 0;
    XFlush(d);
    (void)display_.sync_errors();
    return released;
}

Result<void> X11EventOutput::perform(const OutputCommand& command) {
    // The loss is reported once, and ends the program; what it still asks for goes nowhere.
    if (x_display_lost()) return {};
    if (command.kind == CommandKind::Move) {
        Result<void> result = move(command.a, command.b);
        flush_motion();
        return result;
    }
    catch_up();
    Result<void> result = [&]() -> Result<void> {
        switch (command.kind) {
            case CommandKind::Scroll:
                return scroll(command.a, command.b);
            case CommandKind::ButtonDown:
                return button(command.p1, true);
            case CommandKind::ButtonUp:
                return button(command.p1, false);
            case CommandKind::KeyDown:
                return key(command.p1, command.p2, true);
            case CommandKind::KeyUp:
                return key(command.p1, command.p2, false);
            case CommandKind::KeyTap: {
                auto down = key(command.p1, command.p2, true);
                if (!down) return down;
                return key(command.p1, command.p2, false);
            }
            case CommandKind::Click: {
                auto down = button(command.p1, true);
                if (!down) return down;
                return button(command.p1, false);
            }
            case CommandKind::HoldCommand:
                modifiers_.set_switcher(command.p1 == 1);
                return apply_modifiers();
            case CommandKind::SwitcherTab:
                return tap_keysym(XK_Tab);
            case CommandKind::Launcher:
                return launcher();
            default:
                return failed();
        }
    }();
    flush_and_read();
    return result;
}

void X11EventOutput::flush_and_read() {
    XFlush(display_.get());
    drain_events();
    motions_unread_ = 0;
}

void X11EventOutput::flush_motion() {
    if (++motions_unread_ < kMotionsPerRead && xcb_flush(xcb_) > 0) return;
    // Also when the write failed: Xlib's flush is what tells the program the display is gone.
    flush_and_read();
}

void X11EventOutput::catch_up() {
    if (motions_unread_ > 0) flush_and_read();
}

Result<void> X11EventOutput::move(std::int32_t dx, std::int32_t dy) {
    // The request carries 16-bit deltas; a larger step would wrap around to the other direction.
    const std::int16_t x = saturate_cast<std::int16_t>(dx);
    const std::int16_t y = saturate_cast<std::int16_t>(dy);
    if (x == 0 && y == 0) return {};
    // Relative motion: detail 1, and no root window to move within.
    xcb_test_fake_input(xcb_, XCB_MOTION_NOTIFY, 1, XCB_CURRENT_TIME, XCB_NONE, x, y, 0);
    follow_ring(x, y);
    return {};
}

std::optional<PointerTrack::Point> PointerTrack::after(int dx, int dy, int width, int height,
                                                       std::uint64_t showing,
                                                       std::chrono::nanoseconds now) {
    if (!known_ || showing != showing_ || now < learnt_at_ || now - learnt_at_ >= kRelearn) {
        return std::nullopt;
    }
    const long x = static_cast<long>(known_->x) + dx;
    const long y = static_cast<long>(known_->y) + dy;
    // The server stops the pointer at the edge, by an amount only it knows.
    if (x < 0 || y < 0 || x >= width || y >= height) return std::nullopt;
    known_ = Point{static_cast<int>(x), static_cast<int>(y)};
    return known_;
}

void PointerTrack::learnt(Point at, std::uint64_t showing, std::chrono::nanoseconds now) {
    known_ = at;
    showing_ = showing;
    learnt_at_ = now;
}

void X11EventOutput::follow_ring(int dx, int dy) {
    const std::optional<RingTarget> ring = ring_target_cell().get();
    if (!ring) {
        track_.forget();
        return;
    }
    Display* d = display_.get();
    const int screen = DefaultScreen(d);
    const std::chrono::nanoseconds now = steady_clock().now();
    std::optional<PointerTrack::Point> at =
        track_.after(dx, dy, DisplayWidth(d, screen), DisplayHeight(d, screen), ring->showing, now);
    if (!at) {
        // The one round trip: the server answers after it has applied the motion just posted.
        const auto pointer = display_.pointer();
        if (!pointer) return;
        at = PointerTrack::Point{pointer->x, pointer->y};
        track_.learnt(*at, ring->showing, now);
    }
    // Each value goes in a 32-bit word, a place left of or above the screen as two's complement.
    const auto word = [](double value) {
        return static_cast<std::uint32_t>(saturate_cast<std::int32_t>(std::lround(value)));
    };
    const std::uint32_t origin[] = {word(at->x - ring->half_side), word(at->y - ring->half_side)};
    xcb_configure_window(xcb_, static_cast<xcb_window_t>(ring->window),
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, origin);
}

Result<void> X11EventOutput::scroll(std::int32_t vertical, std::int32_t horizontal) {
    const WheelClicks clicks = scroll_.add(vertical, horizontal);
    Display* d = display_.get();
    const std::pair<unsigned, int> wheel[] = {
        {kWheelUp, clicks.up},
        {kWheelDown, clicks.down},
        {kWheelLeft, clicks.left},
        {kWheelRight, clicks.right},
    };
    for (const auto& [button_number, count] : wheel) {
        for (int i = 0; i < count; ++i) {
            if (!XTestFakeButtonEvent(d, button_number, True, CurrentTime) ||
                !XTestFakeButtonEvent(d, button_number, False, CurrentTime)) {
                return failed();
            }
        }
    }
    return {};
}

Result<void> X11EventOutput::button(std::uint8_t which, bool down) {
    const auto number = x_button_for(which);
    if (!number) return failed();
    bool& held = button_down_[*number - 1];
    // A release of a button we do not hold would reach the server as a stray release.
    if (!down && !held) return {};
    // A second press without a release would look like two buttons to the server's count and
    // leave one stuck; the engine pairs them, this only guards against a repeated command.
    if (down && held) return {};
    if (!XTestFakeButtonEvent(display_.get(), *number, down ? True : False, CurrentTime)) {
        return failed();
    }
    held = down;
    return {};
}

Result<void> X11EventOutput::key(std::uint8_t kind, std::uint8_t parameter, bool down) {
    const auto decoded = key_from_bytes(kind, parameter);
    if (!decoded) return failed();
    return key(*decoded, down);
}

Result<void> X11EventOutput::key(const Key& key, bool down) {
    if (key.modifier()) {
        if (down) {
            modifiers_.hold(key.kind);
        } else {
            modifiers_.release(key.kind);
        }
        return apply_modifiers();
    }
    const auto keysym = keysym_for_key(key);
    if (!keysym) return failed();
    auto stroke = stroke_for(*keysym);
    if (!stroke) return Error{stroke.error()};
    const unsigned keycode = stroke->keycode;
    const auto held = std::find(keys_down_.begin(), keys_down_.end(), keycode);
    if (!down && held == keys_down_.end()) return {};
    const bool any_modifier =
        std::find(modifier_down_.begin(), modifier_down_.end(), true) != modifier_down_.end();
    const bool shifted =
        down && shift_needed(*keysym, stroke->plain_level, stroke->shifted_level, any_modifier);
    std::optional<unsigned> shift;
    if (shifted) {
        auto shift_stroke = stroke_for(XK_Shift_L);
        if (!shift_stroke) return Error{shift_stroke.error()};
        shift = shift_stroke->keycode;
        if (!send_key(*shift, true)) return failed();
    }
    // Shift is needed only while the key goes down: the application reads the level then.
    const bool sent = send_key(keycode, down).ok();
    if (shift && !send_key(*shift, false)) return failed();
    if (!sent) return failed();
    if (down && held == keys_down_.end()) keys_down_.push_back(keycode);
    if (!down) keys_down_.erase(held);
    return {};
}

Result<void> X11EventOutput::tap_keysym(std::uint32_t keysym) {
    auto keycode = keycode_for(keysym);
    if (!keycode) return Error{keycode.error()};
    auto down = send_key(*keycode, true);
    if (!down) return down;
    return send_key(*keycode, false);
}

Result<void> X11EventOutput::launcher() {
    // Desktops open their launcher when Super is released without another key in between. While
    // Super is already held, lifting it and pressing it again gives the same tap and leaves it
    // held.
    auto keycode = keycode_for(XK_Super_L);
    if (!keycode) return Error{keycode.error()};
    const bool held = modifier_down_[modifier_slot(KeyKind::Meta)];
    auto first = send_key(*keycode, !held);
    if (!first) return first;
    return send_key(*keycode, held);
}

Result<void> X11EventOutput::send_key(unsigned keycode, bool down) {
    if (!XTestFakeKeyEvent(display_.get(), keycode, down ? True : False, CurrentTime)) {
        return failed();
    }
    return {};
}

Result<void> X11EventOutput::apply_modifiers() {
    const auto wanted = modifiers_.pressed();
    Result<void> result;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (wanted[i] == modifier_down_[i]) continue;
        auto keycode = keycode_for(kModifierKeysyms[i]);
        if (!keycode) {
            result = Error{keycode.error()};
            continue;
        }
        if (!send_key(*keycode, wanted[i])) {
            result = failed();
            continue;
        }
        modifier_down_[i] = wanted[i];
    }
    return result;
}

Result<unsigned> X11EventOutput::keycode_for(std::uint32_t keysym) {
    auto stroke = stroke_for(keysym);
    if (!stroke) return Error{stroke.error()};
    return stroke->keycode;
}

Result<X11EventOutput::Stroke> X11EventOutput::stroke_for(std::uint32_t keysym) {
    if (const auto it = strokes_.find(keysym); it != strokes_.end()) return it->second;
    Display* d = display_.get();
    // A layout change that has arrived but not been read yet would make the lookup stale.
    if (XEventsQueued(d, QueuedAfterReading) > 0) drain_events();
    unsigned keycode = XKeysymToKeycode(d, keysym);
    Stroke stroke{keycode, keysym, 0};
    if (keycode != 0) {
        int per_keycode = 0;
        KeySym* syms = XGetKeyboardMapping(d, static_cast<KeyCode>(keycode), 1, &per_keycode);
        if (syms != nullptr && per_keycode > 0) {
            stroke.plain_level = static_cast<std::uint32_t>(syms[0]);
            if (per_keycode > 1) stroke.shifted_level = static_cast<std::uint32_t>(syms[1]);
        }
        if (syms != nullptr) XFree(syms);
    } else {
        int min_keycode = 0;
        int max_keycode = 0;
        XDisplayKeycodes(d, &min_keycode, &max_keycode);
        int per_keycode = 0;
        KeySym* map = XGetKeyboardMapping(d, static_cast<KeyCode>(min_keycode),
                                          max_keycode - min_keycode + 1, &per_keycode);
        if (map == nullptr) return Error{kEventError};
        // Spare keycodes are taken from the top, where keymaps leave theirs unused.
        for (int candidate = max_keycode; candidate >= min_keycode && keycode == 0; --candidate) {
            const KeySym* syms = map + (candidate - min_keycode) * per_keycode;
            const bool empty =
                std::all_of(syms, syms + per_keycode, [](KeySym s) { return s == NoSymbol; });
            const bool ours =
                std::find(borrowed_keycodes_.begin(), borrowed_keycodes_.end(),
                          static_cast<unsigned>(candidate)) != borrowed_keycodes_.end();
            if (empty && !ours) keycode = static_cast<unsigned>(candidate);
        }
        XFree(map);
        if (keycode == 0) return Error{kEventError};
        // An error still on record belongs to an earlier request (a ring window gone while the
        // engine moved it), not to this change.
        (void)display_.sync_errors();
        KeySym sym = keysym;
        XChangeKeyboardMapping(d, static_cast<int>(keycode), 1, &sym, 1);
        if (!display_.sync_errors()) return Error{kEventError};
        borrowed_keycodes_.push_back(keycode);
        stroke.keycode = keycode;
    }
    strokes_.emplace(keysym, stroke);
    return stroke;
}

void X11EventOutput::drain_events() {
    Display* d = display_.get();
    while (XEventsQueued(d, QueuedAlready) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            // The layout changed under us: look every keysym up again, except those we placed.
            std::erase_if(strokes_, [&](const auto& entry) {
                return std::find(borrowed_keycodes_.begin(), borrowed_keycodes_.end(),
                                 entry.second.keycode) == borrowed_keycodes_.end();
            });
        }
    }
}

}  // namespace thumbrover
