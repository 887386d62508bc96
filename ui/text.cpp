#include "ui/text.h"

#include "support/code_pages.h"

namespace ui {

QString fromWindowsHebrew(std::string_view bytes) {
    const std::u16string text = support::CodePage::windows1255().decode(bytes);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toWindowsHebrew(const QString& text) {
    return support::CodePage::windows1255().encode(text.toStdU16String());
}

bool fitsWindowsHebrew(const QString& text) {
    return support::CodePage::windows1255().canEncode(text.toStdU16String());
}

}  // namespace ui
