// command_line.cpp -- reading the desktop program's arguments, loading the file they name.
#include "app/command_line.h"

#include <QDialog>

#include "app/about_box.h"
#include "app/main_window.h"

namespace quorvane {

WindowCommandLine read_command_line(const QStringList& arguments) {
    WindowCommandLine line;
    bool options = true;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (options && argument == QStringLiteral("--")) {
            options = false;
        } else if (options && argument == QStringLiteral("--screenshot")) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty()) {
                line.error = QStringLiteral("--screenshot needs a folder");
                return line;
            }
            line.screenshot_folder = arguments.at(++i);
        } else if (options && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            line.error = QStringLiteral("unknown option '%1'").arg(argument);
            return line;
        } else if (line.file.isEmpty()) {
            line.file = argument;
        } else {
            line.not_loaded.append(argument);
        }
    }
    if (!line.screenshot_folder.isEmpty() && !line.file.isEmpty()) {
        line.error = QStringLiteral("--screenshot takes no file");
    }
    return line;
}

void show_and_load(TZivIduv& window, const QString& path, const QStringList& not_loaded) {
    if (!path.isEmpty()) {
        // The about box comes first at start-up; the file follows it as a click on Load File
        // would, so a refusal's message box is not hidden under the about box.
        QObject::connect(
            window.about_box(), &QDialog::finished, &window,
            [&window, path, not_loaded] {
                window.load_input_file(path);
                window.report_not_loaded(not_loaded);
            },
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
    }
    window.show();
}

}  // namespace quorvane
