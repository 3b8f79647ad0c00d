#include "macos/event_output.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/common/numeric.hpp"

namespace thumbrover {
namespace {

constexpr const char* kEventFailed = "could not create an input event";

struct ButtonTypes {
    MacEventType press;
    MacEventType release;
    MacEventType drag;
};
constexpr std::array<ButtonTypes, 3> kButtonTypes = {{
    {MacEventType::LeftMouseDown, MacEventType::LeftMouseUp, MacEventType::LeftMouseDragged},
    {MacEventType::RightMouseDown, MacEventType::RightMouseUp, MacEventType::RightMouseDragged},
    {MacEventType::OtherMouseDown, MacEventType::OtherMouseUp, MacEventType::OtherMouseDragged},
}};

constexpr std::uint16_t kTabCode = 48;
constexpr std::uint16_t kSpaceCode = 49;
constexpr std::uint16_t kCommandCode = 55;

bool usable(const MacRect& display) {
    // Written so that NaN sizes count as unusable too.
    return display.width >= 1.0 && display.height >= 1.0;
}

bool contains(const MacRect& display, MacPoint p) {
    return p.x >= display.x && p.x < display.x + display.width && p.y >= display.y &&
           p.y < display.y + display.height;
}

std::chrono::nanoseconds interval_from_seconds(double seconds) {
    if (!(seconds > 0)) return std::chrono::nanoseconds{0};
    return std::chrono::nanoseconds{saturate_cast<std::int64_t>(seconds * 1e9)};
}

Error event_failed() {
    return Error{kEventFailed};
}

MacEvent media_key_event(std::uint16_t key_type, bool down) {
    const std::uint64_t state = down ? mac::kMediaKeyDown : mac::kMediaKeyUp;
    MacEvent event;
    event.type = MacEventType::SystemDefined;
    event.modifier_flags = state;
    event.subtype = mac::kMediaSubtype;
    event.data1 = static_cast<std::int64_t>((std::uint64_t{key_type} << 16) | state);
    event.data2 = -1;
    return event;
}

}  // namespace

std::vector<MacEvent> media_key_events() {
    std::vector<MacEvent> events;
    for (std::uint8_t kind = 0; kind < kKeyKindCount; ++kind) {
        const auto key = mac_key(Key(static_cast<KeyKind>(kind)));
        if (!key || key->key_class != MacKeyClass::Media) continue;
        events.push_back(media_key_event(key->code, true));
        events.push_back(media_key_event(key->code, false));
    }
    return events;
}

MacPoint clamp_to_displays(MacPoint from, MacPoint target, std::span<const MacRect> displays) {
    const MacRect* chosen = nullptr;
    for (const MacRect& display : displays) {
        if (!usable(display)) continue;
        if (contains(display, target)) return target;
        if (chosen == nullptr) chosen = &display;
    }
    if (chosen == nullptr) return target;
    for (const MacRect& display : displays) {
        if (usable(display) && contains(display, from)) {
            chosen = &display;
            break;
        }
    }
    return {std::clamp(target.x, chosen->x, chosen->x + chosen->width - 1),
            std::clamp(target.y, chosen->y, chosen->y + chosen->height - 1)};
}

MacEventOutput::MacEventOutput(MacEventSink& sink) : sink_(sink) {}

std::uint64_t MacEventOutput::current_flags() const {
    std::uint64_t flags = mac::kBaseFlags;
    for (const Key& held : held_keys_) {
        if (!held.modifier()) continue;
        if (const auto key = mac_key(held)) flags |= key->flags;
    }
    if (command_held_) flags |= mac::kCommandMask;
    return flags;
}

Result<void> MacEventOutput::perform(const OutputCommand& command) {
    switch (command.kind) {
        case CommandKind::Move:
            return move(command.a, command.b);
        case CommandKind::Scroll:
            return scroll(command.a, command.b);
        case CommandKind::ButtonDown:
            return button_press(command.p1);
        case CommandKind::ButtonUp:
            return button_release(command.p1);
        case CommandKind::KeyDown:
            return key(command.p1, command.p2, true);
        case CommandKind::KeyUp:
            return key(command.p1, command.p2, false);
        case CommandKind::KeyTap: {
            if (auto r = key(command.p1, command.p2, true); !r) return r;
            return key(command.p1, command.p2, false);
        }
        case CommandKind::Click: {
            if (auto r = button_press(command.p1); !r) return r;
            return button_release(command.p1);
        }
        case CommandKind::HoldCommand:
            return hold_command(command.p1 != 0);
        case CommandKind::SwitcherTab:
            return switcher_tab();
        case CommandKind::Launcher:
            return launcher();
        default:
            return event_failed();
    }
}

Result<void> MacEventOutput::post(const MacEvent& event) {
    if (!sink_.post(event)) return event_failed();
    return {};
}

Result<void> MacEventOutput::move(std::int32_t dx, std::int32_t dy) {
    const MacPoint from = sink_.pointer_location();
    const MacPoint target{from.x + dx, from.y + dy};
    std::array<MacRect, mac::kMaxDisplays> displays{};
    const std::size_t count = std::min(sink_.active_displays(displays), displays.size());

    MacEvent event;
    event.location = clamp_to_displays(from, target, std::span(displays.data(), count));
    event.type = MacEventType::MouseMoved;
    event.mouse_button = 0;
    for (std::uint32_t button = 0; button < button_down_.size(); ++button) {
        if (button_down_[button]) {
            event.type = kButtonTypes[button].drag;
            event.mouse_button = button;
            // The press's count: a drag after a double click selects by words, after a triple
            // click by lines, as with a real mouse.
            event.click_state = std::max<std::int64_t>(history_[button].count, 1);
            break;
        }
    }
    // The requested deltas, not the clamped movement: applications steering by deltas (games,
    // 3D views) keep turning at a screen edge.
    event.delta = MacEvent::Delta{dx, dy};
    return post(event);
}

Result<void> MacEventOutput::scroll(std::int32_t vertical, std::int32_t horizontal) {
    const auto add = [](std::int32_t carry, std::int32_t amount) {
        return saturate_cast<std::int32_t>(std::int64_t{carry} + amount);
    };
    const std::int32_t sa = add(scroll_carry_[0], vertical);
    const std::int32_t sb = add(scroll_carry_[1], horizontal);
    const std::int32_t qa = sa / mac::kScrollUnitsPerPixel;
    const std::int32_t qb = sb / mac::kScrollUnitsPerPixel;
    scroll_carry_ = {sa - qa * mac::kScrollUnitsPerPixel, sb - qb * mac::kScrollUnitsPerPixel};
    if (qa == 0 && qb == 0) return {};

    MacEvent event;
    event.type = MacEventType::ScrollWheel;
    event.wheel1 = qa;
    // Positive horizontal amounts mean "to the right"; macOS's second wheel counts the other way.
    event.wheel2 = -qb;
    event.wheel3 = 0;
    return post(event);
}

Result<void> MacEventOutput::button_press(std::uint8_t button) {
    if (button >= kButtonTypes.size()) return event_failed();
    const MacPoint at = sink_.pointer_location();
    const std::chrono::nanoseconds now = sink_.monotonic_now();
    ButtonHistory& history = history_[button];

    std::int64_t count = 1;
    if (history.pressed_at) {
        const auto since = std::max(now - *history.pressed_at, std::chrono::nanoseconds{0});
        // Asked at each press: the user may change it while the program runs.
        const auto interval = interval_from_seconds(sink_.double_click_interval_seconds());
        if (since <= interval && std::abs(history.location.x - at.x) <= mac::kDoubleClickSlop &&
            std::abs(history.location.y - at.y) <= mac::kDoubleClickSlop &&
            history.count < std::numeric_limits<std::int64_t>::max())
            count = history.count + 1;
    }
    history = {at, count, now};
    button_down_[button] = true;

    MacEvent event;
    event.type = kButtonTypes[button].press;
    event.location = at;
    event.mouse_button = button;
    event.click_state = count;
    return post(event);
}

Result<void> MacEventOutput::button_release(std::uint8_t button) {
    if (button >= kButtonTypes.size()) return event_failed();
    button_down_[button] = false;
    MacEvent event;
    event.type = kButtonTypes[button].release;
    event.location = sink_.pointer_location();
    event.mouse_button = button;
    event.click_state = std::max<std::int64_t>(history_[button].count, 1);
    return post(event);
}

Result<void> MacEventOutput::key(std::uint8_t kind, std::uint8_t param, bool down) {
    const std::optional<Key> decoded = key_from_bytes(kind, param);
    if (!decoded) return event_failed();
    const Key id = *decoded;
    std::optional<MacKey> mac;
    if (id.kind == KeyKind::Letter) {
        const auto letters = sink_.letter_keys();
        mac = letters ? mac_key(id, *letters) : mac_key(id);
    } else {
        mac = mac_key(id);
    }
    if (!mac) return event_failed();
    switch (mac->key_class) {
        case MacKeyClass::Modifier: {
            if (down) {
                held_keys_.push_back(id);
            } else {
                const auto it = std::find_if(held_keys_.begin(), held_keys_.end(),
                                             [&](const Key& k) { return k.kind == id.kind; });
                if (it != held_keys_.end()) held_keys_.erase(it);
            }
            return modifier_change(mac->code);
        }
        case MacKeyClass::Media:
            return post(media_key_event(mac->code, down));
        case MacKeyClass::Plain: {
            if (id.kind != KeyKind::Letter) return plain_key(mac->code, mac->flags, down);
            auto& held = letter_codes_down_[static_cast<std::size_t>(id.param - 'a')];
            const std::uint16_t code = !down && held ? *held : mac->code;
            if (down)
                held = code;
            else
                held.reset();
            return plain_key(code, mac->flags, down);
        }
    }
    return event_failed();
}

Result<void> MacEventOutput::plain_key(std::uint16_t code, std::uint64_t extra_flags, bool down) {
    MacEvent event;
    event.type = down ? MacEventType::KeyDown : MacEventType::KeyUp;
    event.key_code = code;
    event.flags = current_flags() | extra_flags;
    return post(event);
}

Result<void> MacEventOutput::modifier_change(std::uint16_t code) {
    MacEvent event;
    event.type = MacEventType::FlagsChanged;
    event.key_code = code;
    event.flags = current_flags();
    return post(event);
}

Result<void> MacEventOutput::hold_command(bool held) {
    command_held_ = held;
    return modifier_change(kCommandCode);
}

Result<void> MacEventOutput::switcher_tab() {
    if (auto r = plain_key(kTabCode, 0, true); !r) return r;
    return plain_key(kTabCode, 0, false);
}

Result<void> MacEventOutput::launcher() {
    // The Command added here is transient: whatever happens, held_keys_ ends as it began, so a
    // failed event can never leave Command stuck on every later key.
    const std::vector<Key> before = held_keys_;
    held_keys_.emplace_back(KeyKind::Meta);
    Result<void> result = modifier_change(kCommandCode);
    const bool command_posted = result.ok();
    if (result) result = plain_key(kSpaceCode, 0, true);
    if (result) result = plain_key(kSpaceCode, 0, false);
    held_keys_ = before;
    if (!command_posted) return result;
    Result<void> release = modifier_change(kCommandCode);
    if (!result) return result;
    return release;
}

std::string describe(const MacEvent& event) {
    char buffer[256];
    const auto type = static_cast<unsigned>(event.type);
    int n = 0;
    switch (event.type) {
        case MacEventType::ScrollWheel:
            n = std::snprintf(buffer, sizeof buffer, "scroll(%u) wheel1=%d wheel2=%d wheel3=%d",
                              type, event.wheel1, event.wheel2, event.wheel3);
            break;
        case MacEventType::KeyDown:
        case MacEventType::KeyUp:
        case MacEventType::FlagsChanged:
            n = std::snprintf(buffer, sizeof buffer, "key(%u) code=%u flags=0x%llx", type,
                              static_cast<unsigned>(event.key_code),
                              static_cast<unsigned long long>(event.flags));
            break;
        case MacEventType::SystemDefined:
            n = std::snprintf(buffer, sizeof buffer,
                              "system(%u) modifiers=0x%llx subtype=%d data1=0x%llx data2=%lld",
                              type, static_cast<unsigned long long>(event.modifier_flags),
                              event.subtype, static_cast<unsigned long long>(event.data1),
                              static_cast<long long>(event.data2));
            break;
        default:
            n = std::snprintf(buffer, sizeof buffer, "mouse(%u) at=(%g,%g) button=%u", type,
                              event.location.x, event.location.y, event.mouse_button);
            break;
    }
    std::string text(buffer, static_cast<std::size_t>(std::clamp(n, 0, 255)));
    if (event.click_state) text += " clicks=" + std::to_string(*event.click_state);
    if (event.delta)
        text += " delta=(" + std::to_string(event.delta->x) + "," + std::to_string(event.delta->y) +
                ")";
    char tag[32];
    std::snprintf(tag, sizeof tag, " tag=0x%llx", static_cast<unsigned long long>(event.user_data));
    return text + tag;
}

}  // namespace thumbrover
