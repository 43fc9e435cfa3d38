// chart_study_test.cpp -- the run chart against the records of the same run made apart from the
// window, the study window against the command line's study, taking a setting from the table,
// cancelling a study, a study and a run kept apart, and the saved files.
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProcess>
#include <QPushButton>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>
#include <span>

#include "gui_test_support.h"
#include "run/run_driver.h"
#include "ui/chart_files.h"
#include "ui/run_chart_window.h"
#include "ui/settings_dialog.h"
#include "ui/study_window.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

// The records of a run made apart from the window, its settings read from texts as the window
// reads its labels.
class Reference : public RunObserver {
  public:
    explicit Reference(SettingTexts& texts) : texts_(texts) {}
    void read_setting(LiveSetting which, Settings& settings) override {
        texts_.read(which, settings);
    }
    void setting_changed(LiveSetting which, const Settings& settings) override {
        texts_.write(which, settings);
    }
    void cycle_started(int32_t, int64_t stream_bits) override {
        ++starts;
        line << static_cast<qreal>(stream_bits);
        ran.assign(1, stream_bits);
    }
    void pass_done(const PassRecord& pass) override {
        passes.push_back(pass);
        const auto at = static_cast<size_t>(pass.pass);
        if (pass.fate == PassFate::Ran) {
            line << static_cast<qreal>(pass.bits_out);
            ran.resize(std::max(ran.size(), at + 1));
            ran[at] = pass.bits_out;
        } else if (pass.fate == PassFate::Undone) {
            // Shown at the size the pass had made.
            undone << static_cast<qreal>(ran.at(at));
        } else {
            fallbacks << static_cast<qreal>(pass.bits_out);
        }
    }
    void cycle_done(const CycleRecord& cycle) override { cycles.push_back(cycle); }
    void round_started(const RoundRecord& round) override { rounds.push_back(round); }
    void reverse_pass_done(const ReversePassRecord& pass) override { reverses.push_back(pass); }

    int starts = 0;
    QList<qreal> line;  // each cycle's start, then its passes that ran
    QList<qreal> undone;
    QList<qreal> fallbacks;
    std::vector<int64_t> ran;  // the cycle's passes that ran, by number
    std::vector<PassRecord> passes;
    std::vector<CycleRecord> cycles;
    std::vector<RoundRecord> rounds;
    std::vector<ReversePassRecord> reverses;

  private:
    SettingTexts& texts_;
};

QList<qreal> Ys(QChart* chart, const char* name) {
    for (QAbstractSeries* series : chart->series()) {
        if (series->objectName() == QLatin1String(name)) {
            QList<qreal> ys;
            for (const QPointF& p : static_cast<QXYSeries*>(series)->points())
                ys << p.y();
            return ys;
        }
    }
    qFatal("no series %s", name);
}

// A file whose cycle undoes its last seven passes (their streams do not restore) at rod size 13
// and depth 2.
QByteArray UndoingInput() {
    QByteArray input(199, '\0');
    const std::pair<int, uint8_t> set[] = {{2, 0x36},   {3, 0x95},  {14, 0x44},  {27, 0xf8},
                                           {58, 0x79},  {64, 0xb7}, {119, 0x76}, {144, 0x3a},
                                           {175, 0x90}, {194, 0x2d}};
    for (const auto& [at, value] : set)
        input[at] = static_cast<char>(value);
    return input;
}

std::span<const uint8_t> Bytes(const QByteArray& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())};
}

// Waits for a study to end.
bool StudyEnds(StudyWindow* study, int ms = 60000) {
    return QTest::qWaitFor([study] { return !study->studying(); }, ms);
}

}  // namespace

class ChartStudyTest : public QObject {
    Q_OBJECT

  private slots:
    // The windows' remembered geometry goes to a place of the tests' own.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void chartFollowsPackingAndUnpacking();
    void studyTableIsTheCommandLinesStudy();
    void doubleClickTakesTheSetting();
    void cancelStopsAStudy();
    void studyAndRunKeptApart();
    void savedFiles();
};

