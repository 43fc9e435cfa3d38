// main.cpp -- program start: the application, its four windows, the message loop.
#include <QApplication>
#include <cstdio>

#include "app/main_window.h"
#include "app/screenshots.h"
#include "ui/message_boxes.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The application's title is its name. A display name would be appended to every window's
    // caption, which must stay exactly as described.
    QApplication::setApplicationName(quorvane::kApplicationTitle);

    // The main window creates the settings dialog, the about box and the chip dialog.
    quorvane::TZivIduv window;

    // --screenshot FOLDER: pictures of the windows for the documentation, then exit.
    const QStringList arguments = QApplication::arguments();
    const qsizetype option = arguments.indexOf(QStringLiteral("--screenshot"));
    if (option >= 0) {
        if (option + 1 >= arguments.size()) {
            std::fprintf(stderr, "usage: quorvane [--screenshot FOLDER]\n");
            return 2;
        }
        return quorvane::take_screenshots(window, arguments.at(option + 1));
    }

    window.show();
    return QApplication::exec();
}
