#include "dwg/container/summary_info.h"

#include <stdexcept>
#include <string>

#include "dwg/container/r2004.h"
#include "dwg/container/r2007.h"
#include "dwg/container/sections.h"
#include "dwg/errors.h"
#include "support/little_endian.h"

namespace dwg {
namespace {

std::string num(std::uint64_t value) { return std::to_string(value); }

class SummaryReader {
public:
    SummaryReader(std::span<const std::uint8_t> data, Release release)
        : m_data(data), m_unicode(isUnicode(release)) {}

    Text text(const char* what) {
        const std::uint16_t length = support::loadLE16(take(2, what), 0);
        const std::size_t width = m_unicode ? 2 : 1;
        const std::span<const std::uint8_t> chars = take(std::size_t{length} * width, what);
        if (!m_unicode) return Text::fromTV(std::string(chars.begin(), chars.end()));
        std::u16string units(length, u'\0');
        for (std::size_t i = 0; i < length; ++i) units[i] = static_cast<char16_t>(support::loadLE16(chars, 2 * i));
        return Text::fromTU(std::move(units));
    }

    std::uint16_t rs(const char* what) { return support::loadLE16(take(2, what), 0); }
    std::uint32_t rl(const char* what) { return support::loadLE32(take(4, what), 0); }
    std::uint64_t time(const char* what) { return support::loadLE64(take(8, what), 0); }

    std::vector<std::uint8_t> rest() const { return {m_data.begin() + static_cast<std::ptrdiff_t>(m_at), m_data.end()}; }

private:
    // The next `count` bytes of the field `what`; checked before anything
    // is allocated for them.
    std::span<const std::uint8_t> take(std::size_t count, const char* what) {
        if (m_data.size() - m_at < count)
            throw FormatError(std::string(what) + ": expected " + num(count) + " bytes, found " +
                              num(m_data.size() - m_at) + " at byte " + num(m_at));
        const std::span<const std::uint8_t> bytes = m_data.subspan(m_at, count);
        m_at += count;
        return bytes;
    }

    std::span<const std::uint8_t> m_data;
    bool m_unicode;
    std::size_t m_at = 0;
};

void appendText(std::vector<std::uint8_t>& out, const Text& text, bool unicode, const char* what) {
    if (unicode ? (text.units.empty() && !text.bytes.empty()) : (text.bytes.empty() && !text.units.empty()))
        throw std::invalid_argument(std::string("AcDb:SummaryInfo: the ") + what + " is not in the " +
                                    (unicode ? "UTF-16" : "8-bit") + " form of the release");
    if (unicode) {
        const std::u16string units = text.toTU();
        if (units.size() > 0xFFFF)
            throw std::invalid_argument(std::string("AcDb:SummaryInfo: the ") + what + " has more than 65535 units");
        support::appendLE16(out, static_cast<std::uint16_t>(units.size()));
        for (const char16_t unit : units) support::appendLE16(out, static_cast<std::uint16_t>(unit));
    } else {
        const std::string bytes = text.toTV();
        if (bytes.size() > 0xFFFF)
            throw std::invalid_argument(std::string("AcDb:SummaryInfo: the ") + what + " has more than 65535 bytes");
        support::appendLE16(out, static_cast<std::uint16_t>(bytes.size()));
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
}

}  // namespace

std::array<SummaryText, 8> summaryTexts(SummaryInfo& info) {
    return {{{"title", &info.title},
             {"subject", &info.subject},
             {"author", &info.author},
             {"keywords", &info.keywords},
             {"comments", &info.comments},
             {"last saved by", &info.lastSavedBy},
             {"revision number", &info.revisionNumber},
             {"hyperlink base", &info.hyperlinkBase}}};
}

SummaryInfo decodeSummaryInfo(std::span<const std::uint8_t> data, Release release) {
    SummaryReader in(data, release);
    SummaryInfo info;
    for (const auto& [name, text] : summaryTexts(info))
        *text = in.text(name);
    info.totalEditingTime = in.time("total editing time");
    info.created = in.time("creation date");
    info.modified = in.time("modification date");
    // Each property takes at least its two lengths: a count the rest cannot
    // hold fails at the first missing one, before the vector grows far.
    const std::uint16_t count = in.rs("property count");
    for (std::uint16_t i = 0; i < count; ++i) {
        SummaryProperty property;
        property.name = in.text("property name");
        property.value = in.text("property value");
        info.properties.push_back(std::move(property));
    }
    info.unknown1 = in.rl("first RL after the properties");
    info.unknown2 = in.rl("second RL after the properties");
    info.trailing = in.rest();
    return info;
}

std::vector<std::uint8_t> encodeSummaryInfo(const SummaryInfo& info, Release release) {
    const bool unicode = isUnicode(release);
    std::vector<std::uint8_t> out;
    SummaryInfo fields = info;  // summaryTexts points into a section it may change
    for (const auto& [name, text] : summaryTexts(fields))
        appendText(out, *text, unicode, name);
    support::appendLE64(out, info.totalEditingTime);
    support::appendLE64(out, info.created);
    support::appendLE64(out, info.modified);
    if (info.properties.size() > 0xFFFF)
        throw std::invalid_argument("AcDb:SummaryInfo: more than 65535 properties");
    support::appendLE16(out, static_cast<std::uint16_t>(info.properties.size()));
    for (const SummaryProperty& property : info.properties) {
        appendText(out, property.name, unicode, "property name");
        appendText(out, property.value, unicode, "property value");
    }
    support::appendLE32(out, info.unknown1);
    support::appendLE32(out, info.unknown2);
    out.insert(out.end(), info.trailing.begin(), info.trailing.end());
    return out;
}

std::vector<std::uint8_t> summaryInfoSection(const DwgFile& file) {
    if (const auto* layout = dynamic_cast<const R2004Layout*>(file.layout.get()))
        if (const R2004Section* section = layout->find(sections::kSummaryInfoName)) return section->data;
    if (const auto* layout = dynamic_cast<const R2007Layout*>(file.layout.get()))
        if (const R2007Section* section = layout->find(sections::kSummaryInfoName)) return section->data;
    return {};
}

}  // namespace dwg
