#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/common/result.hpp"

namespace thumbrover {

// Owns one file descriptor; closes it on destruction.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    [[nodiscard]] int get() const noexcept { return fd_; }
    [[nodiscard]] bool valid() const noexcept { return fd_ >= 0; }
    int release() noexcept;
    void reset(int fd = -1) noexcept;

private:
    int fd_ = -1;
};

// Text of a system error number, as strerror gives it.
[[nodiscard]] std::string errno_text(int error_number);

// Reads a whole file. Fails with "could not read {path}: {reason}"; a file larger than max_bytes
// fails too, so that a stray huge file is never held in memory.
[[nodiscard]] Result<std::string> read_file(const std::filesystem::path& path,
                                            std::size_t max_bytes = 16 * 1024 * 1024);

// Replaces a file so that a reader (or the next start after a crash) sees either the old or the
// new contents, never a mix: the text goes to a temporary file in the same folder, is flushed to
// disk and renamed over the target. A symbolic link keeps pointing where it did (its final
// target is replaced) and an existing file keeps its permission bits. Fails with
// "could not write {path}: {reason}".
[[nodiscard]] Result<void> write_file_atomically(const std::filesystem::path& path,
                                                 std::string_view contents);

}  // namespace thumbrover
