#include "core/common/files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace thumbrover {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

UniqueFd::~UniqueFd() { reset(); }

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

Result<std::string> read_file(const std::filesystem::path& path, std::size_t max_bytes) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return read_error(path, errno_text(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return read_error(path, errno_text(errno));
    if (S_ISDIR(st.st_mode)) return read_error(path, errno_text(EISDIR));
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
            return read_error(path, "the file is larger than " + std::to_string(max_bytes) +
                                        " bytes");
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
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
        temp_name = (folder / ("." + target.filename().string() + ".tmp-" +
                               std::to_string(::getpid()) + "-" +
                               std::to_string(counter.fetch_add(1))))
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
