// chart_files.cpp -- pictures rendered into memory, then put in place by the atomic file writer.
#include "ui/chart_files.h"

#include <QBuffer>
#include <QFile>
#include <QFileDialog>
#include <QPainter>
#include <QPixmap>
#include <QSvgGenerator>
#include <QWidget>
#include <exception>

#include "engine/errors.h"
#include "ui/message_boxes.h"
#include "zstream/atomic_file.h"

namespace quorvane {
namespace {

void write_bytes(const QString& path, const QByteArray& bytes) {
    const std::string name = QFile::encodeName(path).toStdString();
    AtomicFile file(name);
    const auto count = static_cast<size_t>(bytes.size());
    if (file.write(bytes.constData(), count) != count) {
        throw EInOutError("Cannot write file " + name + ": " + file.write_error());
    }
    file.commit();
}

}  // namespace

void write_picture(QWidget* widget, const QString& path) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(widget->size());
        svg.setViewBox(widget->rect());
        svg.setTitle(widget->windowTitle());
        QPainter painter(&svg);
        widget->render(&painter);
        painter.end();
    } else {
        widget->grab().save(&buffer, "PNG");
    }
    write_bytes(path, bytes);
}

void write_text_file(const QString& path, const std::string& text) {
    write_bytes(path, QByteArray::fromStdString(text));
}

namespace {

// Runs a save, reporting its error; false when it failed.
template <typename Save>
bool reported(QWidget* parent, const QString& path, Save save) {
    try {
        save();
        return true;
    } catch (const std::exception& error) {
        show_error_report(parent, error, path);
        return false;
    }
}

}  // namespace

bool save_picture_as(QWidget* parent, QWidget* widget, const QString& suggested_name) {
    QString filter;
    QString path = QFileDialog::getSaveFileName(
        parent, QStringLiteral("Save picture"), suggested_name,
        QStringLiteral("PNG picture (*.png);;SVG picture (*.svg)"), &filter);
    if (path.isEmpty()) return false;
    // A name without either ending takes the one of the chosen kind.
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive) &&
        !path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        path.append(filter.contains(QStringLiteral("svg")) ? QStringLiteral(".svg")
                                                           : QStringLiteral(".png"));
    }
    return reported(parent, path, [&] { write_picture(widget, path); });
}

bool save_csv_as(QWidget* parent, const std::string& text, const QString& suggested_name) {
    const QString path =
        QFileDialog::getSaveFileName(parent, QStringLiteral("Save data"), suggested_name,
                                     QStringLiteral("Comma-separated values (*.csv)"));
    if (path.isEmpty()) return false;
    return reported(parent, path, [&] { write_text_file(path, text); });
}

}  // namespace quorvane
