// zlib_buttons.cpp -- the whole-file zlib commands behind the two buttons.
#include "ui/zlib_buttons.h"

#include <QApplication>
#include <QFile>
#include <exception>
#include <filesystem>

#include "ui/message_boxes.h"
#include "zstream/zlib_file.h"

namespace quorvane {
namespace {

std::filesystem::path file_path(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// The commands do not pump: the window waits, and says so with the cursor.
class BusyCursor {
  public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

void compress_chosen_file(QWidget* parent, const QString& path) {
    try {
        const BusyCursor busy;
        compress_to_zlib(file_path(path));
    } catch (const std::exception& error) {
        show_error_report(parent, error, path);
    }
}

bool decompress_chosen_file(QWidget* parent, const QString& path) {
    try {
        const BusyCursor busy;
        return decompress_from_zlib(file_path(path)).has_value();
    } catch (const std::exception& error) {
        show_error_report(parent, error, path);
    }
    return true;
}

}  // namespace quorvane
