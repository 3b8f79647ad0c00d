#pragma once

// The Wayland probe (tests/vm/probe) run as a child process, its report lines gathered on a
// thread of their own so that a test can wait for what a native window received.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace thumbrover::testing {

class ProbeClient {
  public:
    // `app_id`: shown as a window among others with this app_id, rather than full screen.
    explicit ProbeClient(std::optional<std::string> app_id = std::nullopt) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::string option = app_id ? "--app-id=" + *app_id : std::string();
        char* argv[] = {const_cast<char*>(THUMBROVER_WAYLAND_PROBE),
                        app_id ? option.data() : nullptr, nullptr};
        if (::posix_spawn(&pid_, THUMBROVER_WAYLAND_PROBE, &actions, nullptr, argv, environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        reader_ = std::thread([this, fd = out[0]] { gather(fd); });
    }
    ProbeClient(const ProbeClient&) = delete;
    ProbeClient& operator=(const ProbeClient&) = delete;
    ~ProbeClient() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (reader_.joinable()) reader_.join();
    }

    // The first line from `from` on that `match` accepts, waiting up to `wait` for it.
    std::optional<std::string> wait_for(const std::function<bool(const std::string&)>& match,
                                        std::size_t from = 0,
                                        std::chrono::milliseconds wait = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex_);
        std::optional<std::string> found;
        changed_.wait_for(lock, wait, [&] {
            for (std::size_t i = from; i < lines_.size(); ++i)
                if (match(lines_[i])) {
                    found = lines_[i];
                    return true;
                }
            return ended_;
        });
        return found;
    }
    std::optional<std::string> wait_for_line(const std::string& line, std::size_t from = 0) {
        return wait_for([&](const std::string& l) { return l == line; }, from);
    }
    std::optional<std::string> wait_for_prefix(const std::string& prefix, std::size_t from = 0) {
        return wait_for([&](const std::string& l) { return l.rfind(prefix, 0) == 0; }, from);
    }

    // A mark to wait from: lines before it are not looked at again.
    [[nodiscard]] std::size_t mark() {
        std::lock_guard lock(mutex_);
        return lines_.size();
    }
    [[nodiscard]] std::vector<std::string> lines_since(std::size_t from) {
        std::lock_guard lock(mutex_);
        return {lines_.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines_.size())),
                lines_.end()};
    }

    // The last pointer position reported (enter or motion), if any.
    [[nodiscard]] std::optional<std::pair<double, double>> position() {
        std::lock_guard lock(mutex_);
        double x = 0;
        double y = 0;
        for (auto it = lines_.rbegin(); it != lines_.rend(); ++it)
            if (std::sscanf(it->c_str(), "motion %lf %lf", &x, &y) == 2 ||
                std::sscanf(it->c_str(), "enter %lf %lf", &x, &y) == 2)
                return std::pair{x, y};
        return std::nullopt;
    }

  private:
    void gather(int fd) {
        FILE* in = ::fdopen(fd, "r");
        char* line = nullptr;
        std::size_t capacity = 0;
        ssize_t n = 0;
        while (in != nullptr && (n = ::getline(&line, &capacity, in)) > 0) {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line, static_cast<std::size_t>(n) - (line[n - 1] == '\n' ? 1 : 0));
            changed_.notify_all();
        }
        std::free(line);
        if (in != nullptr) std::fclose(in);
        std::lock_guard lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }

    pid_t pid_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    bool ended_ = false;
};

}  // namespace thumbrover::testing
