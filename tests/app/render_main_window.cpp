// Renders the main window offscreen, with a drawing selected and its preview
// shown, into a PNG file. The picture of the window in the README is made
// with it:
//   QT_QPA_PLATFORM=offscreen render_main_window docs/main_window.png <drawing.dwg>

#include <QDir>
#include <QFile>
#include <QTreeView>
#include <QFileInfo>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>

#include "app/application.h"
#include "app/mcorvelin.h"
#include "tests/qt/test_environment.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: render_main_window OUTPUT.png DRAWING.dwg\n");
        return 2;
    }
    QTemporaryDir scratch;  // keeps the user's settings and font table out of it
    if (!qt_test::isolate(scratch))
        return 1;
    int qtArgc = 1;
    app::Application application(qtArgc, argv);

    const QString output = QString::fromLocal8Bit(argv[1]);
    // The drawing is shown from a "Drawings" folder of the (scratch) home
    // folder, where the tree opens.
    const QFileInfo source(QString::fromLocal8Bit(argv[2]));
    QDir(scratch.path()).mkpath(QStringLiteral("Drawings"));
    const QString drawing = scratch.filePath(QStringLiteral("Drawings/") + source.fileName());
    if (!QFile::copy(source.absoluteFilePath(), drawing)) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 1;
    }
    app::TForm1 form(scratch.filePath(QStringLiteral("Param.ini")));
    form.show();
    if (!form.selectPath(drawing) || form.CurrentDrawing() != QDir::toNativeSeparators(drawing)) {
        std::fprintf(stderr, "cannot select %s\n", argv[2]);
        return 1;
    }
    // Let the tree load the folder's entries before the picture is taken.
    for (int i = 0; i < 50; ++i)
        app::Application::processEvents(QEventLoop::AllEvents, 20);
    form.tree->scrollTo(form.tree->currentIndex(), QAbstractItemView::PositionAtCenter);
    app::Application::processEvents();
    const QPixmap picture = form.grab();
    if (picture.isNull() || !picture.save(output, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
