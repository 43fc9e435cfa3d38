// run_window_test.cpp -- runs from Start: statistics at the end, the not-successful path,
// errors, the chip limit, the settings dialog and Exit during a run, and Start's state.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <chrono>

#include "app/pie_gauge.h"
#include "gui_test_support.h"
#include "rodfile/rod_trailer.h"
#include "ui/settings_dialog.h"
#include "ui/snippet_dialog.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {
enum class StopBy { ExitButton, CloseWindow, EscapeKey };
}
Q_DECLARE_METATYPE(StopBy)

namespace {

QString Text(TZivIduv* window, const char* label) {
    return Child<QLabel>(window, label)->text();
}

// Enabled state of Start, Load File, Load Chip, Compress, Decompress.
QList<bool> RunButtons(TZivIduv* window) {
    QList<bool> states;
    for (const char* name :
         {"StartButton", "FLoadButton", "CHIPButton", "Compress_Button", "DeCompress_Button"}) {
        states << Child<QPushButton>(window, name)->isEnabled();
    }
    return states;
}
const QList<bool> kAfterRun = {false, true, true, true, true};

// Every pump of the engine processes window events, so a run reacts at its first step.
void PumpEveryStep(TZivIduv* window) {
    window->front_end().set_pump_interval(std::chrono::milliseconds(0));
}

}  // namespace

class RunWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void packThenUnpack();
    void notSuccessful();
    void errorInRunReenablesButtons();
    void fullDiskGivesTheReason();
    void unreadableRodSaysWhy_data();
    void unreadableRodSaysWhy();
    void startNeedsALoad();
    void chipOnlyForSmallStreams_data();
    void chipOnlyForSmallStreams();
    void settingsDialogHoldsRun();
    void stopDuringRun_data();
    void stopDuringRun();
    void dropIgnoredDuringRun();
    void labelsWaitForThePump();
};

void RunWindowTest::packThenUnpack() {
    QTemporaryDir dir;
    const QByteArray original = to_qbytes(sparse_bytes(3000));
    const QString input = write_file(dir, QStringLiteral("data.bin"), original);
    auto window = ShowMainWindow();
    QString chip_size;
    QString table_size;
    ModalAnswerer answer([&](QWidget* modal) {
        if (auto* snippet = qobject_cast<TSnippet*>(modal)) {
            chip_size = Child<QLabel>(snippet, "ChipSizeLabel")->text();
            table_size = Child<QLabel>(snippet, "DirazSizeLabel")->text();
        }
        return true;
    });
    window->load_input_file(input);
    QTest::mouseClick(Child<QPushButton>(window.get(), "StartButton"), Qt::LeftButton);

    const QByteArray rod = read_file(input + ".rod");
    QVERIFY(!rod.isEmpty());
    QCOMPARE(answer.count(QStringLiteral("quorvane::TSnippet")), 1);
    QVERIFY(answer.messages().isEmpty());
    QCOMPARE(Text(window.get(), "ModeLabel"), QStringLiteral("Vexion Mode  : Succesfull"));
    QCOMPARE(Text(window.get(), "InputLabel"), QStringLiteral("Bits Input   : 24000"));
    const QString output = Text(window.get(), "OutputLabel");
    QVERIFY(output.startsWith(QStringLiteral("Bits Output  : ")));
    const int bits = output.mid(15).toInt();
    // The window always writes the integrity trailer behind the stream.
    QCOMPARE(rod.size(), bits / 8 + static_cast<int>(quorvane::kTrailerBytes));
    QCOMPARE(chip_size.toInt() + table_size.toInt(), bits);
    QCOMPARE(Text(window.get(), "DecisionsLabel"), QStringLiteral("Ready"));
    QCOMPARE(Text(window.get(), "Label_9"), QStringLiteral("Ready"));
    QVERIFY(Text(window.get(), "LoopCountLabel").startsWith(QStringLiteral("Vexion Depth : ")));
    QCOMPARE(Child<QProgressBar>(window.get(), "LoopProgressBar")->value(), 0);
    QCOMPARE(Child<QProgressBar>(window.get(), "LoopProgressBar")->maximum(), 127);
    QCOMPARE(Child<PieGauge>(window.get(), "CentriGauge1")->value(), 0);
    QCOMPARE(Child<PieGauge>(window.get(), "CentriGauge2")->value(), 0);
    QVERIFY(Child<PieGauge>(window.get(), "ProcessGauge")->value() > 0);
    // A multi-cycle run leaves auto stop on after its first cycle.
    QCOMPARE(Text(window.get(), "AutoStopLabel"), QStringLiteral("S"));
    QCOMPARE(RunButtons(window.get()), kAfterRun);
    QVERIFY(QFile::exists(input + ".bmp"));

    // Unpack: the rod file restores the original under its own name.
    QVERIFY(QFile::remove(input));
    answer.seen.clear();
    window->load_input_file(input + ".rod");
    auto* mode = Child<QPushButton>(window.get(), "ModeButton");
    QVERIFY(mode->isVisible());
    QCOMPARE(mode->text(), QStringLiteral("UnPack *.rod"));
    // The mode button stays live during the run, but the run keeps the direction it began with.
    PumpEveryStep(window.get());
    QTimer::singleShot(0, mode, [mode]() { mode->click(); });
    Child<QPushButton>(window.get(), "StartButton")->click();
    QCOMPARE(read_file(input), original);
    QVERIFY(!QFile::exists(input + ".rod.rod"));
    QCOMPARE(mode->text(), QStringLiteral("Pack *.rod"));
    QCOMPARE(Text(window.get(), "ModeLabel"), QStringLiteral("Vexion Mode  : Testing only"));
    QCOMPARE(Text(window.get(), "OutputLabel"), QStringLiteral("Bits Output  : 24000"));
    QCOMPARE(answer.count(QStringLiteral("quorvane::TSnippet")), 0);
    QCOMPARE(RunButtons(window.get()), kAfterRun);
}

