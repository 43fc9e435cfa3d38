// message_boxes.cpp -- modal message boxes under the application's title.
#include "ui/message_boxes.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace quorvane {
namespace {

void show_box(QWidget* parent, QMessageBox::Icon icon, const QString& name, const QString& text) {
    QMessageBox box(icon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
    box.setObjectName(name);
    box.exec();
}

}  // namespace

void show_message_box(QWidget* parent, const QString& text) {
    show_box(parent, QMessageBox::NoIcon, QStringLiteral("MessageBox"), text);
}

QString error_report_text(const QString& error_text) {
    QString text = error_text;
    if (!text.endsWith(u'.')) text.append(u'.');
    return text;
}

QString error_report_text(const std::exception& error) {
    return error_report_text(QString::fromStdString(error.what()));
}

void show_error_report(QWidget* parent, const std::exception& error) {
    show_error_report(parent, QString::fromStdString(error.what()));
}

void show_error_report(QWidget* parent, const QString& error_text) {
    show_box(parent, QMessageBox::Critical, QStringLiteral("ErrorReport"),
             error_report_text(error_text));
}

}  // namespace quorvane
