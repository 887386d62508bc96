#include "app/application.h"

#include <QWidget>
#include <exception>

#include "ui/prompts.h"
#include "ui/text.h"

namespace app {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    // No display name: on Linux, Qt would append it to every window title,
    // and the main window's caption is exactly "Corvelin ".
    setApplicationName(QStringLiteral("Corvelin"));
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ui::showMessage(activeWindow(), {ui::MessageKind::Error, ui::fromUtf8(e.what()), {}});
    } catch (...) {
        ui::showMessage(activeWindow(), {ui::MessageKind::Error, QStringLiteral("Unknown error"), {}});
    }
    return false;
}

}  // namespace app
