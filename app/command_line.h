// command_line.h -- the desktop program's command line: a file to load once the window is up,
// or pictures of the windows for the documentation.
#pragma once

#include <QString>
#include <QStringList>

namespace quorvane {

class TZivIduv;

// What the arguments after the program's name ask for ("quorvane [FILE...]" or
// "quorvane --screenshot FOLDER"; Qt's own options are already taken out).
struct WindowCommandLine {
    QString file;               // the file to load; the window takes one input
    QStringList not_loaded;     // further files named
    QString screenshot_folder;  // --screenshot FOLDER
    QString error;              // a usage error, for the standard error
};

WindowCommandLine read_command_line(const QStringList& arguments);

// Shows the window; once its start-up has shown the about box, loads path as Load File would
// and says which further files were not loaded.
void show_and_load(TZivIduv& window, const QString& path, const QStringList& not_loaded = {});

}  // namespace quorvane
