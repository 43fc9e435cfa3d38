// main_window.h -- TZivIduv, the main window: loading, Start, Exit, statistics, setting labels.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>

#include "app/window_front_end.h"
#include "run/run_files.h"
#include "status/setting_texts.h"

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;

namespace quorvane {

class PieGauge;
class RunChartWindow;
class StudyWindow;
class TAboutBox;
class TFractalSet;
class TSnippet;

class TZivIduv : public QMainWindow, private WindowFrontEnd::Host {
    Q_OBJECT

  public:
    // Creates the settings dialog, the about box and the chip dialog after itself, in that order.
    explicit TZivIduv(QWidget* parent = nullptr);
    ~TZivIduv() override;

    void FormActivate();
    void FLoadButtonClick();
    void ModeButtonClick();
    void CHIPButtonClick();
    void StartButtonClick();
    void Compress_ButtonClick();
    void DeCompress_ButtonClick();
    void Exit_ButtonClick();
    // Escape: a run under way stops at its next step; the program and its settings stay.
    void StopRun();
    void AutoStopLabelClick();
    void AboutClick();
    void OptionsClick();
    // The run chart and the study, each made at its first opening.
    void ChartClick();
    void StudyClick();
    RunChartWindow* chart_window() const { return chart_window_; }
    StudyWindow* study_window() const { return study_window_; }

    // Reads the built-in tablet into TabletBits.
    void LoadDirazTablet();
    // What Load File does once a file is chosen (also for a dropped file).
    void load_input_file(const QString& path);
    // Says that files beyond the first of a drop or a command line were not loaded.
    void report_not_loaded(const QStringList& files);

    Engine& engine() { return engine_; }
    SettingTexts& settings() { return settings_; }
    WindowFrontEnd& front_end() { return front_end_; }
    bool running() const { return running_; }
    TFractalSet* settings_dialog() const { return settings_dialog_; }
    TAboutBox* about_box() const { return about_box_; }
    TSnippet* snippet_dialog() const { return snippet_dialog_; }
    const QImage& chip_image() const { return Chip1; }
    const QImage& stream_image() const { return Snippet1; }
    const QImage& tablet_image() const { return DirazTImage; }
    const BitString& tablet_bits() const { return TabletBits; }
    const QString& open_dialog_title() const { return open_dialog_title_; }
    const QString& open_dialog_file_name() const { return open_dialog_file_name_; }

    // Runs the file-open dialog under a title, starting from its remembered file name; returns
    // the chosen path, or an empty text when cancelled. Replaceable so tests need no dialog.
    std::function<QString(const QString& title)> choose_file;

  signals:
    // Exit, or the end of a run that Exit or closing the window stopped: the program ends.
    void terminationRequested();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void show_engine_message(std::string_view text) override;
    void draw_engine_chip(const BitString& stream, const BitString& header_data) override;

    struct Fonts;
    void build_controls();
    void build_menu();
    void build_top_row(QWidget* client, const Fonts& fonts);
    void build_image_data_box(QWidget* client, const Fonts& fonts);
    void build_centrifuge_box(QWidget* image_data, const Fonts& fonts);
    void build_statistics_box(QWidget* image_data, const Fonts& fonts);
    void build_process_box(QWidget* image_data, const Fonts& fonts);
    void build_bottom_row(QWidget* client, const Fonts& fonts);
    void build_value_holders(QWidget* client, const Fonts& fonts);
    void connect_buttons();
    QLabel*& engine_label(Label label);
    QLabel*& setting_label(Setting setting);
    void bind_engine();
    QString run_open_dialog(const QString& title);
    void set_run_buttons_enabled(bool enabled);
    void end_program();
    static void pump_messages();

    SettingTexts settings_;
    WindowFrontEnd front_end_;
    Engine engine_;
    bool running_ = false;
    bool activated_ = false;
    bool stop_only_ = false;  // the run's cancel came from StopRun

    QAction* About = nullptr;
    QAction* Options = nullptr;
    QAction* Chart = nullptr;
    QAction* Study = nullptr;
    QPushButton* FLoadButton = nullptr;
    QPushButton* CHIPButton = nullptr;
    QPushButton* ModeButton = nullptr;
    QPushButton* StartButton = nullptr;
    QPushButton* Compress_Button = nullptr;
    QPushButton* DeCompress_Button = nullptr;
    QPushButton* Exit_Button = nullptr;
    QLabel* AutoStopLabel = nullptr;
    QLabel* ChipSizeLabel = nullptr;
    QLabel* DirazSizeLabel = nullptr;
    std::array<QLabel*, kLabelCount> engine_labels_{};
    std::array<QLabel*, kSettingCount> setting_labels_{};
    PieGauge* ProcessGauge = nullptr;
    PieGauge* CentriGauge1 = nullptr;
    PieGauge* CentriGauge2 = nullptr;
    QProgressBar* LoopProgressBar = nullptr;

    // The file-open dialog's state, shared by Load File and the zlib buttons.
    QString open_dialog_title_;
    QString open_dialog_file_name_;

    // Off-screen pictures of the chip code.
    QImage Snippet1;
    QImage DirazTImage;
    QImage Chip1;
    BitString TabletBits;  // the tablet's content bits, read at activation

    TFractalSet* settings_dialog_ = nullptr;
    TAboutBox* about_box_ = nullptr;
    TSnippet* snippet_dialog_ = nullptr;
    RunChartWindow* chart_window_ = nullptr;
    StudyWindow* study_window_ = nullptr;
};

}  // namespace quorvane
