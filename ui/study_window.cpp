// study_window.cpp -- the sweep read from the fields, the engine's study on a thread of its own,
// and its results drawn and tabled.
#include "ui/study_window.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <QValueAxis>
#include <atomic>
#include <cstdio>

#include "engine/errors.h"
#include "status/study_report.h"
#include "ui/chart_files.h"
#include "ui/message_boxes.h"
#include "ui/run_chart_window.h"

namespace quorvane {

// What the worker thread and the window share.
struct StudyWindow::Job {
    std::atomic<bool> cancel{false};
    std::atomic<size_t> done{0};
    FileStudy result;
};

namespace {

enum Column {
    kSettings,
    kRodSize,
    kLz77,
    kDepth,
    kOutcome,
    kRodBytes,
    kRatio,
    kCycles,
    kPasses,
    kPackMs,
    kRestoreMs,
    kColumns
};

const char* const kHeaders[kColumns] = {"Settings", "Rod size",  "LZ77",      "Depth",
                                        "Outcome",  "Rod bytes", "Ratio",     "Cycles",
                                        "Passes",   "Pack ms",   "Restore ms"};

QString setting_name(const StudySetting& s) {
    return QStringLiteral("r%1 %2d%3").arg(s.rod_size).arg(s.lz77 ? "Z " : "").arg(s.depth);
}

double ratio_of(int64_t output, int64_t input) {
    return input > 0 ? static_cast<double>(output) / static_cast<double>(input) : 0.0;
}

// A cell that sorts by its value, not by its text.
QTableWidgetItem* cell(const QVariant& value) {
    auto* item = new QTableWidgetItem();
    item->setData(Qt::DisplayRole, value);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    // Numbers line up at the right.
    if (value.typeId() != QMetaType::QString)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QVariant rounded(double value, int digits) {
    return QString::number(value, 'f', digits).toDouble();
}

std::vector<int> list_of(const QLineEdit* field, const QString& name, int low, int high) {
    const std::string text = field->text().trimmed().toStdString();
    std::optional<std::vector<int>> values = number_list(text, low, high);
    if (!values) {
        throw EngineError("invalid value '" + text + "' for " + name.toStdString() +
                          " (a list within " + std::to_string(low) + ".." + std::to_string(high) +
                          ")");
    }
    return std::move(*values);
}

}  // namespace

StudyWindow::StudyWindow(SettingTexts& settings, std::function<QString()> loaded_file,
                         std::function<bool()> run_under_way, QWidget* parent)
    : QWidget(parent, Qt::Window),
      settings_(settings),
      loaded_file_(std::move(loaded_file)),
      run_under_way_(std::move(run_under_way)) {
    setObjectName(QStringLiteral("Study"));
    setWindowTitle(QStringLiteral("Study"));
    setMinimumSize(560, 460);
    resize(900, 640);

    rod_sizes_ = new QLineEdit(QStringLiteral("2,3,4,8"), this);
    rod_sizes_->setObjectName(QStringLiteral("RodSizes"));
    rod_sizes_->setToolTip(QStringLiteral("Numbers and ranges: 2,3,8 or 2-16"));
    lz77_ = new QComboBox(this);
    lz77_->setObjectName(QStringLiteral("Lz77"));
    lz77_->addItems({QStringLiteral("on"), QStringLiteral("off"), QStringLiteral("both")});
    depths_ = new QLineEdit(QStringLiteral("1"), this);
    depths_->setObjectName(QStringLiteral("Depths"));
    depths_->setToolTip(QStringLiteral("Numbers and ranges within 1..60"));
    start_ = new QPushButton(QStringLiteral("Start"), this);
    start_->setObjectName(QStringLiteral("StartStudy"));
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("CancelStudy"));
    cancel_->setEnabled(false);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("StudyProgress"));
    progress_->setRange(0, 1);
    progress_->setValue(0);

    auto* fields = new QFormLayout();
    fields->addRow(QStringLiteral("Rod sizes:"), rod_sizes_);
    fields->addRow(QStringLiteral("LZ77:"), lz77_);
    fields->addRow(QStringLiteral("Depth:"), depths_);
    auto* controls = new QVBoxLayout();
    controls->addWidget(start_);
    controls->addWidget(cancel_);
    controls->addStretch(1);
    auto* top = new QHBoxLayout();
    top->addLayout(fields, 1);
    top->addLayout(controls);

