// screenshots.cpp -- driving the windows through one packing run and grabbing them.
#include "app/screenshots.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <random>

#include "app/about_box.h"
#include "app/main_window.h"
#include "ui/chart_files.h"
#include "ui/run_chart_window.h"
#include "ui/snippet_dialog.h"
#include "ui/study_window.h"

namespace quorvane {

int take_screenshots(TZivIduv& window, const QString& folder) {
    QTemporaryDir work;
    if (!QDir().mkpath(folder) || !work.isValid()) {
        std::fprintf(stderr, "quorvane: cannot use folder %s\n", qPrintable(folder));
        return 1;
    }
    // Mostly zero bytes with a random one in fifty: packs well and gets a chip code.
    QByteArray sample(3000, '\0');
    std::mt19937 rng(7);
    for (char& byte : sample) {
        if (rng() % 50 == 0) byte = static_cast<char>(rng() & 0xFF);
    }
    const QString input = work.filePath(QStringLiteral("sample.bin"));
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly) || file.write(sample) != sample.size()) return 1;
    file.close();

    bool chip_saved = false;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* snippet = qobject_cast<TSnippet*>(modal)) {
            chip_saved = snippet->grab().save(QDir(folder).filePath("chip-dialog.png"));
            snippet->reject();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->accept();
        }
    });
    answer.start();

    window.show();
    const QDeadlineTimer deadline(10000);
    while (window.tablet_bits().empty() && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    window.load_input_file(input);
    window.StartButtonClick();
    QApplication::processEvents();
    const bool main_saved = window.grab().save(QDir(folder).filePath("main-window.png"));

    // The chart of that run, and its data.
    window.ChartClick();
    RunChartWindow* chart = window.chart_window();
    chart->resize(760, 480);
    chart->refresh();
    QApplication::processEvents();
    const bool chart_saved = chart->grab().save(QDir(folder).filePath("chart-window.png"));
    write_text_file(QDir(folder).filePath("run-chart.csv"), chart->records().csv());
    chart->close();

    // The study of the same file under the default sweep.
    window.StudyClick();
    StudyWindow* study = window.study_window();
    study->resize(900, 640);
    study->StartClick();
    const QDeadlineTimer study_deadline(60000);
    while (study->studying() && !study_deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QApplication::processEvents();
    const bool study_saved =
        !study->studying() && study->grab().save(QDir(folder).filePath("study-window.png"));
    study->close();
    answer.stop();
    if (!main_saved || !chip_saved || !chart_saved || !study_saved) {
        std::fprintf(stderr, "quorvane: the screenshots could not be made\n");
        return 1;
    }
    return 0;
}

}  // namespace quorvane
