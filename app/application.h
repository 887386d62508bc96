#pragma once
// The application object: an error that no handler of the program catches
// ends the running event handler, is shown to the user in a message box, and
// the program goes on.

#include <QApplication>

namespace app {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace app