void ChartStudyTest::chartFollowsPackingAndUnpacking() {
    QTemporaryDir dir;
    const QByteArray input = UndoingInput();
    const QString path = write_file(dir, QStringLiteral("undo.bin"), input);
    auto window = ShowMainWindow();
    ModalAnswerer answer;
    window->settings().set(Setting::RodSize, "13");
    window->settings().set(Setting::Depth, "2");
    window->ChartClick();
    RunChartWindow* chart = window->chart_window();
    QVERIFY(chart->isVisible());
    window->load_input_file(path);
    window->StartButtonClick();
    chart->refresh();

    SettingTexts texts;
    texts.set(Setting::RodSize, "13");
    texts.set(Setting::Depth, "2");
    Reference packing(texts);
    const RunResult packed = pack_buffer(Bytes(input), Settings{}, packing);
    QCOMPARE(packed.outcome, RunOutcome::Tested);

    QVERIFY(packing.starts >= 1);
    QVERIFY(packing.undone.size() >= 7);
    QCOMPARE(Ys(chart->chart(), "passes"), packing.line);
    QCOMPARE(Ys(chart->chart(), "starts").size(), packing.starts);
    QCOMPARE(Ys(chart->chart(), "undone"), packing.undone);
    QCOMPARE(Ys(chart->chart(), "fallbacks"), packing.fallbacks);
    QList<qreal> best;
    for (const CycleRecord& c : packing.cycles) {
        if (c.best_bits > 0) best << static_cast<qreal>(c.best_bits);
    }
    QVERIFY(!best.isEmpty());
    QCOMPARE(Ys(chart->chart(), "best"), best);
    const auto level = static_cast<qreal>(packing.passes.front().level_bits);
    QCOMPARE(Ys(chart->chart(), "level"), (QList<qreal>{level, level}));
    QCOMPARE(Ys(chart->chart(), "rounds"), QList<qreal>{});

    // Unpacking: each round's data, its reverse passes, and what the round gave back.
    Reference unpacking(texts);
    QFile::remove(path);
    const QByteArray rod = read_file(path + ".rod");
    QVERIFY(!rod.isEmpty());
    QCOMPARE(unpack_buffer(Bytes(rod), Settings{}, unpacking).bytes,
             std::vector<uint8_t>(input.begin(), input.end()));
    window->load_input_file(path + ".rod");
    window->StartButtonClick();
    QCOMPARE(read_file(path), input);
    chart->refresh();
    QList<qreal> reverse_line;
    QList<qreal> round_ends;
    size_t next = 0;
    for (const RoundRecord& r : unpacking.rounds) {
        reverse_line << static_cast<qreal>(r.data_bits);
        qreal end = static_cast<qreal>(r.data_bits);
        for (; next < unpacking.reverses.size() && unpacking.reverses[next].cycle == r.cycle;
             ++next) {
            end = static_cast<qreal>(unpacking.reverses[next].bits_out);
            reverse_line << end;
        }
        round_ends << end;
    }
    QCOMPARE(next, unpacking.reverses.size());
    QCOMPARE(Ys(chart->chart(), "passes"), reverse_line);
    QCOMPARE(Ys(chart->chart(), "rounds"), round_ends);
    QCOMPARE(Ys(chart->chart(), "undone"), QList<qreal>{});
    QCOMPARE(Ys(chart->chart(), "level"), QList<qreal>{});
}

// A main window with a file of these bytes loaded and its study window open, the sweep's fields
// filled (lz77: the combo box's index; empty texts keep the fields' defaults).
struct OpenStudy {
    OpenStudy(const QByteArray& bytes, const QString& rod_sizes, int lz77 = 0,
              const QString& depths = {})
        : path(write_file(dir, QStringLiteral("sparse.bin"), bytes)), window(ShowMainWindow()) {
        window->load_input_file(path);
        window->StudyClick();
        study = window->study_window();
        Child<QLineEdit>(study, "RodSizes")->setText(rod_sizes);
        Child<QComboBox>(study, "Lz77")->setCurrentIndex(lz77);
        if (!depths.isEmpty()) Child<QLineEdit>(study, "Depths")->setText(depths);
    }

