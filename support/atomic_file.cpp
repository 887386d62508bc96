#include "support/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace support {

namespace {

std::string systemReason(int error) { return std::strerror(error); }

[[noreturn]] void throwWriteError(const std::filesystem::path& target, int error) {
    throw WriteError("Unable to write to " + target.string() + ": " + systemReason(error));
}

[[noreturn]] void throwOpenError(const std::filesystem::path& file, int error) {
    throw OpenError("Cannot open file \"" + file.string() + "\". " + systemReason(error));
}

// The process's umask without changing it: umask() can only be read by
// setting it, which would briefly affect files other threads create.
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("Umask:"))
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// Closes the descriptor and removes the temporary file unless released.
class TempFile {
public:
    TempFile(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_path.empty())
            ::unlink(m_path.c_str());
    }
    int fd() const { return m_fd; }
    const std::string& path() const { return m_path; }
    // Closes the descriptor; returns the errno of a failing close, else 0.
    int close() {
        int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }
    void keep() { m_path.clear(); }

private:
    int m_fd;
    std::string m_path;
};

int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// A link is followed so that the file it points to gets the new content
// instead of the link being replaced by a plain file. A dangling link is
// replaced.
std::filesystem::path resolvedTarget(const std::filesystem::path& target) {
    std::error_code error;
    if (!std::filesystem::is_symlink(target, error))
        return target;
    std::filesystem::path real = std::filesystem::canonical(target, error);
    return error ? target : real;
}

// Makes the rename itself durable; the file is already in place, so a failure
// here is not reported.
void syncFolder(const std::filesystem::path& folder) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

void writeFileAtomically(const std::filesystem::path& target, std::string_view bytes) {
    const std::filesystem::path real = resolvedTarget(target);
    if (real.filename().empty())
        throwWriteError(target, real.empty() ? ENOENT : EISDIR);
    const std::filesystem::path folder = real.parent_path();
    // Built by appending: GCC 12 at -O3 warns falsely about "." + name + "...".
    std::string name = ".";
    name += real.filename().string();
    name += ".tmp-XXXXXX";
    std::string pattern = (folder / name).string();

    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        throwWriteError(target, errno);
    TempFile temp(fd, pattern);

    // mkstemp creates the file with 0600; give it the mode the target has or
    // a newly created file would have.
    struct stat existing {};
    mode_t mode = ::stat(real.c_str(), &existing) == 0 ? existing.st_mode & 07777
                                                       : 0644 & ~currentUmask();
    if (::fchmod(temp.fd(), mode) != 0)
        throwWriteError(target, errno);
    if (int error = writeAll(temp.fd(), bytes))
        throwWriteError(target, error);
    if (::fsync(temp.fd()) != 0)
        throwWriteError(target, errno);
    if (int error = temp.close())
        throwWriteError(target, error);
    if (::rename(temp.path().c_str(), real.c_str()) != 0)
        throwWriteError(target, errno);
    temp.keep();
    syncFolder(folder);
}

std::optional<std::string> readFileBytesIfExists(const std::filesystem::path& file) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        throwOpenError(file, errno);
    }
    struct stat info {};
    std::string bytes;
    if (::fstat(fd, &info) == 0 && info.st_size > 0)
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            int error = errno;
            ::close(fd);
            throwOpenError(file, error);
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return bytes;
}

std::string readFileBytes(const std::filesystem::path& file) {
    std::optional<std::string> bytes = readFileBytesIfExists(file);
    if (!bytes)
        throwOpenError(file, ENOENT);
    return std::move(*bytes);
}

}  // namespace support
