#include "app/paths.h"

#include <QDir>

#include "support/paths.h"
#include "ui/text.h"

namespace app {

// The separators are ASCII, so splitting the UTF-8 form is safe.
QString folderPart(const QString& path) {
    const std::string bytes = ui::toUtf8(path);
    return ui::fromUtf8(support::folderPart(bytes));
}

QString fileNamePart(const QString& path) {
    const std::string bytes = ui::toUtf8(path);
    return ui::fromUtf8(support::fileNamePart(bytes));
}

bool isDrawingName(const QString& path) {
    const std::string bytes = ui::toUtf8(path);
    return support::equalsIgnoringAsciiCase(support::extensionPart(bytes), ".dwg");
}

QString withTrailingSeparator(const QString& folder) {
    if (folder.isEmpty())
        return folder;
    const QChar last = folder.back();
    if (last == QLatin1Char(':') || last == QLatin1Char('\\') || last == QLatin1Char('/'))
        return folder;
#ifdef _WIN32
    if (folder.size() == 1 && folder[0].isLetter() && folder[0].unicode() < 0x80)
        return folder + QLatin1String(":\\");
#endif
    return folder + QDir::separator();
}

}  // namespace app