    QTemporaryDir dir;
    QString path;
    std::unique_ptr<TZivIduv> window;
    ModalAnswerer answer;
    StudyWindow* study = nullptr;
};

void ChartStudyTest::studyTableIsTheCommandLinesStudy() {
    OpenStudy open(to_qbytes(sparse_bytes(3000, 1, 40)), QStringLiteral("2,5-6"), 2,
                   QStringLiteral("1,4"));
    StudyWindow* study = open.study;
    const QString& path = open.path;
    QTest::mouseClick(Child<QPushButton>(study, "StartStudy"), Qt::LeftButton);
    QVERIFY(StudyEnds(study));
    QVERIFY(open.answer.seen.isEmpty());

    QProcess cli;
    cli.start(QStringLiteral(QUORVANE_CLI),
              {"study", "--json", "-r", "2,5-6", "--lz77", "both", "-d", "1,4", path});
    QVERIFY(cli.waitForFinished(60000));
    const QJsonArray results = QJsonDocument::fromJson(cli.readAllStandardOutput())
                                   .object()["files"]
                                   .toArray()[0]
                                   .toObject()["results"]
                                   .toArray();
    QTableWidget* table = study->table();
    QCOMPARE(table->rowCount(), 12);
    QCOMPARE(results.size(), 12);
    // Sorted by rod bytes, the rows still match by their settings.
    table->sortByColumn(5, Qt::DescendingOrder);
    int matched = 0;
    for (int row = 0; row < table->rowCount(); ++row) {
        const auto at = [&](int column) { return table->item(row, column)->data(Qt::DisplayRole); };
        for (const QJsonValue& value : results) {
            const QJsonObject r = value.toObject();
            if (r["rod_size"].toInt() != at(1).toInt() || r["depth"].toInt() != at(3).toInt() ||
                r["lz77"].toBool() != (at(2).toString() == u"on")) {
                continue;
            }
            ++matched;
            QCOMPARE(at(4).toString(), r["outcome"].toString());
            QCOMPARE(at(5).toLongLong(), r["rod_bytes"].toInteger());
            QCOMPARE(at(6).toDouble(), r["ratio"].toDouble());
            QCOMPARE(at(7).toInt(), r["cycles"].toInt());
            QCOMPARE(at(8).toLongLong(), r["passes"].toInteger());
        }
    }
    QCOMPARE(matched, 12);
}

void ChartStudyTest::doubleClickTakesTheSetting() {
    OpenStudy open(to_qbytes(sparse_bytes(2000, 1, 40)), QStringLiteral("7,3"), 1,
                   QStringLiteral("5"));
    StudyWindow* study = open.study;
    TZivIduv* window = open.window.get();
    study->StartClick();
    QVERIFY(StudyEnds(study));
    QTableWidget* table = study->table();
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("7"));
    const QRect cell = table->visualItemRect(table->item(0, 1));
    // A real double-click: the view reacts to the second press only on the cell the first hit.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(window->settings().text(Setting::RodSize), std::string("7"));
    QCOMPARE(window->settings().text(Setting::Depth), std::string("5"));
    QCOMPARE(window->settings().text(Setting::Lz77), std::string(""));
    // The main window's labels and the settings dialog show them.
    QCOMPARE(Child<QLabel>(window, "RodSize")->text(), QStringLiteral("7"));
    window->settings_dialog()->FormActivate();
    QCOMPARE(Child<QLabel>(window->settings_dialog(), "Rod")->text(), QStringLiteral("7"));
    QVERIFY(Child<QCheckBox>(window->settings_dialog(), "ZIPBox")->isChecked());
}

