#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "linux/desktop_names.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

namespace fs = std::filesystem;

TEST(DesktopNames, AnAppIdIsNamedByItsDesktopFileOrByTheClassOneStates) {
    testing::TempDir dir;
    const fs::path home = dir / "home";
    const fs::path system = dir / "system";
    fs::create_directories(home);
    fs::create_directories(system);
    const auto file = [](const fs::path& folder, const std::string& name, const std::string& body) {
        testing::put(folder / (name + ".desktop"), body);
    };
    file(system, "org.videolan.VLC", "[Desktop Entry]\nName=VLC media player\nName[de]=VLC\n");
    file(home, "org.videolan.VLC", "[Desktop Entry]\nName = My VLC\r\n");  // the user's own first
    file(system, "Gimp", "[Desktop Entry]\nName=GNU Image Manipulation Program\n");
    file(system, "code", "[Desktop Entry]\nName=Visual Studio Code\nStartupWMClass=Code\n");
    file(system, "actions",
         "[Desktop Action new]\nName=New Window\n[Desktop Entry]\nName=Actions\n");
    file(system, "nameless", "[Desktop Entry]\nExec=true\n");
    file(system, "evil", std::string("[Desktop Entry]\nName=two\x1b[2Jlines\n"));
    file(system, "Named\xff", "[Desktop Entry]\nName=Caf\xe9\n");
    const std::vector<fs::path> folders = {home, system, dir / "missing"};

    const struct {
        std::string app_id;
        std::optional<std::string> name;
    } cases[] = {
        {"org.videolan.VLC", "My VLC"},
        {"gimp", "GNU Image Manipulation Program"},  // letters in any case
        {"Code", "Visual Studio Code"},              // an X class, through StartupWMClass
        {"actions", "Actions"},                      // only the [Desktop Entry] group counts
        {"nameless", std::nullopt},
        {"evil", std::nullopt},  // a name no list may show
        {"Named\xff", "Caf\xef\xbf\xbd"},
        {"unknown", std::nullopt},
        {"", std::nullopt},
        {"../system/code", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(desktop_name(c.app_id, folders), c.name) << c.app_id;

    // Each application once, named where a file names it, in the order of the names.
    EXPECT_EQ(
        named_apps({"org.videolan.VLC", "zeta", "", "ORG.videolan.vlc", "code"}, folders),
        (std::vector<RunningApp>{
            {"org.videolan.VLC", "My VLC"}, {"code", "Visual Studio Code"}, {"zeta", "zeta"}}));
}

}  // namespace
}  // namespace thumbrover