void RunWindowTest::notSuccessful() {
    QTemporaryDir dir;
    const QString input = write_file(dir, QStringLiteral("zeros.bin"), QByteArray(200, '\0'));
    auto window = ShowMainWindow();
    ModalAnswerer answer;
    window->load_input_file(input);
    Child<QPushButton>(window.get(), "StartButton")->click();
    QCOMPARE(answer.messages(), QStringList{"ERROR IN LOOP"});
    QCOMPARE(Text(window.get(), "ModeLabel"), QStringLiteral("Vexion Mode  : Not Succesfull"));
    QCOMPARE(Text(window.get(), "OutputLabel"), QStringLiteral("Bits Output  : 1600"));
    QCOMPARE(Text(window.get(), "StreamLabel"), QStringLiteral("Vexion Data  : 200"));
    QCOMPARE(Text(window.get(), "LoopCountLabel"), QStringLiteral("Vexion Depth : 0"));
    QCOMPARE(Text(window.get(), "DecisionsLabel"), QStringLiteral("Error"));
    QCOMPARE(Text(window.get(), "Label_9"), QStringLiteral("Error"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"zeros.bin"});
    QCOMPARE(RunButtons(window.get()), kAfterRun);
}

void RunWindowTest::errorInRunReenablesButtons() {
    QTemporaryDir dir;
    const QString input =
        write_file(dir, QStringLiteral("data.bin"), to_qbytes(sparse_bytes(3000)));
    auto window = ShowMainWindow();
    ModalAnswerer answer;
    window->settings().set(Setting::LoopCount, "abc");
    window->load_input_file(input);
    Child<QPushButton>(window.get(), "StartButton")->click();
    // The report names the setting at fault, not the run's file.
    QCOMPARE(answer.messages(), QStringList{"Loops: 'abc' is not a valid integer value."});
    QCOMPARE(answer.seen.front().type, QStringLiteral("QMessageBox"));
    QCOMPARE(RunButtons(window.get()), kAfterRun);
    QVERIFY(!window->running());
}

void RunWindowTest::fullDiskGivesTheReason() {
    QTemporaryDir dir;
    const QString input =
        write_file(dir, QStringLiteral("data.bin"), to_qbytes(sparse_bytes(3000)));
    // The rod file's name leads to a device that is always full.
    const QString output = input + QStringLiteral(".rod");
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), output));
    auto window = ShowMainWindow();
    ModalAnswerer answer;
    window->load_input_file(input);
    Child<QPushButton>(window.get(), "StartButton")->click();
    QCOMPARE(Text(window.get(), "ModeLabel"), QStringLiteral("Vexion Mode  : Failed !"));
    QCOMPARE(answer.messages(),
             QStringList{"Cannot write file " + output + ": No space left on device."});
    QCOMPARE(RunButtons(window.get()), kAfterRun);
}

void RunWindowTest::unreadableRodSaysWhy_data() {
    QTest::addColumn<int>("size");  // bytes of a packed file kept; -1: 100 KB of noise
    QTest::newRow("empty") << 0;
    QTest::newRow("3 bytes") << 3;
    QTest::newRow("truncated") << 40;
    QTest::newRow("renamed 100 KB file") << -1;
}

