// main_window_test.cpp -- start-up, the main window's controls, Load File, the mode button, the
// auto-stop label, Load Chip, Exit and dropping files.
#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include "app/about_box.h"
#include "app/pie_gauge.h"
#include "gui_test_support.h"
#include "ui/fonts.h"
#include "ui/settings_dialog.h"
#include "ui/snippet_dialog.h"

using namespace quorvane;
using namespace quorvane::test;

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void startUp();
    void controls_data();
    void controls();
    void loadFile_data();
    void loadFile();
    void cancelledDialogChangesNothing();
    void modeButtonToggles();
    void autoStopLabel_data();
    void autoStopLabel();
    void buttonsMoveFocusToExit_data();
    void buttonsMoveFocusToExit();
    void loadChipIsUnderDevelopment();
    void unreadableFileGoesToErrorReport();
    void dropLoadsFile_data();
    void dropLoadsFile();
    void exitEndsProgram();
    void menuByKeyboard_data();
    void menuByKeyboard();
    void menuLeftByEscape_data();
    void menuLeftByEscape();
    void autoStopByKeyboard();
};

namespace {

// Types keys into whatever has the focus: "Alt" alone is pressed and released, any other word
// is a key sequence ("F10", "Alt+O").
void TypeKeys(QWidget* window, const QString& keys) {
    for (const QString& word : keys.split(u' ')) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
        if (word == u"Alt") {
            QTest::keyPress(target, Qt::Key_Alt, Qt::AltModifier);
            QTest::keyRelease(target, Qt::Key_Alt, Qt::NoModifier);
            continue;
        }
        const QKeyCombination key = QKeySequence(word)[0];
        QTest::keyClick(target, key.key(), key.keyboardModifiers());
    }
}

}  // namespace

void MainWindowTest::startUp() {
    TZivIduv window;
    // The dialogs are created after the main window, in this order, and only it is shown.
    QStringList dialogs;
    for (QObject* child : window.children()) {
        if (qobject_cast<QDialog*>(child) != nullptr)
            dialogs << QString::fromLatin1(child->metaObject()->className());
    }
    QCOMPARE(dialogs,
             (QStringList{"quorvane::TFractalSet", "quorvane::TAboutBox", "quorvane::TSnippet"}));
    QCOMPARE(window.windowTitle(), QStringLiteral("Tessellor  [Experimental Prototype]"));
    QCOMPARE(window.centralWidget()->size(), QSize(328, 363));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QStringList menu;
    for (QAction* action : window.menuBar()->actions())
        menu << action->text();
    // The captions with their mnemonics.
    QCOMPARE(menu, (QStringList{"&About", "&Options", "&Chart", "&Study"}));

    bool tablet_empty_while_about = false;
    bool about_blocks_window = false;
    ModalAnswerer answer([&](QWidget* modal) {
        if (qobject_cast<TAboutBox*>(modal) != nullptr) {
            tablet_empty_while_about = window.tablet_bits().empty();
            about_blocks_window = modal->isModal() && QApplication::activeModalWidget() == modal;
        }
        return true;
    });
    window.show();
    QTRY_VERIFY(!window.tablet_bits().empty());
    QCOMPARE(answer.count(QStringLiteral("quorvane::TAboutBox")), 1);
    QVERIFY(tablet_empty_while_about);
    QVERIFY(about_blocks_window);
    QCOMPARE(window.tablet_bits().size(), size_t{35704});
    for (QDialog* dialog : window.findChildren<QDialog*>())
        QVERIFY(!dialog->isVisible());

    // The about box comes once, not at every activation.
    window.activateWindow();
    QTest::qWait(50);
    QCOMPARE(answer.count(QStringLiteral("quorvane::TAboutBox")), 1);
    auto* about = window.about_box();
    QCOMPARE(about->windowTitle(), QStringLiteral("About"));
    QCOMPARE(Child<QPushButton>(about, "OKButton")->text(), QStringLiteral("&OK"));
    QCOMPARE(Child<QLabel>(about, "ExpertsText")->text(),
             QStringLiteral("Experts call it Fall-Through MECHANISM"));
    const QLabel* icon = Child<QLabel>(about, "ProgramIcon");
    QCOMPARE(icon->pixmap().size(), QSize(71, 71));
    QCOMPARE(icon->toolTip(), QStringLiteral("Binary vexion [It realy works like DNA]"));
}

