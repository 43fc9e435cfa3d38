// run_chart_window.h -- the run chart: the stream's size pass by pass, live while a run goes,
// kept after it.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdint>

#include "status/run_records.h"

class QCategoryAxis;
class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QPushButton;
class QScatterSeries;
class QValueAxis;

namespace quorvane {

// Remembers a window's place and size between runs of the program.
void restore_window_geometry(QWidget* window, const QString& key);
void save_window_geometry(const QWidget* window, const QString& key);

class RunChartWindow : public QWidget {
    Q_OBJECT

  public:
    // records is the main window's; the chart reads it on a timer, never from within the run.
    explicit RunChartWindow(const RunRecords& records, QWidget* parent = nullptr);

    // Redraws from the records now when they changed since the last time.
    void refresh();
    QChartView* view() const { return view_; }
    QChart* chart() const { return chart_; }
    const RunRecords& records() const { return records_; }

    void SavePictureClick();
    void SaveDataClick();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void rebuild();

    const RunRecords& records_;
    uint64_t shown_ = ~uint64_t{0};
    QTimer timer_;
    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QLabel* summary_ = nullptr;
    QValueAxis* x_axis_ = nullptr;
    QValueAxis* y_axis_ = nullptr;
    QCategoryAxis* cycle_axis_ = nullptr;
    QLineSeries* passes_ = nullptr;
    QScatterSeries* starts_ = nullptr;
    QLineSeries* best_ = nullptr;
    QLineSeries* level_ = nullptr;
    QScatterSeries* undone_ = nullptr;
    QScatterSeries* fallbacks_ = nullptr;
    QScatterSeries* rounds_ = nullptr;
};

}  // namespace quorvane