void ChartStudyTest::cancelStopsAStudy() {
    // Far more work than the test waits for.
    OpenStudy open(to_qbytes(sparse_bytes(32000)), QStringLiteral("2-128"), 0,
                   QStringLiteral("1-3"));
    StudyWindow* study = open.study;
    QSignalSpy ended(study, &StudyWindow::studyFinished);
    study->StartClick();
    QVERIFY(study->studying());
    QTest::qWait(100);
    QTest::mouseClick(Child<QPushButton>(study, "CancelStudy"), Qt::LeftButton);
    QVERIFY(ended.wait(5000));
    QVERIFY(!study->studying());
    QVERIFY(study->result().measurements.size() < 10);
    QCOMPARE(study->table()->rowCount(), 0);
    QVERIFY(Child<QPushButton>(study, "StartStudy")->isEnabled());
    // Closing the program during a study stops it too.
    study->StartClick();
    QVERIFY(study->studying());
    open.window.reset();
}

void ChartStudyTest::studyAndRunKeptApart() {
    OpenStudy open(to_qbytes(sparse_bytes(32000)), QStringLiteral("2-128"));
    StudyWindow* study = open.study;
    TZivIduv* window = open.window.get();
    ModalAnswerer& answer = open.answer;
    const QString& path = open.path;
    study->StartClick();
    QVERIFY(study->studying());
    // Start is refused while the study goes: no run, no output.
    window->StartButtonClick();
    QCOMPARE(answer.messages(),
             QStringList{QStringLiteral("A study is under way. Start the run when it ends.")});
    QVERIFY(!QFile::exists(path + ".rod"));
    study->CancelClick();
    QVERIFY(StudyEnds(study, 5000));

    // A study asked for during a run is refused.
    answer.seen.clear();
    window->front_end().set_pump_interval(std::chrono::milliseconds(0));
    bool tried = false;
    QTimer::singleShot(0, study, [&] {
        tried = true;
        study->StartClick();
    });
    window->StartButtonClick();
    QVERIFY(tried);
    QVERIFY(answer.messages().contains(
        QStringLiteral("A run is under way. Start the study when it ends.")));
    QVERIFY(QFile::exists(path + ".rod"));
}

void ChartStudyTest::savedFiles() {
    QTemporaryDir dir;
    const QString path =
        write_file(dir, QStringLiteral("sparse.bin"), to_qbytes(sparse_bytes(1000, 1, 40)));
    auto window = ShowMainWindow();
    ModalAnswerer answer;
    window->ChartClick();
    window->load_input_file(path);
    window->StartButtonClick();
    RunChartWindow* chart = window->chart_window();
    chart->refresh();

    const QString png = dir.filePath(QStringLiteral("chart.png"));
    const QString svg = dir.filePath(QStringLiteral("chart.svg"));
    write_picture(chart->view(), png);
    write_picture(chart->view(), svg);
    QImage picture(png);
    QCOMPARE(picture.size(), chart->view()->grab().size());
    const QByteArray drawn = read_file(svg);
    QVERIFY(drawn.contains("<svg"));
    QVERIFY(drawn.contains("</svg>"));

    const QString csv = dir.filePath(QStringLiteral("chart.csv"));
    write_text_file(csv, chart->records().csv());
    const QList<QByteArray> lines = read_file(csv).trimmed().split('\n');
    QCOMPARE(lines.front(), QByteArray("event,x,cycle,pass,bits,best_bits,level_bits"));
    QCOMPARE(lines.size(), static_cast<qsizetype>(chart->records().records().size()) + 1);
    QVERIFY(lines.at(1).startsWith("cycle start,0,1,0,8000,"));
    // No temporary file is left beside them.
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
        QVERIFY2(!name.startsWith(u'.'), qPrintable(name));
}

QTEST_MAIN(ChartStudyTest)
#include "chart_study_test.moc"
