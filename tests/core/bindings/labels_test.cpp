#include "core/bindings/labels.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace thumbrover {
namespace {

// Every label a Linux window can show for an action or a key: no macOS symbol (arrows and the
// key symbols of U+2190..U+23FF, which macOS menus use) and none of macOS's words.
TEST(Labels, LinuxShowsNoMacOsSymbolOrWord) {
    std::vector<std::string> labels;
    for (std::size_t kind = 0; kind < kFixedActionCount; ++kind)
        labels.push_back(action_label(Action(static_cast<ActionKind>(kind)), linux_labels()));
    for (std::size_t kind = 0; kind < kKeyKindCount; ++kind) {
        for (unsigned param = 0; param < 256; ++param) {
            const auto key =
                key_from_bytes(static_cast<std::uint8_t>(kind), static_cast<std::uint8_t>(param));
            if (key) labels.push_back(key_label(*key, linux_labels()));
        }
    }
    ASSERT_GT(labels.size(), 100u);
    const char* const mac_words[] = {"Spotlight", "Mission Control", "Command", "Option",
                                     "Return",    "(Linux)",         "cmd"};
    for (const std::string& label : labels) {
        SCOPED_TRACE(label);
        EXPECT_FALSE(label.empty());
        for (const char* word : mac_words)
            EXPECT_EQ(label.find(word), std::string::npos);
        // U+2190..U+23FF are encoded as E2 86 90 .. E2 8F BF.
        for (std::size_t i = 0; i + 1 < label.size(); ++i) {
            const auto lead = static_cast<unsigned char>(label[i]);
            const auto next = static_cast<unsigned char>(label[i + 1]);
            EXPECT_FALSE(lead == 0xE2 && next >= 0x86 && next <= 0x8F);
        }
    }
}

}  // namespace
}  // namespace thumbrover
