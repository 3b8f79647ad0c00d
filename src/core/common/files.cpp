#include "core/common/files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>

namespace thumbrover {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

UniqueFd::~UniqueFd() {
    reset();
}

int UniqueFd::release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset(int fd) noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

std::string errno_text(int error_number) {
    return std::error_code(error_number, std::generic_category()).message();
}

namespace {

bool all_digits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The writing process's id when `file_name` is a temporary file of ours for `name`.
std::optional<std::string_view> temporary_file_owner(std::string_view file_name,
                                                     std::string_view name) {
    const std::string prefix = "." + std::string(name) + ".tmp-";
    if (!file_name.starts_with(prefix)) return std::nullopt;
    const std::string_view rest = file_name.substr(prefix.size());
    const auto dash = rest.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const std::string_view pid = rest.substr(0, dash);
    if (!all_digits(pid) || !all_digits(rest.substr(dash + 1))) return std::nullopt;
    return pid;
}

Error read_error(const std::filesystem::path& path, const std::string& reason) {
    return Error{"could not read " + path.string() + ": " + reason};
}

Error write_error(const std::filesystem::path& path, const std::string& reason) {
    return Error{"could not write " + path.string() + ": " + reason};
}

bool write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Follows a chain of symbolic links to the file that really holds the data, so that replacing it
// leaves the links in place. A dangling link resolves to the path it names.
std::filesystem::path real_target(const std::filesystem::path& path) {
    std::filesystem::path current = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(current, ec)) return current;
        std::filesystem::path next = std::filesystem::read_symlink(current, ec);
        if (ec) return current;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return current;
}

}  // namespace

Result<std::string> read_file(const std::filesystem::path& path, std::size_t max_bytes,
                              FileKinds kinds) {
    // Opening a FIFO waits for a writer unless it is opened without blocking; for a regular file
    // the flag changes nothing.
    const int flags = O_RDONLY | O_CLOEXEC | (kinds == FileKinds::RegularOnly ? O_NONBLOCK : 0);
    UniqueFd fd(::open(path.c_str(), flags));
    // A socket, or a device with nothing behind it, cannot be opened at all.
    if (!fd.valid() && errno == ENXIO) return read_error(path, std::string(kNotRegularFile));
    if (!fd.valid()) return read_error(path, errno_text(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return read_error(path, errno_text(errno));
    if (S_ISDIR(st.st_mode)) return read_error(path, errno_text(EISDIR));
    if (kinds == FileKinds::RegularOnly && !S_ISREG(st.st_mode))
        return read_error(path, std::string(kNotRegularFile));
    std::string text;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return read_error(path, errno_text(errno));
        }
        if (n == 0) break;
        if (text.size() + static_cast<size_t>(n) > max_bytes)
            return read_error(path,
                              "the file is larger than " + std::to_string(max_bytes) + " bytes");
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

bool is_not_regular_file_error(std::string_view error) {
    return error.starts_with("could not read ") && error.ends_with(kNotRegularFile);
}

std::string write_failure_reason(std::string_view error, const std::filesystem::path& path) {
    const std::string prefix = "could not write " + path.string() + ": ";
    if (error.starts_with(prefix)) error.remove_prefix(prefix.size());
    return std::string(error);
}

std::size_t remove_stale_temporary_files(const std::filesystem::path& dir,
                                         std::initializer_list<std::string_view> names) {
    const std::string own_pid = std::to_string(::getpid());
    std::size_t removed = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string file_name = entry.path().filename().string();
        for (const std::string_view name : names) {
            const auto owner = temporary_file_owner(file_name, name);
            if (!owner || *owner == own_pid) continue;
            std::error_code kind_error;
            if (!entry.is_regular_file(kind_error) || entry.is_symlink(kind_error)) continue;
            if (std::filesystem::remove(entry.path(), kind_error)) ++removed;
        }
    }
    return removed;
}

Result<void> write_file_atomically(const std::filesystem::path& path, std::string_view contents) {
    const std::filesystem::path target = real_target(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");

    // An existing file keeps its permission bits; a new one gets 0666 less the umask, as any
    // freshly created file would.
    bool keep_mode = false;
    mode_t mode = 0;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return write_error(path, errno_text(EISDIR));
        keep_mode = true;
        mode = st.st_mode & 07777;
    }

    static std::atomic<unsigned> counter{0};
    std::string temp_name;
    UniqueFd fd;
    for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
        temp_name =
            (folder / ("." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) +
                       "-" + std::to_string(counter.fetch_add(1))))
                .string();
        fd.reset(::open(temp_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.valid() && errno != EEXIST) return write_error(path, errno_text(errno));
    }
    if (!fd.valid()) return write_error(path, errno_text(EEXIST));

    auto fail = [&](int error_number) {
        ::unlink(temp_name.c_str());
        return write_error(path, errno_text(error_number));
    };
    if (keep_mode && ::fchmod(fd.get(), mode) != 0) return fail(errno);
    if (!write_all(fd.get(), contents)) return fail(errno);
    if (::fsync(fd.get()) != 0) return fail(errno);
    if (::close(fd.release()) != 0) return fail(errno);
    if (::rename(temp_name.c_str(), target.c_str()) != 0) return fail(errno);

    // The rename is durable only once the folder itself is flushed.
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) ::fsync(dir.get());
    return {};
}

}  // namespace thumbrover
