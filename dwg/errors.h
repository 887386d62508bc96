#pragma once
// The two exceptions of the DWG engine. A reader states the bare reason where
// it finds the fault ("BS: expected 16 bits, found 3 at bit 45"); each layer
// above adds what it knows on the way out (file name, section, object handle)
// with withContext, so the final message reads from the outside in:
// "plan.dwg: AcDb:Header: BS: expected 16 bits, found 3 at bit 45".

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace dwg {

// Both keep the bare reason behind a shared pointer so that copying an
// exception never allocates (exceptions must be nothrow-copyable).
namespace detail {
inline std::string prefixed(std::string_view prefix, std::string_view message) {
    std::string text;
    text.reserve(prefix.size() + 2 + message.size());
    text.append(prefix).append(": ").append(message);
    return text;
}
}  // namespace detail

// The drawing's bytes do not follow the format.
class FormatError : public std::runtime_error {
public:
    explicit FormatError(const std::string& reason)
        : std::runtime_error(reason), m_reason(std::make_shared<const std::string>(reason)) {}

    // The reason as first reported, without any context prefixes.
    const std::string& reason() const noexcept { return *m_reason; }

    // A copy whose message is "prefix: <this message>".
    FormatError withContext(std::string_view prefix) const {
        return FormatError(detail::prefixed(prefix, what()), m_reason);
    }

private:
    FormatError(const std::string& message, std::shared_ptr<const std::string> reason)
        : std::runtime_error(message), m_reason(std::move(reason)) {}

    std::shared_ptr<const std::string> m_reason;
};

// A well-formed file of a release this engine does not read or write.
class UnsupportedRelease : public std::runtime_error {
public:
    explicit UnsupportedRelease(const std::string& reason)
        : std::runtime_error(reason), m_reason(std::make_shared<const std::string>(reason)) {}

    const std::string& reason() const noexcept { return *m_reason; }

    UnsupportedRelease withContext(std::string_view prefix) const {
        return UnsupportedRelease(detail::prefixed(prefix, what()), m_reason);
    }

private:
    UnsupportedRelease(const std::string& message, std::shared_ptr<const std::string> reason)
        : std::runtime_error(message), m_reason(std::move(reason)) {}

    std::shared_ptr<const std::string> m_reason;
};

}  // namespace dwg