void MainWindowTest::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<bool>("enabled");
    const auto row = [](const char* name, const char* text, const char* hint, bool enabled) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(text)
                            << QString::fromLatin1(hint) << enabled;
    };
    row("CHECKSUMLabel", "Beta v2.2", "Version", true);
    row("FLoadButton", "Load File", "Load file to process (*.*)", true);
    row("CHIPButton", "Load Chip", "Load Chipcode (25x25 pixels) ", true);
    row("ModeButton", "Pack *.rod", "Use vexion to recreate the binary file", true);
    row("StartButton", "&Start", "", false);
    row("Exit_Button", "&Exit", "", true);
    row("Compress_Button", "Compress", "Use ZLib to Compress File", true);
    row("DeCompress_Button", "Decompress", "Use ZLib to DeCompress File", true);
    row("DecisionsLabel", "0", "Low rods", true);
    row("Label_9", "0", "High rods", true);
    row("ZIPLabel", "Z", "Lz77 compression mode", true);
    row("AutoStopLabel", "S", "Auto stop if no gain in compression [LZ77 mode only]", true);
    row("MarkerLabel", "0", "Trailing Marker", true);
    row("RodSize", "2", "Rodsize", true);
    row("Depth", "1", "", true);
    row("CompressionLevel", "1", "", true);
    row("InputLabel", "Bits Input   : 0", "", true);
    row("OutputLabel", "Bits Output  : 0", "", true);
    row("ModeLabel", "Vexion Mode  : Packing", "", true);
    row("LoopCountLabel", "Vexion Depth : 0", "", true);
    row("StreamLabel", "Vexion Data  : 0", "", true);
    row("LoopModeLabel", "Algorithm    : Nonstop cycles", "", true);
    row("RawTableLabel", "Experimental : No", "", true);
    row("PWLabel", "47e3", "", true);
    row("Loop2Label", "2", "", true);
}

void MainWindowTest::controls() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, hint);
    QFETCH(bool, enabled);
    TZivIduv window;
    QWidget* widget = window.findChild<QWidget*>(name);
    QVERIFY(widget != nullptr);
    const QString shown = widget->property("text").toString();
    QCOMPARE(shown, text);
    QCOMPARE(widget->toolTip(), hint);
    QCOMPARE(widget->isEnabled(), enabled);
    // Statistics texts line up: a 15-character prefix ending in ": ", in a font whose glyphs
    // measure one width (a font's own fixed-pitch flag is not to be trusted).
    if (name.endsWith(QStringLiteral("Label")) && text.size() > 15) {
        QCOMPARE(text.mid(13, 2), QStringLiteral(": "));
        QVERIFY(advances_line_up(widget->font()));
    }
}

void MainWindowTest::loadFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("unpacking");
    QTest::newRow("81 bytes refused") << "a81.bin" << 81 << false << false;
    QTest::newRow("82 bytes accepted") << "a82.bin" << 82 << true << false;
    QTest::newRow("32767 bytes accepted") << "a32767.bin" << 32767 << true << false;
    QTest::newRow("32768 bytes refused") << "a32768.bin" << 32768 << false << false;
    QTest::newRow(".rod of any size") << "small.rod" << 10 << true << true;
    QTest::newRow(".ROD is size-tested") << "x.ROD" << 50 << false << false;
    QTest::newRow(".ROD is packed") << "y.ROD" << 500 << true << false;
}

