#include "core/output/mac_key_codes.hpp"

#include <array>

namespace thumbrover {
namespace {

// kVK_ANSI_A .. kVK_ANSI_Z, from HIToolbox Events.h; the codes follow the physical US layout,
// not the alphabet.
constexpr std::array<std::uint16_t, 26> kLetterCodes = {
    0,   // a
    11,  // b
    8,   // c
    2,   // d
    14,  // e
    3,   // f
    5,   // g
    4,   // h
    34,  // i
    38,  // j
    40,  // k
    37,  // l
    46,  // m
    45,  // n
    31,  // o
    35,  // p
    12,  // q
    15,  // r
    1,   // s
    17,  // t
    32,  // u
    9,   // v
    13,  // w
    7,   // x
    16,  // y
    6,   // z
};

// kVK_ANSI_0 .. kVK_ANSI_9.
constexpr std::array<std::uint16_t, 10> kDigitCodes = {29, 18, 19, 20, 21, 23, 22, 26, 28, 25};

// kVK_F1 .. kVK_F12.
constexpr std::array<std::uint16_t, 12> kFunctionCodes = {122, 120, 99,  118, 96,  97,
                                                          98,  100, 101, 109, 103, 111};

constexpr std::uint64_t kArrowFlags = 0xA00000;     // secondary Fn | numeric pad
constexpr std::uint64_t kFunctionFlags = 0x800000;  // secondary Fn

// Kinds 0..13 and 17..26, which take no parameter.
struct FixedKey {
    std::uint8_t kind;
    MacKey key;
};
constexpr std::array<FixedKey, 24> kFixedKeys = {{
    {key_kind::kUp, {MacKeyClass::Plain, 126, kArrowFlags}},
    {key_kind::kDown, {MacKeyClass::Plain, 125, kArrowFlags}},
    {key_kind::kLeft, {MacKeyClass::Plain, 123, kArrowFlags}},
    {key_kind::kRight, {MacKeyClass::Plain, 124, kArrowFlags}},
    {key_kind::kEsc, {MacKeyClass::Plain, 53, 0}},
    {key_kind::kTab, {MacKeyClass::Plain, 48, 0}},
    {key_kind::kEnter, {MacKeyClass::Plain, 36, 0}},
    {key_kind::kSpace, {MacKeyClass::Plain, 49, 0}},
    {key_kind::kBackspace, {MacKeyClass::Plain, 51, 0}},
    {key_kind::kDelete, {MacKeyClass::Plain, 117, kFunctionFlags}},
    {key_kind::kHome, {MacKeyClass::Plain, 115, kFunctionFlags}},
    {key_kind::kEnd, {MacKeyClass::Plain, 119, kFunctionFlags}},
    {key_kind::kPageUp, {MacKeyClass::Plain, 116, kFunctionFlags}},
    {key_kind::kPageDown, {MacKeyClass::Plain, 121, kFunctionFlags}},
    // Device-independent mask | left-hand device bit.
    {key_kind::kCtrl, {MacKeyClass::Modifier, 59, 0x40000 | 0x1}},
    {key_kind::kShift, {MacKeyClass::Modifier, 56, 0x20000 | 0x2}},
    {key_kind::kAlt, {MacKeyClass::Modifier, 58, 0x80000 | 0x20}},
    {key_kind::kMeta, {MacKeyClass::Modifier, 55, 0x100000 | 0x8}},
    // NX_KEYTYPE_* numbers of the system-defined media key events.
    {key_kind::kPlayPause, {MacKeyClass::Media, 16, 0}},
    {key_kind::kNextTrack, {MacKeyClass::Media, 19, 0}},
    {key_kind::kPreviousTrack, {MacKeyClass::Media, 20, 0}},
    {key_kind::kVolumeUp, {MacKeyClass::Media, 0, 0}},
    {key_kind::kVolumeDown, {MacKeyClass::Media, 1, 0}},
    {key_kind::kMute, {MacKeyClass::Media, 7, 0}},
}};

// kVK_RightCommand, kVK_RightShift, kVK_RightOption, kVK_RightControl.
constexpr std::array<std::pair<std::uint16_t, std::uint8_t>, 4> kRightModifiers = {{
    {54, key_kind::kMeta},
    {60, key_kind::kShift},
    {61, key_kind::kAlt},
    {62, key_kind::kCtrl},
}};

}  // namespace

std::optional<MacKey> mac_key(KeyId key) {
    switch (key.kind) {
        case key_kind::kLetter:
            if (key.param < 'a' || key.param > 'z') return std::nullopt;
            return MacKey{MacKeyClass::Plain, kLetterCodes[key.param - 'a'], 0};
        case key_kind::kDigit:
            if (key.param >= kDigitCodes.size()) return std::nullopt;
            return MacKey{MacKeyClass::Plain, kDigitCodes[key.param], 0};
        case key_kind::kF:
            if (key.param < 1 || key.param > kFunctionCodes.size()) return std::nullopt;
            return MacKey{MacKeyClass::Plain, kFunctionCodes[key.param - 1u], kFunctionFlags};
        default:
            for (const FixedKey& fixed : kFixedKeys)
                if (fixed.kind == key.kind) return fixed.key;
            return std::nullopt;
    }
}

std::optional<KeyId> key_for_mac_key_code(std::uint16_t code) {
    for (std::size_t i = 0; i < kLetterCodes.size(); ++i)
        if (kLetterCodes[i] == code)
            return KeyId{key_kind::kLetter, static_cast<std::uint8_t>('a' + i)};
    for (std::size_t i = 0; i < kDigitCodes.size(); ++i)
        if (kDigitCodes[i] == code) return KeyId{key_kind::kDigit, static_cast<std::uint8_t>(i)};
    for (std::size_t i = 0; i < kFunctionCodes.size(); ++i)
        if (kFunctionCodes[i] == code) return KeyId{key_kind::kF, static_cast<std::uint8_t>(i + 1)};
    for (const FixedKey& fixed : kFixedKeys)
        if (fixed.key.key_class != MacKeyClass::Media && fixed.key.code == code)
            return KeyId{fixed.kind, 0};
    for (const auto& [right_code, kind] : kRightModifiers)
        if (right_code == code) return KeyId{kind, 0};
    return std::nullopt;
}

std::vector<std::uint8_t> modifier_kinds_in_flags(std::uint64_t flags) {
    constexpr std::array<std::pair<std::uint64_t, std::uint8_t>, 4> masks = {{
        {0x40000, key_kind::kCtrl},
        {0x20000, key_kind::kShift},
        {0x80000, key_kind::kAlt},
        {0x100000, key_kind::kMeta},
    }};
    std::vector<std::uint8_t> kinds;
    for (const auto& [mask, kind] : masks)
        if ((flags & mask) != 0) kinds.push_back(kind);
    return kinds;
}

}  // namespace thumbrover
