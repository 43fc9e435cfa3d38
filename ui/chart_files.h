// chart_files.h -- saving what a chart window shows: its picture (PNG or SVG) and its data (CSV),
// each written whole or not at all.
#pragma once

#include <QString>
#include <string>

class QWidget;

namespace quorvane {

// Draws widget into path, as SVG when the name ends in ".svg", else as PNG. Raises the file
// errors of the engine.
void write_picture(QWidget* widget, const QString& path);
// Writes text into path.
void write_text_file(const QString& path, const std::string& text);

// Asks for a name and saves the picture or the text there; errors are reported in a message box.
// False when nothing was saved.
bool save_picture_as(QWidget* parent, QWidget* widget, const QString& suggested_name);
bool save_csv_as(QWidget* parent, const std::string& text, const QString& suggested_name);

}  // namespace quorvane