    chart_ = new QChart();
    chart_->setObjectName(QStringLiteral("StudyChart"));
    chart_->legend()->setAlignment(Qt::AlignBottom);
    bars_ = new QBarSeries(chart_);
    bars_->setObjectName(QStringLiteral("ratios"));
    chart_->addSeries(bars_);
    const struct {
        Baseline baseline;
        QColor colour;
        Qt::PenStyle style;
    } kLines[] = {{Baseline::Zlib, QColor(0xd0, 0x30, 0x30), Qt::DashLine},
                  {Baseline::Zstd, QColor(0x20, 0x80, 0x30), Qt::DashDotLine},
                  {Baseline::Xz, QColor(0x70, 0x30, 0xb0), Qt::DotLine}};
    for (const auto& line : kLines) {
        auto* series = new QLineSeries(chart_);
        series->setObjectName(QString::fromLatin1(baseline_name(line.baseline)));
        series->setName(QString::fromLatin1(baseline_label(line.baseline)));
        series->setPen(QPen(line.colour, 2, line.style));
        chart_->addSeries(series);
        baseline_lines_.emplace_back(line.baseline, series);
    }
    settings_axis_ = new QBarCategoryAxis(chart_);
    ratio_axis_ = new QValueAxis(chart_);
    ratio_axis_->setTitleText(QStringLiteral("Ratio"));
    ratio_axis_->setLabelFormat(QStringLiteral("%.2f"));
    chart_->addAxis(settings_axis_, Qt::AlignBottom);
    chart_->addAxis(ratio_axis_, Qt::AlignLeft);
    bars_->attachAxis(settings_axis_);
    bars_->attachAxis(ratio_axis_);
    for (const auto& [baseline, series] : baseline_lines_) {
        series->attachAxis(settings_axis_);
        series->attachAxis(ratio_axis_);
        // No reference line in the legend before there is one.
        chart_->legend()->markers(series).front()->setVisible(false);
    }
    view_ = new QChartView(chart_, this);
    view_->setObjectName(QStringLiteral("StudyView"));
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setMinimumHeight(240);

    verdict_ = new QLabel(
        QStringLiteral("Choose the settings to try on the file loaded in the main window, then "
                       "Start."),
        this);
    verdict_->setObjectName(QStringLiteral("Verdict"));
    verdict_->setWordWrap(true);