void MainWindowTest::loadFile() {
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(bool, accepted);
    QFETCH(bool, unpacking);
    QTemporaryDir dir;
    const QString good = write_file(dir, QStringLiteral("good.bin"), to_qbytes(sparse_bytes(500)));
    const QString path = write_file(dir, name, QByteArray(size, '\x11'));
    auto window = ShowMainWindow();
    QStringList titles;
    QString next = good;
    window->choose_file = [&](const QString& title) {
        titles << title;
        return next;
    };
    ModalAnswerer answer;
    auto* start = Child<QPushButton>(window.get(), "StartButton");
    auto* mode = Child<QPushButton>(window.get(), "ModeButton");

    // A good file first: a refused load afterwards must also take Start away.
    window->FLoadButtonClick();
    QVERIFY(start->isEnabled());
    next = path;
    Child<QPushButton>(window.get(), "FLoadButton")->click();
    QCOMPARE(titles, (QStringList{" Load file into Quorvane", " Load file into Quorvane"}));
    QCOMPARE(window->open_dialog_file_name(), path);
    QCOMPARE(window->engine().input.size, size);
    QCOMPARE(start->isEnabled(), accepted);
    if (!accepted) {
        QCOMPARE(answer.messages(), QStringList{"Quorvane Limit: 83 Bytes < File > 32 KBytes"});
        return;
    }
    QVERIFY(answer.seen.isEmpty());
    QCOMPARE(window->engine().input.unpack_next, unpacking);
    QCOMPARE(mode->isVisible(), unpacking);
    const auto* mode_label = Child<QLabel>(window.get(), "ModeLabel");
    QCOMPARE(mode_label->text(), unpacking ? QStringLiteral("Vexion Mode  : UnPacking")
                                           : QStringLiteral("Vexion Mode  : Packing"));
    QCOMPARE(Child<QLabel>(window.get(), "InputLabel")->text(), QStringLiteral("Bits Input   : 0"));
    QCOMPARE(Child<PieGauge>(window.get(), "ProcessGauge")->value(), size);
    QCOMPARE(Child<PieGauge>(window.get(), "CentriGauge1")->fraction(), 1.0);
}

void MainWindowTest::cancelledDialogChangesNothing() {
    QTemporaryDir dir;
    const QString path = write_file(dir, QStringLiteral("a.bin"), to_qbytes(sparse_bytes(300)));
    auto window = ShowMainWindow();
    window->choose_file = [&](const QString&) { return path; };
    window->FLoadButtonClick();
    window->choose_file = [](const QString&) { return QString(); };
    window->FLoadButtonClick();
    QVERIFY(Child<QPushButton>(window.get(), "StartButton")->isEnabled());
    QCOMPARE(window->engine().input.InputPath, path.toStdString());
    QCOMPARE(window->open_dialog_file_name(), path);
}

void MainWindowTest::modeButtonToggles() {
    QTemporaryDir dir;
    const QString rod = write_file(dir, QStringLiteral("a.bin.rod"), QByteArray(40, '\x55'));
    const QString plain = write_file(dir, QStringLiteral("b.bin"), to_qbytes(sparse_bytes(300)));
    auto window = ShowMainWindow();
    window->choose_file = [&](const QString&) { return rod; };
    window->FLoadButtonClick();
    auto* mode = Child<QPushButton>(window.get(), "ModeButton");
    const auto* mode_label = Child<QLabel>(window.get(), "ModeLabel");
    struct Expect {
        const char* caption;
        const char* hint;
        const char* text;
        bool unpacking;
    };
    const Expect unpack{"UnPack *.rod", "Use vexion to re-create the binary file",
                        "Vexion Mode  : UnPacking", true};
    const Expect pack{"Pack *.rod", "Try to Pack the binary file even further",
                      "Vexion Mode  : Packing", false};
    for (const Expect& e : {unpack, pack, unpack, pack}) {
        QCOMPARE(mode->text(), QString::fromLatin1(e.caption));
        QCOMPARE(mode->toolTip(), QString::fromLatin1(e.hint));
        QCOMPARE(mode_label->text(), QString::fromLatin1(e.text));
        QCOMPARE(window->engine().input.unpack_next, e.unpacking);
        QTest::mouseClick(mode, Qt::LeftButton);
    }
    // An ordinary file after a rod file hides the button and packs.
    window->choose_file = [&](const QString&) { return plain; };
    window->FLoadButtonClick();
    QVERIFY(!mode->isVisible());
    QVERIFY(!window->engine().input.unpack_next);
    QCOMPARE(mode_label->text(), QStringLiteral("Vexion Mode  : Packing"));
}

