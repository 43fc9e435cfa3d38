// gui_test_support.h -- helpers for the widget tests: answering modal dialogs, sample files,
// a shown main window.
#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "app/main_window.h"
#include "tests/samples.h"

namespace quorvane::test {

// Answers every modal dialog that comes up while it exists, and notes what it saw. A handler
// may inspect the dialog; the answerer then presses the dialog's OK button, or accepts it.
class ModalAnswerer : public QObject {
    Q_OBJECT

  public:
    struct Seen {
        QString type;  // class name: "QMessageBox", "quorvane::TSnippet", ...
        QString text;  // a message box's text
    };
    // Returns false when it has closed the dialog itself.
    using Handler = std::function<bool(QWidget* modal)>;

    explicit ModalAnswerer(Handler handler = {});

    QList<Seen> seen;
    // The texts of the message boxes seen, in order.
    QStringList messages() const;
    int count(const QString& type) const;

  private:
    void answer();
    Handler handler_;
    QTimer timer_;
};

// The shared sample data as Qt bytes.
QByteArray to_qbytes(const std::vector<uint8_t>& bytes);
// The shared file helpers for Qt's types: writes a file in dir (failing loudly when it cannot)
// and returns its path; reads a file whole, empty when it cannot be read.
QString write_file(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes);
QByteArray read_file(const QString& path);

// A main window as the program shows it: about box closed, tablet read, window active.
std::unique_ptr<TZivIduv> ShowMainWindow();

// A child of the window by object name; fails the lookup loudly when it does not exist.
template <typename T>
T* Child(QObject* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) qFatal("no child %s", name);
    return child;
}

// The style option a widget paints with. initStyleOption is protected; a pointer to it, taken
// through a derived class, may be applied to any widget of the class.
template <typename Widget, typename Option>
Option StyleOption(const Widget* widget) {
    struct Access : Widget {
        static void init(const Widget* w, Option* option) {
            (w->*(&Access::initStyleOption))(option);
        }
    };
    Option option;
    Access::init(widget, &option);
    return option;
}

}  // namespace quorvane::test
