// main.cpp -- program start: the application, its four windows, the message loop.
#include <QApplication>
#include <cstdio>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/screenshots.h"
#include "ui/message_boxes.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The application's title is its name. A display name would be appended to every window's
    // caption, and the captions are fixed texts of the window.
    QApplication::setApplicationName(quorvane::kApplicationTitle);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.dozazez.quorvane"));

    const quorvane::WindowCommandLine line =
        quorvane::read_command_line(QApplication::arguments().mid(1));
    if (!line.error.isEmpty()) {
        std::fprintf(
            stderr,
            "quorvane: %s\nusage: quorvane [FILE...]\n       quorvane --screenshot FOLDER\n",
            qPrintable(line.error));
        return 2;
    }
    for (const QString& file : line.not_loaded) {
        std::fprintf(stderr, "quorvane: one file at a time; not loaded: %s\n", qPrintable(file));
    }

    // The main window creates the settings dialog, the about box and the chip dialog.
    quorvane::TZivIduv window;

    // --screenshot FOLDER: pictures of the windows for the documentation, then exit.
    if (!line.screenshot_folder.isEmpty()) {
        return quorvane::take_screenshots(window, line.screenshot_folder);
    }

    quorvane::show_and_load(window, line.file, line.not_loaded);
    return QApplication::exec();
}