    table_ = new QTableWidget(0, kColumns, this);
    table_->setObjectName(QStringLiteral("StudyTable"));
    QStringList headers;
    for (const char* header : kHeaders)
        headers << QString::fromLatin1(header);
    table_->setHorizontalHeaderLabels(headers);
    // The sweep's own order until the user sorts by a column.
    table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    table_->setSortingEnabled(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setToolTip(QStringLiteral("Double-click a row to take its settings"));
    connect(table_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { take_setting(row); });

    auto* save_picture = new QPushButton(QStringLiteral("Save picture…"), this);
    save_picture->setObjectName(QStringLiteral("SavePicture"));
    auto* save_table = new QPushButton(QStringLiteral("Save table…"), this);
    save_table->setObjectName(QStringLiteral("SaveTable"));
    auto* bottom = new QHBoxLayout();
    bottom->addStretch(1);
    bottom->addWidget(save_picture);
    bottom->addWidget(save_table);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(view_);
    split->addWidget(table_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(progress_);
    layout->addWidget(verdict_);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);

    connect(start_, &QPushButton::clicked, this, &StudyWindow::StartClick);
    connect(cancel_, &QPushButton::clicked, this, &StudyWindow::CancelClick);
    connect(save_picture, &QPushButton::clicked, this, &StudyWindow::SavePictureClick);
    connect(save_table, &QPushButton::clicked, this, &StudyWindow::SaveTableClick);
    progress_timer_.setInterval(50);
    connect(&progress_timer_, &QTimer::timeout, this,
            [this] { progress_->setValue(static_cast<int>(job_ ? job_->done.load() : 0)); });
    restore_window_geometry(this, objectName());
}

StudyWindow::~StudyWindow() {
    if (thread_ != nullptr) {
        // The study stops at its next step; its result goes nowhere.
        job_->cancel = true;
        thread_->disconnect(this);
        thread_->wait();
        delete thread_;
    }
}

std::vector<StudySetting> StudyWindow::sweep() const {
    const std::vector<int> rod_sizes =
        list_of(rod_sizes_, QStringLiteral("rod sizes"), kStudyMinRodSize, kStudyMaxRodSize);
    const std::vector<int> depths =
        list_of(depths_, QStringLiteral("depth"), kStudyMinDepth, kStudyMaxDepth);
    std::vector<bool> lz77 = {true};
    if (lz77_->currentIndex() == 1) lz77 = {false};
    if (lz77_->currentIndex() == 2) lz77 = {true, false};
    return study_sweep(rod_sizes, depths, lz77, {}, false);
}

void StudyWindow::set_busy(bool busy) {
    start_->setEnabled(!busy);
    cancel_->setEnabled(busy);
    for (QWidget* field : {static_cast<QWidget*>(rod_sizes_), static_cast<QWidget*>(lz77_),
                           static_cast<QWidget*>(depths_)})
        field->setEnabled(!busy);
}

void StudyWindow::StartClick() {
    if (thread_ != nullptr) return;
    if (run_under_way_ && run_under_way_()) {
        show_message_box(this, QStringLiteral("A run is under way. Start the study when it ends."));
        return;
    }
    const QString file = loaded_file_ ? loaded_file_() : QString();
    if (file.isEmpty()) {
        show_message_box(this, QStringLiteral("Load a file in the main window first."));
        return;
    }
    std::vector<StudySetting> sweep;
    try {
        sweep = this->sweep();
    } catch (const EngineError& error) {
        show_error_report(this, error);
        return;
    }
    studied_sweep_ = sweep;
    job_ = std::make_shared<Job>();
    progress_->setRange(0, static_cast<int>(sweep.size()));
    progress_->setValue(0);
    verdict_->setText(QStringLiteral("Studying %1 under %2 settings…")
                          .arg(QFileInfo(file).fileName())
                          .arg(sweep.size()));
    const std::string path = QFile::encodeName(file).toStdString();
    thread_ = QThread::create([job = job_, path, sweep] {
        job->result = study_path(
            path, StudyPlan{sweep, {Baseline::Zlib, Baseline::Zstd, Baseline::Xz}, false},
            [&job] { return !job->cancel.load(); }, [&job](size_t done) { job->done = done; });
    });
    connect(thread_, &QThread::finished, this, &StudyWindow::finished);
    set_busy(true);
    progress_timer_.start();
    thread_->start();
}

void StudyWindow::CancelClick() {
    if (job_) job_->cancel = true;
}

void StudyWindow::finished() {
    progress_timer_.stop();
    thread_->wait();
    thread_->deleteLater();
    thread_ = nullptr;
    set_busy(false);
    const bool cancelled = job_->cancel.load();
    result_ = std::move(job_->result);
    job_.reset();
    if (cancelled) {
        progress_->setValue(0);
        verdict_->setText(QStringLiteral("Study cancelled."));
    } else {
        progress_->setValue(progress_->maximum());
        show_result();
    }
    emit studyFinished();
}

void StudyWindow::show_result() {
    bars_->clear();
    for (const auto& [baseline, series] : baseline_lines_) {
        series->clear();
        chart_->legend()->markers(series).front()->setVisible(false);
    }
    settings_axis_->clear();
    table_->setSortingEnabled(false);
    table_->setRowCount(0);
    const FileStudy& f = result_;
    if (f.error) {
        try {
            std::rethrow_exception(f.error);
        } catch (const std::exception& error) {
            verdict_->setText(error_report_text(error, QString::fromStdString(f.path)));
        }
        return;
    }
    if (f.skipped) {
        verdict_->setText(
            QStringLiteral("Not studied: %1.").arg(QString::fromStdString(*f.skipped)));
        return;
    }

    auto* ratios = new QBarSet(QStringLiteral("Rod stream / file"));
    QStringList names;
    double top = ratio_of(f.zlib_bytes, f.input_bytes);
    table_->setRowCount(static_cast<int>(studied_sweep_.size()));
    for (size_t i = 0; i < studied_sweep_.size(); ++i) {
        const StudySetting& s = studied_sweep_[i];
        const StudyMeasurement& m = f.measurements[i];
        const bool packed = m.outcome != StudyOutcome::NotSuccessful;
        const double ratio = ratio_of(counted_bytes(m, f.input_bytes), f.input_bytes);
        names << setting_name(s);
        *ratios << ratio;
        top = std::max(top, ratio);
        const int row = static_cast<int>(i);
        QTableWidgetItem* name = cell(setting_name(s));
        name->setData(Qt::UserRole, static_cast<int>(i));
        table_->setItem(row, kSettings, name);
        table_->setItem(row, kRodSize, cell(s.rod_size));
        table_->setItem(row, kLz77, cell(s.lz77 ? QStringLiteral("on") : QStringLiteral("off")));
        table_->setItem(row, kDepth, cell(s.depth));
        table_->setItem(row, kOutcome, cell(QString::fromLatin1(outcome_name(m.outcome))));
        table_->setItem(row, kRodBytes,
                        cell(packed ? QVariant(qlonglong{m.rod_bytes}) : QVariant()));
        table_->setItem(
            row, kRatio,
            cell(packed ? rounded(ratio_of(m.rod_bytes, f.input_bytes), 4) : QVariant()));
        table_->setItem(row, kCycles, cell(packed ? QVariant(m.cycles) : QVariant()));
        table_->setItem(row, kPasses, cell(packed ? QVariant(qlonglong{m.passes}) : QVariant()));
        table_->setItem(row, kPackMs, cell(rounded(m.pack_ms, 1)));
        table_->setItem(row, kRestoreMs, cell(packed ? rounded(m.restore_ms, 1) : QVariant()));
    }
    table_->setSortingEnabled(true);
    bars_->append(ratios);
    settings_axis_->append(names);
    for (const auto& [baseline, series] : baseline_lines_) {
        const std::optional<int64_t> bytes = f.baseline(baseline);
        if (!bytes) continue;
        const double ratio = ratio_of(*bytes, f.input_bytes);
        // Across the whole width: the bars stand at 0 .. n-1.
        series->append(-0.5, ratio);
        series->append(static_cast<double>(names.size()) - 0.5, ratio);
        chart_->legend()->markers(series).front()->setVisible(true);
        top = std::max(top, ratio);
    }
    const double zlib = ratio_of(f.zlib_bytes, f.input_bytes);
    ratio_axis_->setRange(0, std::max(top * 1.1, 0.05));
    ratio_axis_->applyNiceNumbers();

    const QString file = QFileInfo(QString::fromStdString(f.path)).fileName();
    if (f.best < 0) {
        verdict_->setText(QStringLiteral("%1: no setting packed the file; zlib takes it to %2.")
                              .arg(file)
                              .arg(zlib, 0, 'f', 3));
        return;
    }
    const StudyMeasurement& best = f.measurements[static_cast<size_t>(f.best)];
    const double ratio = ratio_of(best.rod_bytes, f.input_bytes);
    const QString name = setting_name(studied_sweep_[static_cast<size_t>(f.best)]);
    // The verdict against the smallest compressor's file, as study gives it: no softening.
    const std::optional<StudyVerdict> verdict = file_verdict(f);
    verdict_->setText(QStringLiteral("%1: best is %2 at %3 of the file; %4.")
                          .arg(file, name)
                          .arg(ratio, 0, 'f', 3)
                          .arg(verdict ? QString::fromStdString(verdict->text())
                                       : QStringLiteral("no compressor to compare with")));
}

void StudyWindow::take_setting(int row) {
    const QTableWidgetItem* name = table_->item(row, kSettings);
    if (name == nullptr) return;
    const auto index = static_cast<size_t>(name->data(Qt::UserRole).toInt());
    if (index >= studied_sweep_.size()) return;
    const StudySetting& s = studied_sweep_[index];
    settings_.set(Setting::RodSize, std::to_string(s.rod_size));
    settings_.set(Setting::Depth, std::to_string(s.depth));
    settings_.set(Setting::Lz77, s.lz77 ? "Z" : "");
    verdict_->setText(QStringLiteral("Settings taken: %1.").arg(setting_name(s)));
}

std::string StudyWindow::table_csv() const {
    std::string text;
    for (int c = 0; c < kColumns; ++c) {
        if (c > 0) text.push_back(',');
        text.append(kHeaders[c]);
    }
    text.push_back('\n');
    for (int r = 0; r < table_->rowCount(); ++r) {
        for (int c = 0; c < kColumns; ++c) {
            if (c > 0) text.push_back(',');
            if (const QTableWidgetItem* item = table_->item(r, c))
                text.append(item->text().toStdString());
        }
        text.push_back('\n');
    }
    return text;
}

void StudyWindow::SavePictureClick() {
    save_picture_as(this, view_, QStringLiteral("study.png"));
}

void StudyWindow::SaveTableClick() {
    save_csv_as(this, table_csv(), QStringLiteral("study.csv"));
}

void StudyWindow::closeEvent(QCloseEvent* event) {
    save_window_geometry(this, objectName());
    QWidget::closeEvent(event);
}

void StudyWindow::hideEvent(QHideEvent* event) {
    save_window_geometry(this, objectName());
    QWidget::hideEvent(event);
}

}  // namespace quorvane
