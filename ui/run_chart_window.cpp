// run_chart_window.cpp -- the run's records as series of one chart, redrawn a few times a second.
#include "ui/run_chart_window.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QSettings>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "ui/chart_files.h"

namespace quorvane {
namespace {

// Often enough to follow a run, seldom enough not to slow it: a redraw takes at most a
// twenty-fifth of the time between two.
constexpr int kRedrawMs = 250;
constexpr int kMaxRedrawMs = 2000;
constexpr qint64 kRedrawShare = 25;

QSettings window_settings() {
    return QSettings(QStringLiteral("Dozazez"), QStringLiteral("Quorvane"));
}

template <typename Series>
Series* add_series(QChart* chart, const char* name, const QString& title) {
    auto* series = new Series(chart);
    series->setObjectName(QString::fromLatin1(name));
    series->setName(title);
    chart->addSeries(series);
    return series;
}

QScatterSeries* add_markers(QChart* chart, const char* name, const QString& title,
                            QScatterSeries::MarkerShape shape, const QColor& color, qreal size) {
    auto* series = add_series<QScatterSeries>(chart, name, title);
    series->setMarkerShape(shape);
    series->setMarkerSize(size);
    series->setColor(color);
    series->setBorderColor(color.darker());
    return series;
}

// Grid lines at a round interval (1, 2 or 5 times a power of ten), about five of them up to a
// little above value.
void round_axis(QValueAxis* axis, double value) {
    const double raw = std::max(value * 1.05, 5.0) / 5;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double interval = power * (raw <= power       ? 1
                                     : raw <= 2 * power ? 2
                                     : raw <= 5 * power ? 5
                                                        : 10);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(interval);
    axis->setRange(0, std::ceil(value * 1.05 / interval) * interval);
}

}  // namespace

void restore_window_geometry(QWidget* window, const QString& key) {
    const QByteArray geometry =
        window_settings().value(key + QStringLiteral("/geometry")).toByteArray();
    if (!geometry.isEmpty()) window->restoreGeometry(geometry);
}

void save_window_geometry(const QWidget* window, const QString& key) {
    window_settings().setValue(key + QStringLiteral("/geometry"), window->saveGeometry());
}

RunChartWindow::RunChartWindow(const RunRecords& records, QWidget* parent)
    : QWidget(parent, Qt::Window), records_(records) {
    setObjectName(QStringLiteral("RunChart"));
    setWindowTitle(QStringLiteral("Run chart"));
    setMinimumSize(480, 320);
    resize(760, 480);

    chart_ = new QChart();
    chart_->setObjectName(QStringLiteral("Chart"));
    chart_->legend()->setAlignment(Qt::AlignBottom);
    passes_ = add_series<QLineSeries>(chart_, "passes", QStringLiteral("Stream after each pass"));
    starts_ = add_markers(chart_, "starts", QStringLiteral("Start of each cycle"),
                          QScatterSeries::MarkerShapeRectangle, QColor(0x20, 0x60, 0xc0), 9);
    best_ = add_series<QLineSeries>(chart_, "best", QStringLiteral("Best stream so far"));
    best_->setPen(QPen(QColor(0x10, 0x90, 0x30), 2, Qt::DashLine));
    level_ = add_series<QLineSeries>(chart_, "level", QStringLiteral("Level"));
    level_->setPen(QPen(QColor(0xc0, 0x50, 0x00), 2, Qt::DashDotLine));
    undone_ = add_markers(chart_, "undone", QStringLiteral("Undone pass"),
                          QScatterSeries::MarkerShapeStar, QColor(0xe0, 0x20, 0x20), 14);
    fallbacks_ = add_markers(chart_, "fallbacks", QStringLiteral("Fallback"),
                             QScatterSeries::MarkerShapeTriangle, QColor(0xf0, 0x90, 0x00), 12);
    rounds_ = add_markers(chart_, "rounds", QStringLiteral("After each round"),
                          QScatterSeries::MarkerShapeCircle, QColor(0x80, 0x30, 0xa0), 10);

    x_axis_ = new QValueAxis(chart_);
    x_axis_->setLabelFormat(QStringLiteral("%d"));
    x_axis_->setTitleText(QStringLiteral("Pass across the run"));
    y_axis_ = new QValueAxis(chart_);
    y_axis_->setLabelFormat(QStringLiteral("%d"));
    x_axis_->setTickCount(6);
    y_axis_->setTitleText(QStringLiteral("Bits"));
    // The cycles' boundaries: a grid line where each one starts.
    cycle_axis_ = new QCategoryAxis(chart_);
    cycle_axis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    cycle_axis_->setGridLinePen(QPen(QColor(0x20, 0x60, 0xc0, 0x90), 1, Qt::DashLine));
    chart_->addAxis(x_axis_, Qt::AlignBottom);
    chart_->addAxis(cycle_axis_, Qt::AlignTop);
    chart_->addAxis(y_axis_, Qt::AlignLeft);
    for (QAbstractSeries* series : chart_->series()) {
        series->attachAxis(x_axis_);
        series->attachAxis(y_axis_);
    }

    view_ = new QChartView(chart_, this);
    view_->setObjectName(QStringLiteral("ChartView"));
    view_->setRenderHint(QPainter::Antialiasing);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("Summary"));
    auto* save_picture = new QPushButton(QStringLiteral("Save picture…"), this);
    save_picture->setObjectName(QStringLiteral("SavePicture"));
    auto* save_data = new QPushButton(QStringLiteral("Save data…"), this);
    save_data->setObjectName(QStringLiteral("SaveData"));
    connect(save_picture, &QPushButton::clicked, this, &RunChartWindow::SavePictureClick);
    connect(save_data, &QPushButton::clicked, this, &RunChartWindow::SaveDataClick);

