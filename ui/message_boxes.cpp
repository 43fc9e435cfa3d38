// message_boxes.cpp -- modal message boxes under the application's title.
#include "ui/message_boxes.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace quorvane {
namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& name, const QString& text) {
    QMessageBox box(icon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
    box.setObjectName(name);
    box.exec();
}

}  // namespace

void ShowMessage(QWidget* parent, const QString& text) {
    ShowBox(parent, QMessageBox::NoIcon, QStringLiteral("MessageBox"), text);
}

QString ErrorReportText(const QString& error_text) {
    QString text = error_text;
    if (!text.endsWith(u'.')) text.append(u'.');
    return text;
}

QString ErrorReportText(const std::exception& error) {
    return ErrorReportText(QString::fromStdString(error.what()));
}

void ShowErrorReport(QWidget* parent, const std::exception& error) {
    ShowErrorReport(parent, QString::fromStdString(error.what()));
}

void ShowErrorReport(QWidget* parent, const QString& error_text) {
    ShowBox(parent, QMessageBox::Critical, QStringLiteral("ErrorReport"),
            ErrorReportText(error_text));
}

}  // namespace quorvane
