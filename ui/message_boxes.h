// message_boxes.h -- the program's two kinds of modal message: fixed texts and the error report.
#pragma once

#include <QString>
#include <exception>

class QWidget;

namespace quorvane {

// A modal message with one of the program's fixed texts ("ERROR IN LOOP", ...).
void show_message_box(QWidget* parent, const QString& text);

// The text the general error report shows: the error's text, with a full stop added when it
// does not end in one.
QString error_report_text(const QString& error_text);
QString error_report_text(const std::exception& error);

// The general error report: a modal message box with the error's text.
void show_error_report(QWidget* parent, const std::exception& error);
void show_error_report(QWidget* parent, const QString& error_text);

}  // namespace quorvane
