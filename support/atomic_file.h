#pragma once
// Whole-file reading and writing. A file is written to a temporary file in its
// own folder and renamed into place, so a failure never leaves a half-written
// file behind and never destroys the old one.

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

// Replaces `target` by `bytes`. An existing target keeps its permission bits
// (a symbolic link keeps pointing to the file, which gets the new content); a
// new file gets 0644 less the umask. Throws WriteError and leaves the old
// target untouched on any failure.
void writeFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// The whole content of a file, byte for byte. Throws OpenError.
std::string readFileBytes(const std::filesystem::path& file);
// The same, but nothing when the file does not exist.
std::optional<std::string> readFileBytesIfExists(const std::filesystem::path& file);

}  // namespace support
