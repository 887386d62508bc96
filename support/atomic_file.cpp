#include "support/atomic_file.h"

#include <algorithm>
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

// With Links::Follow, a link is followed so that the file it points to gets
// the new content instead of the link being replaced by a plain file. A
// dangling link is replaced.
std::filesystem::path resolvedTarget(const std::filesystem::path& target, Links links) {
    std::error_code error;
    if (links == Links::Replace || !std::filesystem::is_symlink(target, error))
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

// Creates "<folder>/<prefix>XXXXXX<suffix>" with a unique name and gives its
// open descriptor; the name goes to `path`. Short on purpose: the name a file
// is made for may already be as long as the file system allows.
int openTemporary(const std::filesystem::path& folder, std::string_view prefix, std::string_view suffix,
                  const std::filesystem::path& forTarget, std::string& path) {
    path = folder.empty() ? std::string(".") : folder.string();
    path += '/';
    path += prefix;
    path += "XXXXXX";
    path += suffix;
    int fd = ::mkostemps(path.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
    if (fd < 0)
        throwWriteError(forTarget, errno);
    return fd;
}

}  // namespace

std::filesystem::path createTemporaryFile(const std::filesystem::path& folder, std::string_view prefix,
                                          std::string_view suffix, const std::filesystem::path& forTarget) {
    std::string path;
    ::close(openTemporary(folder, prefix, suffix, forTarget, path));
    return path;
}

void writeFileAtomically(const std::filesystem::path& target, std::string_view bytes, Links links) {
    const std::filesystem::path real = resolvedTarget(target, links);
    if (real.filename().empty())
        throwWriteError(target, real.empty() ? ENOENT : EISDIR);
    const std::filesystem::path folder = real.parent_path();
    std::string path;
    const int fd = openTemporary(folder, ".corvelin-", ".tmp", target, path);
    TempFile temp(fd, path);

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

RegularFile::RegularFile(const std::filesystem::path& file) : m_path(file) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer.
    m_fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0)
        throwOpenError(file, errno);
    struct stat info {};
    int error = 0;
    if (::fstat(m_fd, &info) != 0)
        error = errno;
    else if (S_ISDIR(info.st_mode))
        error = EISDIR;
    if (error != 0 || !S_ISREG(info.st_mode)) {
        ::close(m_fd);
        if (error != 0)
            throwOpenError(file, error);
        throw OpenError("Cannot open file \"" + file.string() + "\". Not a regular file");
    }
    m_size = static_cast<std::uint64_t>(info.st_size);
}

RegularFile::~RegularFile() { ::close(m_fd); }

std::size_t RegularFile::readAt(std::uint64_t offset, void* out, std::size_t count) const {
    if (offset >= m_size)
        return 0;
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_size - offset));
    std::size_t done = 0;
    while (done < count) {
        ssize_t got = ::pread(m_fd, static_cast<char*>(out) + done, count - done,
                              static_cast<off_t>(offset + done));
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throwOpenError(m_path, errno);
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::optional<std::string> readFileBytesIfExists(const std::filesystem::path& file) {
    if (::access(file.c_str(), F_OK) != 0 && errno == ENOENT)
        return std::nullopt;
    const RegularFile in(file);
    std::string bytes(static_cast<std::size_t>(in.size()), '\0');
    bytes.resize(in.readAt(0, bytes.data(), bytes.size()));
    return bytes;
}

std::string readFileBytes(const std::filesystem::path& file) {
    std::optional<std::string> bytes = readFileBytesIfExists(file);
    if (!bytes)
        throwOpenError(file, ENOENT);
    return std::move(*bytes);
}

}  // namespace support