void RunWindowTest::unreadableRodSaysWhy() {
    QFETCH(int, size);
    QTemporaryDir dir;
    QByteArray bytes = to_qbytes(sparse_bytes(100 * 1024, 7, 1));
    if (size >= 0) {
        const QString input =
            write_file(dir, QStringLiteral("data.bin"), to_qbytes(sparse_bytes(3000)));
        auto packer = ShowMainWindow();
        ModalAnswerer answer;
        packer->load_input_file(input);
        Child<QPushButton>(packer.get(), "StartButton")->click();
        bytes = read_file(input + ".rod").left(size);
    }
    const QString rod = write_file(dir, QStringLiteral("bad.bin.rod"), bytes);
    auto window = ShowMainWindow();
    ModalAnswerer answer;
    window->load_input_file(rod);
    Child<QPushButton>(window.get(), "StartButton")->click();
    QCOMPARE(answer.messages().size(), 1);
    // The engine's own words first, then what they mean, then the file.
    const QStringList lines = answer.messages().front().split(u'\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[0].endsWith(u'.') && !lines[0].startsWith(QStringLiteral("Not a rod file")));
    QVERIFY2(lines[1].startsWith(QStringLiteral("Not a rod file, or damaged;")),
             qPrintable(lines[1]));
    QVERIFY(lines[1].contains(QStringLiteral("quorvane-cli detect")));
    QCOMPARE(lines[2], rod);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("bad.bin"))));
}

void RunWindowTest::startNeedsALoad() {
    QTemporaryDir dir;
    const QString input = write_file(dir, QStringLiteral("data.bin"), to_qbytes(sparse_bytes(500)));
    const QString tiny = write_file(dir, QStringLiteral("tiny.bin"), QByteArray(81, 'x'));
    auto window = ShowMainWindow();
    ModalAnswerer answer;
    auto* start = Child<QPushButton>(window.get(), "StartButton");
    window->load_input_file(input);
    QVERIFY(start->isEnabled());
    start->click();
    QVERIFY(!start->isEnabled());
    window->load_input_file(input);
    QVERIFY(start->isEnabled());
    window->load_input_file(tiny);
    QVERIFY(!start->isEnabled());
    // Only the size limit was reported: no run was tried on a closed file.
    QCOMPARE(answer.messages().filter(QStringLiteral("I/O")), QStringList{});
}

void RunWindowTest::chipOnlyForSmallStreams_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("every");
    QTest::addColumn<bool>("chip");
    QTest::newRow("small stream") << 3000 << 50 << true;
    QTest::newRow("stream above 36274 bits") << 6000 << 2 << false;
}

void RunWindowTest::chipOnlyForSmallStreams() {
    QFETCH(int, size);
    QFETCH(int, every);
    QFETCH(bool, chip);
    QTemporaryDir dir;
    const QString input =
        write_file(dir, QStringLiteral("data.bin"), to_qbytes(sparse_bytes(size, 1, every)));
    auto window = ShowMainWindow();
    ModalAnswerer answer;
    window->load_input_file(input);
    Child<QPushButton>(window.get(), "StartButton")->click();
    QCOMPARE(Text(window.get(), "ModeLabel"), QStringLiteral("Vexion Mode  : Succesfull"));
    const int bits = Text(window.get(), "OutputLabel").mid(15).toInt();
    QCOMPARE(bits <= 36274, chip);
    QCOMPARE(answer.count(QStringLiteral("quorvane::TSnippet")), chip ? 1 : 0);
    QCOMPARE(QFile::exists(input + ".bmp"), chip);
}

void RunWindowTest::settingsDialogHoldsRun() {
    QTemporaryDir dir;
    const QString input =
        write_file(dir, QStringLiteral("data.bin"), to_qbytes(sparse_bytes(3000)));
    auto window = ShowMainWindow();
    PumpEveryStep(window.get());
    bool opened_in_run = false;
    int64_t pumps_at_open = -1;
    int64_t pumps_at_close = -2;
    ModalAnswerer answer([&](QWidget* modal) {
        if (qobject_cast<TFractalSet*>(modal) != nullptr) {
            opened_in_run = window->running();
            pumps_at_open = window->front_end().pump_count();
            QTest::qWait(150);
            pumps_at_close = window->front_end().pump_count();
            // A change made now is read by the rest of the run.
            Child<QCheckBox>(modal, "NoLoopsCheckBox")->click();
        }
        return true;
    });
    window->load_input_file(input);
    QAction* options = Child<QAction>(window.get(), "Options");
    QTimer::singleShot(0, options, [options]() { options->trigger(); });
    Child<QPushButton>(window.get(), "StartButton")->click();
    QVERIFY(opened_in_run);
    QCOMPARE(pumps_at_close, pumps_at_open);
    QVERIFY(window->front_end().pump_count() > pumps_at_open);
    QCOMPARE(Text(window.get(), "LoopModeLabel"), QStringLiteral("Algorithm    : Single cycles"));
    QCOMPARE(Text(window.get(), "ModeLabel"), QStringLiteral("Vexion Mode  : Succesfull"));
}

