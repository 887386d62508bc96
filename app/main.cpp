// Corvelin's desktop program. Command-line arguments are ignored: the program
// always opens its window and waits for the user.

#include "app/application.h"
#include "app/mcorvelin.h"

int main(int, char** argv) {
    // Qt would take options such as -style from the arguments: it gets none.
    int ignoredArgc = 1;
    app::Application application(ignoredArgc, argv);
    app::TForm1 form;
    form.show();
    return app::Application::exec();
}
