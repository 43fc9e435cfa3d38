// message_boxes.cpp -- modal message boxes under the application's title.
#include "ui/message_boxes.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace quorvane {
namespace {

// The window manager draws the caption in its own font, mostly bold and often larger than
// ours, beside an icon and up to three buttons; this much room keeps the title whole.
constexpr double kCaptionFontScale = 1.25;
constexpr int kCaptionButtonsWidth = 4 * 24 + 24;

void show_box(QWidget* parent, QMessageBox::Icon icon, const QString& name, const QString& text) {
    QMessageBox box(icon, kApplicationTitle, text, QMessageBox::Ok, parent);
    box.setObjectName(name);
    // QMessageBox sizes itself to its layout when shown: a spacer across the layout is the way
    // to make it wider.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(message_box_width(box), 0, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    box.exec();
}

}  // namespace

int message_box_width(const QMessageBox& box) {
    QFont caption = box.font();
    caption.setBold(true);
    const int title = QFontMetrics(caption).horizontalAdvance(box.windowTitle());
    return static_cast<int>(title * kCaptionFontScale) + kCaptionButtonsWidth;
}

void show_message_box(QWidget* parent, const QString& text) {
    show_box(parent, QMessageBox::NoIcon, QStringLiteral("MessageBox"), text);
}

QString error_report_text(const QString& error_text, const QString& file) {
    QString text = error_text;
    if (!text.endsWith(u'.')) text.append(u'.');
    if (!file.isEmpty() && !error_text.contains(file)) text.append(u'\n').append(file);
    return text;
}

QString error_report_text(const std::exception& error, const QString& file) {
    return error_report_text(QString::fromStdString(error.what()), file);
}

void show_error_report(QWidget* parent, const std::exception& error, const QString& file) {
    show_error_report(parent, QString::fromStdString(error.what()), file);
}

void show_error_report(QWidget* parent, const QString& error_text, const QString& file) {
    show_box(parent, QMessageBox::Critical, QStringLiteral("ErrorReport"),
             error_report_text(error_text, file));
}

}  // namespace quorvane
