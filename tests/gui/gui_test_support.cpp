// gui_test_support.cpp -- the modal answerer and the sample files.
#include "gui_test_support.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace quorvane::test {

ModalAnswerer::ModalAnswerer(Handler handler) : handler_(std::move(handler)) {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::answer);
    timer_.start();
}

void ModalAnswerer::answer() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    Seen entry{QString::fromLatin1(modal->metaObject()->className()), QString()};
    if (auto* box = qobject_cast<QMessageBox*>(modal)) entry.text = box->text();
    seen.append(entry);
    const QPointer<QWidget> guard(modal);
    if (handler_ && !handler_(modal)) return;
    if (guard.isNull() || !guard->isVisible()) return;
    if (auto* ok = guard->findChild<QPushButton*>(QStringLiteral("OKButton"))) {
        ok->click();
    }
    if (guard && guard->isVisible()) {
        if (auto* dialog = qobject_cast<QDialog*>(guard.data())) dialog->accept();
    }
}

QStringList ModalAnswerer::messages() const {
    QStringList texts;
    for (const Seen& entry : seen) {
        if (entry.type == QStringLiteral("QMessageBox")) texts.append(entry.text);
    }
    return texts;
}

int ModalAnswerer::count(const QString& type) const {
    int n = 0;
    for (const Seen& entry : seen)
        n += entry.type == type ? 1 : 0;
    return n;
}

QByteArray to_qbytes(const std::vector<uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

namespace {
std::filesystem::path native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
}  // namespace

QString write_file(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    write_file(native(path), std::vector<uint8_t>(bytes.begin(), bytes.end()));
    if (QFileInfo(path).size() != bytes.size()) qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray read_file(const QString& path) {
    return to_qbytes(read_file(native(path)));
}

std::unique_ptr<TZivIduv> ShowMainWindow() {
    ModalAnswerer about;
    auto window = std::make_unique<TZivIduv>();
    window->show();
    if (!QTest::qWaitFor([&]() { return !window->tablet_bits().empty(); }, 10000)) {
        qFatal("the tablet was not read");
    }
    // The about box had the focus; give it back as a user's click would.
    window->activateWindow();
    // The window system may call the window active before the application has moved its focus
    // from the closing about box; keys typed before then would go to the box.
    if (!QTest::qWaitForWindowActive(window.get()) ||
        !QTest::qWaitFor([&]() { return QApplication::activeWindow() == window.get(); })) {
        qFatal("the main window is not active");
    }
    return window;
}

}  // namespace quorvane::test
