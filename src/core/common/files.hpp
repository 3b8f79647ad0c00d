#pragma once

#include <cstddef>
#include <filesystem>
#include <initializer_list>
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

// Which files a reader takes. The program's own files must be regular files: opening a FIFO put
// in their place would wait for a writer forever, and a device may never end.
enum class FileKinds {
    RegularOnly,  // anything else is refused without blocking
    Any,          // pipes too, for tools whose input may come from a pipe
};

// The reason text for a path that is there but is not a regular file.
inline constexpr std::string_view kNotRegularFile = "not a regular file";

// Reads a whole file. Fails with "could not read {path}: {reason}"; a file larger than max_bytes
// fails too, so that a stray huge file is never held in memory.
[[nodiscard]] Result<std::string> read_file(const std::filesystem::path& path,
                                            std::size_t max_bytes = 16 * 1024 * 1024,
                                            FileKinds kinds = FileKinds::RegularOnly);

// Whether a read_file error says the path held something other than a regular file.
[[nodiscard]] bool is_not_regular_file_error(std::string_view error);

// Replaces a file so that a reader (or the next start after a crash) sees either the old or the
// new contents, never a mix: the text goes to a temporary file in the same folder, is flushed to
// disk and renamed over the target. A symbolic link keeps pointing where it did (its final
// target is replaced) and an existing file keeps its permission bits. Fails with
// "could not write {path}: {reason}".
[[nodiscard]] Result<void> write_file_atomically(const std::filesystem::path& path,
                                                 std::string_view contents);

// The system's error text inside write_file_atomically's "could not write {path}: {reason}", for
// messages that name the path themselves or give only the reason.
[[nodiscard]] std::string write_failure_reason(std::string_view error,
                                               const std::filesystem::path& path);

// The temporary files write_file_atomically leaves behind when the process dies between creating
// and renaming one (".{name}.tmp-{pid}-{n}" beside the file), for the given file names, are
// removed from `dir`; those of this process are in use and stay. Returns how many went.
std::size_t remove_stale_temporary_files(const std::filesystem::path& dir,
                                         std::initializer_list<std::string_view> names);

}  // namespace thumbrover
