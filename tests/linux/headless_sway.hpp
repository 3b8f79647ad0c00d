#pragma once

// A sway of a test's own, headless and without input devices: a real wlroots compositor for the
// Wayland followers, whose windows (the probe's) a test focuses with swaymsg. sway refuses to run
// as root, so under root it runs as nobody in a folder of its own that root can still reach.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "test_support.hpp"

extern char** environ;

namespace thumbrover::testing {

class HeadlessSway {
  public:
    HeadlessSway() {
        const bool root = ::geteuid() == 0;
        std::string pattern =
            root ? std::string("/tmp/thumbrover-sway.XXXXXX")
                 : (std::filesystem::temp_directory_path() / "thumbrover-sway.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) return;
        dir_ = pattern;
        put(dir_ / "config", "xwayland disable\nfocus_follows_mouse no\ndefault_border none\n");
        std::vector<std::string> args;
        if (root) {
            if (::chown(dir_.c_str(), 65534, 65534) != 0) return;
            args = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
        }
        const std::string d = dir_.string();
        for (const std::string& a :
             {std::string("env"), "HOME=" + d, "XDG_RUNTIME_DIR=" + d,
              std::string("WLR_BACKENDS=headless"), std::string("WLR_RENDERER=pixman"),
              std::string("WLR_LIBINPUT_NO_DEVICES=1"), std::string("WAYLAND_DISPLAY="),
              std::string("sway"), std::string("-c"), d + "/config"})
            args.push_back(a);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string log = d + "/sway.log";
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (::posix_spawnp(&pid_, args.front().c_str(), &actions, nullptr, argv.data(), environ) !=
            0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
            for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
                const std::string name = entry.path().filename().string();
                if (name.rfind("wayland-", 0) == 0 && entry.is_socket()) display_ = entry.path();
                if (name.rfind("sway-ipc.", 0) == 0 && entry.is_socket()) ipc_ = entry.path();
            }
            if (!display_.empty() && !ipc_.empty()) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~HeadlessSway() {
        stop();
        std::error_code error;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, error);
    }
    HeadlessSway(const HeadlessSway&) = delete;
    HeadlessSway& operator=(const HeadlessSway&) = delete;

    [[nodiscard]] bool running() const { return pid_ > 0 && !display_.empty() && !ipc_.empty(); }
    // The display's socket, as WAYLAND_DISPLAY takes it.
    [[nodiscard]] std::string display() const { return display_.string(); }
    [[nodiscard]] std::string log() const { return slurp(dir_ / "sway.log"); }

    // Runs swaymsg with `command`; true when sway carried it out.
    bool command(const std::string& text) const {
        const std::string line = "swaymsg -q -s '" + ipc_.string() + "' '" + text + "'";
        return std::system(line.c_str()) == 0;
    }

    // Ends sway, as the end of a session does.
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    std::filesystem::path dir_;
    std::filesystem::path display_;
    std::filesystem::path ipc_;
    pid_t pid_ = -1;
};

}  // namespace thumbrover::testing
