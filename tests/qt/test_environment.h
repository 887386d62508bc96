#pragma once
// What every desktop-program test process does before its application object
// exists: Qt's offscreen platform unless another is asked for, and HOME and
// the configuration folder moved into `home`, so that no test reads or
// writes the user's settings and font table.

#include <QByteArray>
#include <QTemporaryDir>
#include <QtGlobal>

namespace qt_test {

inline bool isolate(const QTemporaryDir& home) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!home.isValid())
        return false;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QLatin1String("/.config")).toUtf8());
    return true;
}

}  // namespace qt_test
