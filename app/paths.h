#pragma once
// Path texts as the window's commands handle them: the folder part (up to and
// including the last separator), the file-name part, the ".dwg" test, and the
// rule that gives a folder its trailing separator.

#include <QString>

namespace app {

QString folderPart(const QString& path);
QString fileNamePart(const QString& path);
// Whether the extension is ".dwg", ignoring case.
bool isDrawingName(const QString& path);
// Empty stays empty; a text ending in a separator (or ":") is kept; on
// Windows a single drive letter "C" becomes "C:\"; any other text gets the
// platform's separator appended.
QString withTrailingSeparator(const QString& folder);

}  // namespace app
