#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace thumbrover {
namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The top-level dictionary as key -> value text: a string's contents, or "true" / "false".
std::map<std::string, std::string> entries(const std::string& plist) {
    std::map<std::string, std::string> out;
    static const std::regex entry(
        R"(<key>([^<]*)</key>\s*(?:<string>([^<]*)</string>|<(true|false)/>))");
    for (auto it = std::sregex_iterator(plist.begin(), plist.end(), entry);
         it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        out[m[1]] = m[2].matched ? m[2].str() : m[3].str();
    }
    return out;
}

// The bundle's Info.plist as the build generates it (on every platform, so it is checked here).
TEST(InfoPlist, DescribesAMenuBarOnlyBundleOfThisVersion) {
    const std::string plist = slurp(std::filesystem::path(THUMBROVER_BINARY_DIR) / "Info.plist");
    ASSERT_FALSE(plist.empty());
    EXPECT_EQ(plist.find('@'), std::string::npos) << "a placeholder was left unreplaced";

    const auto values = entries(plist);
    // Every key has a value this reader understands, so nothing was mistyped as another kind.
    std::size_t keys = 0;
    for (std::size_t at = plist.find("<key>"); at != std::string::npos;
         at = plist.find("<key>", at + 1))
        ++keys;
    EXPECT_EQ(values.size(), keys);

    const struct {
        const char* key;
        std::string value;
    } expected[] = {
        {"CFBundleIdentifier", "app.thumbrover.Thumbrover"},
        {"CFBundleName", "Thumbrover"},
        {"CFBundleExecutable", "Thumbrover"},
        {"CFBundlePackageType", "APPL"},
        {"CFBundleShortVersionString", THUMBROVER_VERSION},
        {"CFBundleVersion", THUMBROVER_VERSION},
        {"LSMinimumSystemVersion", "13.3"},
        // No Dock icon and no menu of its own: the program lives in the menu bar.
        {"LSUIElement", "true"},
        {"CFBundleIconFile", "thumbrover.icns"},
        {"NSPrincipalClass", "NSApplication"},
    };
    for (const auto& e : expected) {
        const auto it = values.find(e.key);
        ASSERT_NE(it, values.end()) << e.key;
        EXPECT_EQ(it->second, e.value) << e.key;
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(THUMBROVER_SOURCE_DIR) /
                                                 "packaging/macos" /
                                                 values.at("CFBundleIconFile")));
}

}  // namespace
}  // namespace thumbrover
