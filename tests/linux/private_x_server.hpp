#pragma once

// An X server of a test's own (Xvfb), for tests that must stop the server under the program, as
// the end of a session does, without taking the shared virtual display away from other tests.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace thumbrover::testing {

class PrivateXServer {
  public:
    PrivateXServer() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("no pipe for Xvfb");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // The write end goes to Xvfb as descriptor 3, where it writes its display number.
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> args = {
            "Xvfb",           "-displayfd", "3",        "-screen",    "0",     "800x600x24",
            "-nolisten",      "tcp",        "-noreset", "+extension", "XTEST", "+extension",
            "XInputExtension"};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int spawned = ::posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (spawned != 0) {
            ::close(fds[0]);
            throw std::runtime_error("cannot start Xvfb");
        }
        std::string number;
        pollfd ready{fds[0], POLLIN, 0};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (number.find('\n') == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            if (::poll(&ready, 1, 100) <= 0) continue;
            char buffer[16];
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n <= 0) break;
            number.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fds[0]);
        if (number.find('\n') == std::string::npos) {
            stop();
            throw std::runtime_error("Xvfb did not say its display");
        }
        name_ = ":" + number.substr(0, number.find('\n'));
    }
    ~PrivateXServer() { stop(); }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    // The DISPLAY value that reaches it.
    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] pid_t pid() const { return pid_; }

    // Stops the server, as the end of a session does, and waits until it is gone.
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
    std::string name_;
};

}  // namespace thumbrover::testing