void MainWindowTest::autoStopLabel_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QString>("after");
    QTest::newRow("S to blank") << "S" << 1 << " ";
    QTest::newRow("blank to S") << " " << 1 << "S";
    QTest::newRow("S and back") << "S" << 2 << "S";
    QTest::newRow("empty to blank") << "" << 1 << " ";
    QTest::newRow("empty needs two clicks") << "" << 2 << "S";
    QTest::newRow("other text to blank") << "x" << 1 << " ";
}

void MainWindowTest::autoStopLabel() {
    QFETCH(QString, before);
    QFETCH(int, clicks);
    QFETCH(QString, after);
    auto window = ShowMainWindow();
    window->settings().set(Setting::AutoStop, before.toStdString());
    auto* label = Child<QLabel>(window.get(), "AutoStopLabel");
    QCOMPARE(label->text(), before);
    auto* focused = QApplication::focusWidget();
    for (int i = 0; i < clicks; ++i)
        QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(label->text(), after);
    QCOMPARE(QString::fromStdString(window->settings().text(Setting::AutoStop)), after);
    QCOMPARE(QApplication::focusWidget(), focused);
}

void MainWindowTest::buttonsMoveFocusToExit_data() {
    QTest::addColumn<QString>("button");
    for (const char* name : {"FLoadButton", "CHIPButton", "ModeButton", "StartButton",
                             "Compress_Button", "DeCompress_Button"}) {
        QTest::newRow(name) << QString::fromLatin1(name);
    }
}

void MainWindowTest::buttonsMoveFocusToExit() {
    QFETCH(QString, button);
    QTemporaryDir dir;
    const QString rod = write_file(dir, QStringLiteral("a.bin.rod"), QByteArray(40, '\x55'));
    auto window = ShowMainWindow();
    window->choose_file = [&](const QString&) { return rod; };
    window->FLoadButtonClick();
    window->choose_file = [](const QString&) { return QString(); };
    ModalAnswerer answer;
    auto* target = window->findChild<QPushButton*>(button);
    QVERIFY(target != nullptr && target->isVisible() && target->isEnabled());
    auto* other =
        Child<QPushButton>(window.get(), button == "FLoadButton" ? "CHIPButton" : "FLoadButton");
    other->setFocus();
    QVERIFY(other->hasFocus());
    target->click();
    // The window keeps Exit as its focus widget even while a message box has the focus.
    QCOMPARE(window->focusWidget(), Child<QPushButton>(window.get(), "Exit_Button"));
}

void MainWindowTest::loadChipIsUnderDevelopment() {
    auto window = ShowMainWindow();
    ModalAnswerer answer;
    Child<QPushButton>(window.get(), "CHIPButton")->click();
    QCOMPARE(answer.messages(), QStringList{"UNDER DEVELOPMENT"});
    QVERIFY(!Child<QPushButton>(window.get(), "StartButton")->isEnabled());
    QVERIFY(window->engine().input.InputPath.empty());
}

void MainWindowTest::unreadableFileGoesToErrorReport() {
    QTemporaryDir dir;
    const QString good = write_file(dir, QStringLiteral("good.bin"), to_qbytes(sparse_bytes(300)));
    const QString missing = dir.filePath(QStringLiteral("missing.bin"));
    auto window = ShowMainWindow();
    window->load_input_file(good);
    ModalAnswerer answer;
    window->load_input_file(missing);
    QCOMPARE(answer.messages(),
             QStringList{"Cannot open file " + missing + ": No such file or directory."});
    QCOMPARE(answer.count(QStringLiteral("QMessageBox")), 1);
    QVERIFY(!Child<QPushButton>(window.get(), "StartButton")->isEnabled());
    QCOMPARE(window->engine().input.InputPath, missing.toStdString());
}

void MainWindowTest::dropLoadsFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("unpacking");
    QTest::newRow("ordinary file") << "a.bin" << false;
    QTest::newRow("rod file") << "a.bin.rod" << true;
}

