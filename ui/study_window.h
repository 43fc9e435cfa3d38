// study_window.h -- the study window: the loaded file packed under a sweep of settings on a worker
// thread, the ratios as bars beside zlib's, and a table of the results.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "run/study.h"
#include "status/setting_texts.h"

class QBarCategoryAxis;
class QBarSeries;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QThread;
class QValueAxis;

namespace quorvane {

class StudyWindow : public QWidget {
    Q_OBJECT

  public:
    // settings: where a chosen setting goes. loaded_file: the main window's input (empty: none).
    // run_under_way: whether the main window is running; a study does not start then.
    StudyWindow(SettingTexts& settings, std::function<QString()> loaded_file,
                std::function<bool()> run_under_way, QWidget* parent = nullptr);
    ~StudyWindow() override;

    bool studying() const { return thread_ != nullptr; }
    // The sweep the fields ask for; raises EngineError naming the field at fault.
    std::vector<StudySetting> sweep() const;
    // The last study's results (for the file named in it).
    const FileStudy& result() const { return result_; }
    const std::vector<StudySetting>& studied_sweep() const { return studied_sweep_; }
    QTableWidget* table() const { return table_; }
    QChartView* view() const { return view_; }

    void StartClick();
    void CancelClick();
    void SavePictureClick();
    void SaveTableClick();
    // Puts the setting of a table row into the settings, as the settings dialog would.
    void take_setting(int row);
    // The table as comma-separated values under a header line.
    std::string table_csv() const;

  signals:
    void studyFinished();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    struct Job;
    void finished();
    void show_result();
    void set_busy(bool busy);

    SettingTexts& settings_;
    std::function<QString()> loaded_file_;
    std::function<bool()> run_under_way_;
    std::shared_ptr<Job> job_;
    QThread* thread_ = nullptr;
    QTimer progress_timer_;
    FileStudy result_;
    std::vector<StudySetting> studied_sweep_;

    QLineEdit* rod_sizes_ = nullptr;
    QComboBox* lz77_ = nullptr;
    QLineEdit* depths_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* verdict_ = nullptr;
    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QBarSeries* bars_ = nullptr;
    // The compressors' ratios as reference lines: zlib, zstd -19, xz -9e.
    std::vector<std::pair<Baseline, QLineSeries*>> baseline_lines_;
    QBarCategoryAxis* settings_axis_ = nullptr;
    QValueAxis* ratio_axis_ = nullptr;
    QTableWidget* table_ = nullptr;
};

}  // namespace quorvane
