#pragma once

#include <string>
#include <vector>

#include "core/app/application.hpp"

namespace thumbrover::fakes {

// Keeps the windows asked for ("settings", "buttons", "setup") and counts the start-up checks.
class RecordingWindows final : public ShellWindows {
  public:
    std::vector<std::string> opened;
    int startup_checks = 0;

    void open_settings() override { opened.emplace_back("settings"); }
    void open_buttons() override { opened.emplace_back("buttons"); }
    void open_setup() override { opened.emplace_back("setup"); }
    void run_startup_check() override { ++startup_checks; }
};

}  // namespace thumbrover::fakes