void MainWindowTest::dropLoadsFile() {
    QFETCH(QString, name);
    QFETCH(bool, unpacking);
    QTemporaryDir dir;
    const QString path = write_file(dir, name, to_qbytes(sparse_bytes(400)));
    auto window = ShowMainWindow();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at(100, 150);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(window->engine().input.InputPath, path.toStdString());
    QCOMPARE(window->engine().input.unpack_next, unpacking);
    QVERIFY(Child<QPushButton>(window.get(), "StartButton")->isEnabled());
    QCOMPARE(Child<QPushButton>(window.get(), "ModeButton")->isVisible(), unpacking);

    // Two files at once: the first is loaded, and the window says the other was not.
    const QString other =
        write_file(dir, QStringLiteral("other.bin"), to_qbytes(sparse_bytes(400)));
    QMimeData two;
    two.setUrls({QUrl::fromLocalFile(other), QUrl::fromLocalFile(path)});
    QDragEnterEvent taken(at, Qt::CopyAction, &two, Qt::LeftButton, Qt::NoModifier);
    taken.setAccepted(false);
    QApplication::sendEvent(window.get(), &taken);
    QVERIFY(taken.isAccepted());
    ModalAnswerer answer;
    QDropEvent both(at, Qt::CopyAction, &two, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &both);
    QCOMPARE(window->engine().input.InputPath, other.toStdString());
    QCOMPARE(answer.messages(), QStringList{"One file at a time; not loaded:\n" + path});
}

void MainWindowTest::exitEndsProgram() {
    auto window = ShowMainWindow();
    QSignalSpy ended(window.get(), &TZivIduv::terminationRequested);
    Child<QPushButton>(window.get(), "Exit_Button")->click();
    QCOMPARE(ended.count(), 1);
}

void MainWindowTest::menuByKeyboard_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("About mnemonic") << "Alt+A"
                                    << "quorvane::TAboutBox";
    QTest::newRow("Options mnemonic") << "Alt+O"
                                      << "quorvane::TFractalSet";
    QTest::newRow("F10 selects About") << "F10 Return"
                                       << "quorvane::TAboutBox";
    QTest::newRow("F10 then right to Options") << "F10 Right Return"
                                               << "quorvane::TFractalSet";
    QTest::newRow("Alt then right to Options") << "Alt Right Space"
                                               << "quorvane::TFractalSet";
}

void MainWindowTest::menuByKeyboard() {
    QFETCH(QString, keys);
    QFETCH(QString, dialog);
    auto window = ShowMainWindow();
    ModalAnswerer answer;
    TypeKeys(window.get(), keys);
    QTRY_COMPARE(answer.seen.size(), 1);
    QCOMPARE(answer.seen.front().type, dialog);
}

void MainWindowTest::menuLeftByEscape_data() {
    QTest::addColumn<QString>("keys");
    QTest::newRow("F10") << "F10 Escape";
    QTest::newRow("Alt") << "Alt Right Escape";
}

void MainWindowTest::menuLeftByEscape() {
    QFETCH(QString, keys);
    auto window = ShowMainWindow();
    auto* load = Child<QPushButton>(window.get(), "FLoadButton");
    load->setFocus();
    ModalAnswerer answer;
    TypeKeys(window.get(), keys);
    // Nothing opened, and the focus is back where it was.
    QVERIFY(answer.seen.isEmpty());
    QCOMPARE(QApplication::focusWidget(), load);
}

void MainWindowTest::autoStopByKeyboard() {
    auto window = ShowMainWindow();
    auto* label = Child<QLabel>(window.get(), "AutoStopLabel");
    QCOMPARE(label->text(), QStringLiteral("S"));
    Child<QPushButton>(window.get(), "FLoadButton")->setFocus();
    // The tab order follows the layout: Load File, Load Chip, then the label (the mode button
    // is hidden until a rod file is loaded).
    TypeKeys(window.get(), QStringLiteral("Tab Tab"));
    QCOMPARE(QApplication::focusWidget(), label);
    TypeKeys(window.get(), QStringLiteral("Space"));
    QCOMPARE(label->text(), QStringLiteral(" "));
    TypeKeys(window.get(), QStringLiteral("Return"));
    QCOMPARE(label->text(), QStringLiteral("S"));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
