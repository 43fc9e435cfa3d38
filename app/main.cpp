// main.cpp -- program start: the application, its four windows, the message loop.
#include <QApplication>
#include <cstdio>
#include <string_view>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/screenshots.h"
#include "ui/message_boxes.h"

#ifndef QUORVANE_VERSION
#error "QUORVANE_VERSION must be defined by the build"
#endif

namespace {

constexpr const char* kUsage =
    "usage: quorvane [FILE...]\n"
    "       quorvane --screenshot FOLDER\n";

// --help and --version are answered before the window system starts, so that they work
// without a display. Returns the exit code, or -1 when neither was asked for.
int answer_without_window(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") break;
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs("       quorvane --help | --version\n", stdout);
            return std::fflush(stdout) == 0 ? 0 : 2;
        }
        if (argument == "--version") {
            std::printf("quorvane %s\n", QUORVANE_VERSION);
            return std::fflush(stdout) == 0 ? 0 : 2;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int code = answer_without_window(argc, argv); code >= 0) return code;
    QApplication app(argc, argv);
    // The application's title is its name. A display name would be appended to every window's
    // caption, and the captions are fixed texts of the window.
    QApplication::setApplicationName(quorvane::kApplicationTitle);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.dozazez.quorvane"));

    const quorvane::WindowCommandLine line =
        quorvane::read_command_line(QApplication::arguments().mid(1));
    if (!line.error.isEmpty()) {
        std::fprintf(stderr, "quorvane: %s\n%s", qPrintable(line.error), kUsage);
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