void RunWindowTest::stopDuringRun_data() {
    QTest::addColumn<StopBy>("how");
    QTest::newRow("Exit button") << StopBy::ExitButton;
    QTest::newRow("window closed") << StopBy::CloseWindow;
    QTest::newRow("Escape key") << StopBy::EscapeKey;
}

void RunWindowTest::stopDuringRun() {
    QFETCH(StopBy, how);
    QTemporaryDir dir;
    const QString input =
        write_file(dir, QStringLiteral("data.bin"), to_qbytes(sparse_bytes(3000)));
    auto window = ShowMainWindow();
    window->settings().set(Setting::RodSize, "3");
    ModalAnswerer answer;
    PumpEveryStep(window.get());
    QSignalSpy ended(window.get(), &TZivIduv::terminationRequested);
    window->load_input_file(input);
    int64_t pumps_at_stop = -1;
    TZivIduv* w = window.get();
    // Well into the run, among the passes: the stop comes from the 500th step on.
    QTimer watch;
    watch.setInterval(0);
    connect(&watch, &QTimer::timeout, w, [&, w]() {
        if (!w->running() || w->front_end().pump_count() < 500) return;
        watch.stop();
        pumps_at_stop = w->front_end().pump_count();
        switch (how) {
            case StopBy::ExitButton:
                Child<QPushButton>(w, "Exit_Button")->click();
                break;
            case StopBy::CloseWindow:
                w->close();
                break;
            case StopBy::EscapeKey:
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
                break;
        }
    });
    watch.start();
    Child<QPushButton>(window.get(), "StartButton")->click();
    // Escape stops the run alone: the program and its settings stay.
    QCOMPARE(ended.count(), how == StopBy::EscapeKey ? 0 : 1);
    QVERIFY(!window->running());
    if (how == StopBy::EscapeKey) {
        QCOMPARE(Text(window.get(), "ModeLabel"), QStringLiteral("Vexion Mode  : Stopped"));
        QCOMPARE(Text(window.get(), "RodSize"), QStringLiteral("3"));
    }
    // The run stopped at the step that saw the request and wrote nothing, not even a
    // temporary file.
    QVERIFY(pumps_at_stop >= 500);
    QCOMPARE(window->front_end().pump_count(), pumps_at_stop);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"data.bin"});
    QVERIFY(answer.seen.isEmpty());
    QCOMPARE(RunButtons(window.get()), kAfterRun);
}

void RunWindowTest::dropIgnoredDuringRun() {
    QTemporaryDir dir;
    const QString input =
        write_file(dir, QStringLiteral("data.bin"), to_qbytes(sparse_bytes(3000)));
    const QString other =
        write_file(dir, QStringLiteral("other.bin"), to_qbytes(sparse_bytes(500)));
    auto window = ShowMainWindow();
    ModalAnswerer answer;
    PumpEveryStep(window.get());
    window->load_input_file(input);
    bool enter_accepted = true;
    bool drop_accepted = true;
    TZivIduv* w = window.get();
    QTimer::singleShot(0, w, [&, w]() {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(other)});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, {});
        enter.setAccepted(false);
        QApplication::sendEvent(w, &enter);
        enter_accepted = enter.isAccepted();
        QDropEvent drop(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, {});
        drop.setAccepted(false);
        QApplication::sendEvent(w, &drop);
        drop_accepted = drop.isAccepted();
    });
    Child<QPushButton>(window.get(), "StartButton")->click();
    QVERIFY(!enter_accepted);
    QVERIFY(!drop_accepted);
    QCOMPARE(window->engine().input.InputPath, input.toStdString());
    QVERIFY(QFile::exists(input + ".rod"));
    QVERIFY(!QFile::exists(other + ".rod"));
}

void RunWindowTest::labelsWaitForThePump() {
    auto window = ShowMainWindow();
    WindowFrontEnd& ui = window->front_end();
    ui.set_pump_interval(std::chrono::hours(1));
    ui.proceed();  // the interval starts now
    ui.set_label(Label::InputLabel, "Bits Input   : 8");
    ui.set_gauge(Gauge::LoopProgressBar, 127, 300);
    ui.proceed();
    // Stored, not yet shown.
    QCOMPARE(Text(window.get(), "InputLabel"), QStringLiteral("Bits Input   : 0"));
    QCOMPARE(ui.label_text(Label::InputLabel), std::string("Bits Input   : 8"));
    ui.set_pump_interval(std::chrono::milliseconds(0));
    ui.proceed();
    QCOMPARE(Text(window.get(), "InputLabel"), QStringLiteral("Bits Input   : 8"));
    // Progress beyond the maximum shows as full.
    QCOMPARE(Child<QProgressBar>(window.get(), "LoopProgressBar")->value(), 127);
}

QTEST_MAIN(RunWindowTest)
#include "run_window_test.moc"
