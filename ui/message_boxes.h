// message_boxes.h -- the program's two kinds of modal message: fixed texts and the error report.
#pragma once

#include <QString>
#include <exception>

class QWidget;

namespace quorvane {

// A modal message with one of the program's fixed texts ("ERROR IN LOOP", ...).
void ShowMessage(QWidget* parent, const QString& text);

// The text the general error report shows: the error's text, with a full stop added when it
// does not end in one.
QString ErrorReportText(const QString& error_text);
QString ErrorReportText(const std::exception& error);

// The general error report: a modal message box with the error's text.
void ShowErrorReport(QWidget* parent, const std::exception& error);
void ShowErrorReport(QWidget* parent, const QString& error_text);

}  // namespace quorvane
