// message_boxes.h -- the program's two kinds of modal message: fixed texts and the error report.
#pragma once

#include <QString>
#include <exception>

class QMessageBox;
class QWidget;

namespace quorvane {

// The application's title: its name, and the title of its message boxes.
inline const QString kApplicationTitle = QStringLiteral("Dozazez Quorvane");

// A modal message with one of the program's fixed texts ("ERROR IN LOOP", ...).
void show_message_box(QWidget* parent, const QString& text);

// The text the general error report shows: the error's text, with a full stop added when it
// does not end in one, and then, on a second line, the file the error concerns unless the text
// names it already.
QString error_report_text(const QString& error_text, const QString& file = {});
QString error_report_text(const std::exception& error, const QString& file = {});

// The general error report: a modal message box with the error's text and its file.
void show_error_report(QWidget* parent, const std::exception& error, const QString& file = {});
void show_error_report(QWidget* parent, const QString& error_text, const QString& file = {});

// The least width of a message box that shows its title whole in a window manager's caption.
int message_box_width(const QMessageBox& box);

}  // namespace quorvane
