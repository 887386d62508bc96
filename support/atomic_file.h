#pragma once
// Whole-file reading and writing. A file is written to a temporary file in its
// own folder and renamed into place, so a failure never leaves a half-written
// file behind and never destroys the old one.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace support {

// "Unable to write to <file>: <system reason>"
class WriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Cannot open file "<file>". <system reason>
class OpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What writing over a symbolic link does.
enum class Links {
    Follow,   // the file the link points to gets the new content (settings files)
    Replace,  // the link itself is replaced by the new file (drawings: never write through)
};

// Replaces `target` by `bytes`. An existing target keeps its permission bits;
// a new file gets 0644 less the umask. The temporary file has a short name of
// its own in the target's folder, so that any legal target name works. Throws
// WriteError and leaves the old target untouched on any failure.
void writeFileAtomically(const std::filesystem::path& target, std::string_view bytes, Links links = Links::Follow);

// A new, empty file of a short unique name in `folder` ("<prefix>XXXXXX<suffix>"),
// for a caller that fills it by name and renames it into place. Throws WriteError
// naming `forTarget`.
std::filesystem::path createTemporaryFile(const std::filesystem::path& folder, std::string_view prefix,
                                          std::string_view suffix, const std::filesystem::path& forTarget);

// A regular file opened for reading. Anything else (a folder, a FIFO, a
// device, a socket) is refused before a byte is read, so that reading never
// waits for a writer or runs on without end. Throws OpenError.
class RegularFile {
public:
    explicit RegularFile(const std::filesystem::path& file);
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    // The size when opened; reads never go past it.
    std::uint64_t size() const { return m_size; }
    // Reads up to `count` bytes at `offset` (fewer at the end); returns how many.
    std::size_t readAt(std::uint64_t offset, void* out, std::size_t count) const;

private:
    std::filesystem::path m_path;
    int m_fd = -1;
    std::uint64_t m_size = 0;
};

// The whole content of a regular file, byte for byte. Throws OpenError.
std::string readFileBytes(const std::filesystem::path& file);
// The same, but nothing when the file does not exist.
std::optional<std::string> readFileBytesIfExists(const std::filesystem::path& file);

}  // namespace support