    auto* buttons = new QHBoxLayout();
    buttons->addWidget(summary_, 1);
    buttons->addWidget(save_picture);
    buttons->addWidget(save_data);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(buttons);

    restore_window_geometry(this, objectName());
    timer_.setInterval(kRedrawMs);
    connect(&timer_, &QTimer::timeout, this, &RunChartWindow::refresh);
    refresh();
}

void RunChartWindow::refresh() {
    if (records_.changes() == shown_) return;
    shown_ = records_.changes();
    QElapsedTimer cost;
    cost.start();
    rebuild();
    if (!isVisible()) return;
    view_->repaint();
    timer_.setInterval(static_cast<int>(
        std::clamp<qint64>(cost.elapsed() * kRedrawShare, kRedrawMs, kMaxRedrawMs)));
}

void RunChartWindow::rebuild() {
    QList<QPointF> passes;
    QList<QPointF> starts;
    QList<QPointF> best;
    QList<QPointF> undone;
    QList<QPointF> fallbacks;
    QList<QPointF> rounds;
    const bool unpacking = records_.unpacking();
    for (const QString& label : cycle_axis_->categoriesLabels())
        cycle_axis_->remove(label);
    int64_t x_max = 1;
    int64_t y_max = std::max<int64_t>(records_.level_bits(), 1);
    for (const ChartRecord& r : records_.records()) {
        const QPointF at(static_cast<qreal>(r.x), static_cast<qreal>(r.bits));
        x_max = std::max(x_max, r.x);
        y_max = std::max(y_max, r.bits);
        switch (r.event) {
            case ChartEvent::CycleStart:
            case ChartEvent::RoundStart:
                passes.append(at);
                starts.append(at);
                // Labels must differ: each names its boundary by count.
                cycle_axis_->append((r.event == ChartEvent::CycleStart ? QStringLiteral("cycle %1")
                                                                       : QStringLiteral("round %1"))
                                        .arg(starts.size()),
                                    static_cast<qreal>(r.x));
                break;
            case ChartEvent::Pass:
            case ChartEvent::ReversePass:
                passes.append(at);
                break;
            case ChartEvent::Undone:
                undone.append(at);
                break;
            case ChartEvent::Fallback:
                fallbacks.append(at);
                break;
            case ChartEvent::CycleEnd:
                if (r.best_bits > 0)
                    best.append(QPointF(static_cast<qreal>(r.x), static_cast<qreal>(r.best_bits)));
                break;
            case ChartEvent::RoundEnd:
                rounds.append(at);
                break;
        }
    }
    passes_->replace(passes);
    starts_->replace(starts);
    best_->replace(best);
    undone_->replace(undone);
    fallbacks_->replace(fallbacks);
    rounds_->replace(rounds);
    QList<QPointF> level;
    if (!unpacking && records_.level_bits() > 0) {
        const auto bits = static_cast<qreal>(records_.level_bits());
        level = {QPointF(0, bits), QPointF(static_cast<qreal>(x_max), bits)};
    }
    level_->replace(level);
    starts_->setName(unpacking ? QStringLiteral("Start of each round")
                               : QStringLiteral("Start of each cycle"));
    passes_->setName(unpacking ? QStringLiteral("Stream after each reverse pass")
                               : QStringLiteral("Stream after each pass"));
    x_axis_->setTitleText(unpacking ? QStringLiteral("Reverse pass across the run")
                                    : QStringLiteral("Pass across the run"));
    // Series without points stay out of the legend; the legend lays itself out anew only when
    // it is shown again.
    bool legend_changed = false;
    for (QAbstractSeries* series : chart_->series()) {
        const bool has_points = static_cast<const QXYSeries*>(series)->count() > 0;
        for (QLegendMarker* marker : chart_->legend()->markers(series)) {
            legend_changed = legend_changed || marker->isVisible() != has_points;
            marker->setVisible(has_points);
        }
    }
    if (legend_changed) {
        chart_->legend()->hide();
        chart_->legend()->show();
    }
    x_axis_->setRange(0, static_cast<qreal>(x_max));
    x_axis_->applyNiceNumbers();
    cycle_axis_->setRange(x_axis_->min(), x_axis_->max());
    round_axis(y_axis_, static_cast<double>(y_max));

    if (records_.records().empty()) {
        summary_->setText(QStringLiteral("No run yet."));
    } else if (unpacking) {
        summary_->setText(QStringLiteral("%1 rounds restored").arg(rounds.size()));
    } else {
        summary_->setText(QStringLiteral("%1 cycles, %2 passes, %3 undone")
                              .arg(starts.size())
                              .arg(passes.size() - starts.size())
                              .arg(undone.size()));
    }
}

void RunChartWindow::SavePictureClick() {
    refresh();
    save_picture_as(this, view_, QStringLiteral("run-chart.png"));
}

void RunChartWindow::SaveDataClick() {
    save_csv_as(this, records_.csv(), QStringLiteral("run-chart.csv"));
}

void RunChartWindow::closeEvent(QCloseEvent* event) {
    save_window_geometry(this, objectName());
    QWidget::closeEvent(event);
}

void RunChartWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A closed chart costs a run nothing; it catches up when it opens.
    refresh();
    timer_.start();
}

void RunChartWindow::hideEvent(QHideEvent* event) {
    timer_.stop();
    save_window_geometry(this, objectName());
    QWidget::hideEvent(event);
}

}  // namespace quorvane
