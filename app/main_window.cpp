// main_window.cpp -- the main window's controls and handlers; the engine does the work.
#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QUrl>
#include <utility>

#include "app/about_box.h"
#include "app/pie_gauge.h"
#include "engine/errors.h"
#include "run/run_files.h"
#include "status/status_texts.h"
#include "ui/accessible_names.h"
#include "ui/chip_images.h"
#include "ui/contrast.h"
#include "ui/focus_frame.h"
#include "ui/fonts.h"
#include "ui/keyboard.h"
#include "ui/message_boxes.h"
#include "ui/run_chart_window.h"
#include "ui/settings_dialog.h"
#include "ui/snippet_dialog.h"
#include "ui/study_window.h"
#include "ui/widget_layout.h"
#include "ui/zlib_buttons.h"

namespace quorvane {
namespace {

const QString kLoadTitle = QStringLiteral(" Load file into Quorvane");
// The dialog's filter in its stored form: description, then pattern.
const QString kFileFilter = QStringLiteral("Binary files  (*.*)|*.*");
const QString kUnpackCaption = QStringLiteral("UnPack *.rod");
const QString kPackCaption = QStringLiteral("Pack *.rod");
const QString kUnpackHint = QStringLiteral("Use vexion to re-create the binary file");
const QString kPackHint = QStringLiteral("Try to Pack the binary file even further");
// Said after the library's own words when a rod file cannot be read, which say nothing to a user.
const QString kUnreadableRod = QStringLiteral(
    "Not a rod file, or damaged; it may have been packed with other settings \u2014 try "
    "detection in quorvane-cli (quorvane-cli detect FILE).");

// The filter as Qt's dialog takes it. "*.*" means every file here, also one without a dot.
QString dialog_filter() {
    const QStringList parts = kFileFilter.split(u'|');
    const QString pattern =
        parts.value(1) == QStringLiteral("*.*") ? QStringLiteral("*") : parts.value(1);
    return parts.value(0) + QStringLiteral(" (") + pattern + u')';
}

QFont bold_font(const QWidget* like) {
    QFont font = like->font();
    font.setBold(true);
    return font;
}

QLabel* make_label(QWidget* parent, const QString& name, const QString& text, const QRect& where,
                   const QFont& font, const QString& hint = QString()) {
    auto* label = placed(new QLabel(text, parent), name, where, hint);
    label->setFont(font);
    return label;
}

QPushButton* make_button(QWidget* parent, const QString& name, const QString& text,
                         const QRect& where, const QFont& font, const QString& hint = QString()) {
    auto* button = placed(new QPushButton(text, parent), name, where, hint);
    button->setFont(font);
    button->setAutoDefault(false);
    return button;
}

QGroupBox* make_group(QWidget* parent, const QString& name, const QString& title,
                      const QRect& where, const QFont& font) {
    auto* group = placed(new QGroupBox(title, parent), name, where);
    group->setFont(font);
    return group;
}

// Whatever the font, the right-aligned text beside a caption starts a few pixels after it.
void keep_gap(const QLabel* caption, QLabel* beside) {
    constexpr int kGap = 6;
    const int caption_end =
        caption->x() + caption->fontMetrics().horizontalAdvance(caption->text());
    const int left = std::max(beside->x(), caption_end + kGap);
    const int width = std::max(beside->geometry().right() + 1 - left,
                               beside->fontMetrics().horizontalAdvance(beside->text()));
    beside->setGeometry(left, beside->y(), width, beside->height());
}

// Widens a button to the room its style wants around its text; left, when positive, moves it.
void widen_to_text(QPushButton* button, int left) {
    QRect where = button->geometry();
    if (left > 0) where.moveLeft(std::max(where.left(), left));
    where.setWidth(std::max(where.width(), button->sizeHint().width()));
    button->setGeometry(where);
}

PieGauge* make_pie(QWidget* parent, const QString& name, const QRect& where, const QString& hint) {
    return placed(new PieGauge(parent), name, where, hint);
}

}  // namespace

TZivIduv::TZivIduv(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      front_end_(*this, settings_),
      engine_(front_end_),
      Snippet1(blank_mono_image(kTabletWidth, kTabletHeight)),
      DirazTImage(blank_mono_image(kTabletWidth, kTabletHeight)),
      Chip1(blank_mono_image(kChipSide, kChipSide)) {
    setObjectName(QStringLiteral("ZivIduv"));
    setWindowTitle(QStringLiteral("Tessellor  [Experimental Prototype]"));
    setAcceptDrops(true);
    build_controls();
    name_controls(this);
    FocusFrame::install();
    bind_engine();
    choose_file = [this](const QString& title) { return run_open_dialog(title); };

    settings_dialog_ = new TFractalSet(settings_, this);
    about_box_ = new TAboutBox(this);
    snippet_dialog_ = new TSnippet(this);
}

TZivIduv::~TZivIduv() {
    settings_.set_listener({});
}

struct TZivIduv::Fonts {
    QFont plain;
    QFont bold;
    QFont fixed;
};

void TZivIduv::build_controls() {
    build_menu();
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(328, 363);
    setCentralWidget(client);
    const Fonts fonts{client->font(), bold_font(client), small_fixed_font()};
    // Made in tab order: the top row, the image data group, the bottom row.
    build_top_row(client, fonts);
    build_image_data_box(client, fonts);
    build_bottom_row(client, fonts);
    build_value_holders(client, fonts);
    connect_buttons();
    setFixedSize(328, 363 + menuBar()->sizeHint().height());
}

QLabel*& TZivIduv::engine_label(Label label) {
    return engine_labels_[static_cast<size_t>(label)];
}

QLabel*& TZivIduv::setting_label(Setting setting) {
    return setting_labels_[static_cast<size_t>(setting)];
}

void TZivIduv::build_menu() {
    // The mnemonics underline a letter without changing the captions.
    About = menuBar()->addAction(QStringLiteral("&About"));
    About->setObjectName(QStringLiteral("About"));
    Options = menuBar()->addAction(QStringLiteral("&Options"));
    Options->setObjectName(QStringLiteral("Options"));
    connect(About, &QAction::triggered, this, &TZivIduv::AboutClick);
    connect(Options, &QAction::triggered, this, &TZivIduv::OptionsClick);
    Chart = menuBar()->addAction(QStringLiteral("&Chart"));
    Chart->setObjectName(QStringLiteral("Chart"));
    Study = menuBar()->addAction(QStringLiteral("&Study"));
    Study->setObjectName(QStringLiteral("Study"));
    connect(Chart, &QAction::triggered, this, &TZivIduv::ChartClick);
    connect(Study, &QAction::triggered, this, &TZivIduv::StudyClick);
    enable_menu_keys(menuBar());
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, [this]() { open_menu_bar(menuBar()); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &TZivIduv::StopRun);
}

void TZivIduv::build_top_row(QWidget* client, const Fonts& fonts) {
    QLabel* zid = make_label(client, QStringLiteral("CHKLabel"), QStringLiteral("ZID:"),
                             QRect(8, 2, 30, 16), fonts.bold);
    QLabel* version =
        make_label(client, QStringLiteral("CHECKSUMLabel"), QStringLiteral("Beta v2.2"),
                   QRect(40, 2, 70, 16), fonts.bold, QStringLiteral("Version"));
    version->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    keep_gap(zid, version);

    FLoadButton = make_button(client, QStringLiteral("FLoadButton"), QStringLiteral("Load File"),
                              QRect(8, 20, 100, 25), fonts.bold,
                              QStringLiteral("Load file to process (*.*)"));
    CHIPButton = make_button(client, QStringLiteral("CHIPButton"), QStringLiteral("Load Chip"),
                             QRect(114, 20, 100, 25), fonts.bold,
                             QStringLiteral("Load Chipcode (25x25 pixels) "));
    ModeButton =
        make_button(client, QStringLiteral("ModeButton"), kPackCaption, QRect(220, 20, 100, 25),
                    fonts.bold, QStringLiteral("Use vexion to recreate the binary file"));
    ModeButton->hide();
}

// The group that holds everything from the description down to the progress bar.
void TZivIduv::build_image_data_box(QWidget* client, const Fonts& fonts) {
    QGroupBox* image_data =
        make_group(client, QStringLiteral("ImageDataBox"), QStringLiteral(" Dozazez Quorvane "),
                   QRect(4, 48, 320, 278), fonts.bold);
    QLabel* description =
        make_label(image_data, QStringLiteral("StaticText1"),
                   QStringLiteral("Works on any kind of file: text, pictures and programs "
                                  "are all just strings of bits."),
                   QRect(8, 20, 304, 24), fonts.fixed);
    description->setWordWrap(true);
    show_in_red(description);

    build_centrifuge_box(image_data, fonts);
    build_statistics_box(image_data, fonts);
    build_process_box(image_data, fonts);
    StartButton = make_button(image_data, QStringLiteral("StartButton"), QStringLiteral("&Start"),
                              QRect(6, 246, 90, 26), fonts.plain);
    StartButton->setEnabled(false);
    LoopProgressBar = new QProgressBar(image_data);
    LoopProgressBar->setObjectName(QStringLiteral("LoopProgressBar"));
    LoopProgressBar->setGeometry(106, 250, 201, 17);
    LoopProgressBar->setRange(0, 127);
    LoopProgressBar->setValue(0);
    LoopProgressBar->setTextVisible(false);
}

// Depth, the rod counters, the mode letters, the marker, the rod size and the two small gauges.
void TZivIduv::build_centrifuge_box(QWidget* image_data, const Fonts& fonts) {
    QGroupBox* centrifuge =
        make_group(image_data, QStringLiteral("CentrifugeBox"), QStringLiteral(" Centrifuge "),
                   QRect(6, 46, 308, 88), fonts.plain);
    make_label(centrifuge, QStringLiteral("CTRLabel"), QStringLiteral("Depth:"),
               QRect(6, 20, 40, 14), fonts.fixed);
    setting_label(Setting::Depth) =
        make_label(centrifuge, QStringLiteral("Depth"), QStringLiteral("1"), QRect(46, 20, 30, 14),
                   small_fixed_font(true));
    QLabel* sub_text = make_label(
        centrifuge, QStringLiteral("SubText"),
        QStringLiteral("Splits bits of data in two new bit types for the fractal quorvane."),
        QRect(6, 35, 110, 48), fonts.fixed);
    sub_text->setWordWrap(true);
    sub_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    make_label(centrifuge, QStringLiteral("LowLabel"), QStringLiteral("Low :"),
               QRect(124, 20, 32, 13), fonts.fixed);
    engine_label(Label::DecisionsLabel) =
        make_label(centrifuge, QStringLiteral("DecisionsLabel"), QStringLiteral("0"),
                   QRect(158, 20, 58, 13), fonts.fixed, QStringLiteral("Low rods"));
    make_label(centrifuge, QStringLiteral("HighLabel"), QStringLiteral("High:"),
               QRect(124, 34, 32, 13), fonts.fixed);
    engine_label(Label::Label_9) =
        make_label(centrifuge, QStringLiteral("Label_9"), QStringLiteral("0"),
                   QRect(158, 34, 58, 13), fonts.fixed, QStringLiteral("High rods"));
    setting_label(Setting::Lz77) =
        make_label(centrifuge, QStringLiteral("ZIPLabel"), QStringLiteral("Z"),
                   QRect(124, 50, 12, 13), fonts.fixed, QStringLiteral("Lz77 compression mode"));
    AutoStopLabel = make_label(
        centrifuge, QStringLiteral("AutoStopLabel"), QStringLiteral("S"), QRect(138, 50, 12, 13),
        fonts.fixed, QStringLiteral("Auto stop if no gain in compression [LZ77 mode only]"));
    AutoStopLabel->setCursor(Qt::PointingHandCursor);
    // Tab reaches it; a click toggles it without taking the focus.
    AutoStopLabel->setFocusPolicy(Qt::TabFocus);
    AutoStopLabel->installEventFilter(this);
    engine_label(Label::MarkerLabel) =
        make_label(centrifuge, QStringLiteral("MarkerLabel"), QStringLiteral("0"),
                   QRect(152, 50, 64, 13), fonts.fixed, QStringLiteral("Trailing Marker"));
    QLabel* rod_size = setting_label(Setting::RodSize) =
        make_label(centrifuge, QStringLiteral("RodSize"), QStringLiteral("2"),
                   QRect(124, 66, 92, 14), fonts.fixed, QStringLiteral("Rodsize"));
    rod_size->setAlignment(Qt::AlignCenter);
    CentriGauge1 = make_pie(centrifuge, QStringLiteral("CentriGauge1"), QRect(220, 24, 40, 40),
                            QStringLiteral("Packed storage of Dozazez Code [LZ77]"));
    CentriGauge2 = make_pie(centrifuge, QStringLiteral("CentriGauge2"), QRect(262, 24, 40, 40),
                            QStringLiteral("Route decisions [Tessellor choices]"));
    setting_label(Setting::AutoStop) = AutoStopLabel;
}

void TZivIduv::build_statistics_box(QWidget* image_data, const Fonts& fonts) {
    QGroupBox* statistics =
        make_group(image_data, QStringLiteral("StatisticsBox"), QStringLiteral(" Statistics "),
                   QRect(6, 136, 204, 108), fonts.bold);
    // The last two show settings; the settings store gives them their texts.
    const std::array<std::pair<const char*, std::string_view>, 7> statistic_labels = {{
        {"InputLabel", kNoBitsInput},
        {"OutputLabel", kNoBitsOutput},
        {"ModeLabel", kModePacking},
        {"LoopCountLabel", kNoDepth},
        {"StreamLabel", kNoData},
        {"LoopModeLabel", {}},
        {"RawTableLabel", {}},
    }};
    std::array<QLabel*, 7> stats{};
    for (size_t i = 0; i < stats.size(); ++i) {
        const std::string_view text = statistic_labels[i].second;
        stats[i] = make_label(statistics, QString::fromLatin1(statistic_labels[i].first),
                              QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())),
                              QRect(6, 20 + static_cast<int>(i) * 12, 194, 12), fonts.fixed);
    }
    for (size_t i = 0; i < 5; ++i)
        engine_label(static_cast<Label>(i)) = stats[i];  // InputLabel .. StreamLabel
    setting_label(Setting::LoopMode) = stats[5];
    setting_label(Setting::Experimental) = stats[6];
}

void TZivIduv::build_process_box(QWidget* image_data, const Fonts& fonts) {
    QGroupBox* process =
        make_group(image_data, QStringLiteral("ProcessBox"), QStringLiteral(" Processing "),
                   QRect(214, 136, 100, 108), fonts.plain);
    ProcessGauge =
        make_pie(process, QStringLiteral("ProcessGauge"), QRect(5, 26, 70, 70),
                 QStringLiteral("Actual reduction in filesize [Use options to optimize]"));
    QLabel* level = setting_label(Setting::CompressionLevel) =
        make_label(process, QStringLiteral("CompressionLevel"), QStringLiteral("1"),
                   QRect(75, 26, 21, 14), fonts.fixed);
    level->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void TZivIduv::build_bottom_row(QWidget* client, const Fonts& fonts) {
    Compress_Button = make_button(client, QStringLiteral("Compress_Button"),
                                  QStringLiteral("Compress"), QRect(8, 332, 84, 25), fonts.plain,
                                  QStringLiteral("Use ZLib to Compress File"));
    DeCompress_Button = make_button(client, QStringLiteral("DeCompress_Button"),
                                    QStringLiteral("Decompress"), QRect(96, 332, 84, 25),
                                    fonts.plain, QStringLiteral("Use ZLib to DeCompress File"));
    Exit_Button = make_button(client, QStringLiteral("Exit_Button"), QStringLiteral("&Exit"),
                              QRect(240, 332, 80, 25), fonts.bold);
    // A wide theme font widens the zlib buttons rather than filling them edge to edge.
    widen_to_text(Compress_Button, 0);
    widen_to_text(DeCompress_Button, Compress_Button->geometry().right() + 5);
}

void TZivIduv::build_value_holders(QWidget* client, const Fonts& fonts) {
    // Value holders the user never sees.
    QLabel* code = setting_label(Setting::Code) = make_label(
        client, QStringLiteral("PWLabel"), QStringLiteral("47e3"), QRect(0, 0, 0, 0), fonts.plain);
    QLabel* loop_count = setting_label(Setting::LoopCount) = make_label(
        client, QStringLiteral("Loop2Label"), QStringLiteral("2"), QRect(0, 0, 0, 0), fonts.plain);
    ChipSizeLabel = make_label(client, QStringLiteral("ChipSizeLabel"), QString(),
                               QRect(0, 0, 0, 0), fonts.plain);
    DirazSizeLabel = make_label(client, QStringLiteral("DirazSizeLabel"), QString(),
                                QRect(0, 0, 0, 0), fonts.plain);
    for (QLabel* hidden : {code, loop_count, ChipSizeLabel, DirazSizeLabel})
        hidden->hide();

    engine_label(Label::ChipSizeLabel) = ChipSizeLabel;
    engine_label(Label::DirazSizeLabel) = DirazSizeLabel;
}

void TZivIduv::connect_buttons() {
    connect(FLoadButton, &QPushButton::clicked, this, &TZivIduv::FLoadButtonClick);
    connect(CHIPButton, &QPushButton::clicked, this, &TZivIduv::CHIPButtonClick);
    connect(ModeButton, &QPushButton::clicked, this, &TZivIduv::ModeButtonClick);
    connect(StartButton, &QPushButton::clicked, this, &TZivIduv::StartButtonClick);
    connect(Compress_Button, &QPushButton::clicked, this, &TZivIduv::Compress_ButtonClick);
    connect(DeCompress_Button, &QPushButton::clicked, this, &TZivIduv::DeCompress_ButtonClick);
    connect(Exit_Button, &QPushButton::clicked, this, &TZivIduv::Exit_ButtonClick);
}

void TZivIduv::bind_engine() {
    for (size_t i = 0; i < kLabelCount; ++i) {
        front_end_.bind_label(static_cast<Label>(i), engine_labels_[i]);
    }
    const auto pie = [](PieGauge* gauge) {
        return [gauge](int maximum, int progress) {
            gauge->set_maximum(maximum);
            gauge->set_value(progress);
        };
    };
    front_end_.bind_gauge(Gauge::ProcessGauge, pie(ProcessGauge), ProcessGauge->maximum());
    front_end_.bind_gauge(Gauge::CentriGauge1, pie(CentriGauge1), CentriGauge1->maximum());
    front_end_.bind_gauge(Gauge::CentriGauge2, pie(CentriGauge2), CentriGauge2->maximum());
    QProgressBar* bar = LoopProgressBar;
    front_end_.bind_gauge(
        Gauge::LoopProgressBar,
        [bar](int maximum, int progress) {
            // A bar with no range would show a busy indicator instead of an empty bar.
            bar->setRange(0, std::max(maximum, 1));
            bar->setValue(progress);
        },
        bar->maximum());

    // The labels show the settings store; every write to it reaches them.
    for (size_t i = 0; i < kSettingCount; ++i) {
        setting_labels_[i]->setText(
            QString::fromStdString(settings_.text(static_cast<Setting>(i))));
    }
    settings_.set_listener([this](Setting setting, const std::string& text) {
        setting_labels_[static_cast<size_t>(setting)]->setText(QString::fromStdString(text));
    });
}

void TZivIduv::pump_messages() {
    QCoreApplication::processEvents();
}

void TZivIduv::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (activated_) return;
    activated_ = true;
    if (const QScreen* where = screen())
        move(where->availableGeometry().center() - rect().center());
    // After the window is up, not inside its show.
    QMetaObject::invokeMethod(this, &TZivIduv::FormActivate, Qt::QueuedConnection);
}

void TZivIduv::FormActivate() {
    About->trigger();
    LoadDirazTablet();
}

void TZivIduv::LoadDirazTablet() {
    pump_messages();
    DirazTImage = built_in_tablet();
    TabletBits = tablet_bits_from_pixels(picture_pixels(DirazTImage));
    pump_messages();
}

QString TZivIduv::run_open_dialog(const QString& title) {
    return QFileDialog::getOpenFileName(this, title, open_dialog_file_name_, dialog_filter(),
                                        nullptr, QFileDialog::HideNameFilterDetails);
}

void TZivIduv::FLoadButtonClick() {
    Exit_Button->setFocus();
    open_dialog_title_ = kLoadTitle;
    const QString path = choose_file(open_dialog_title_);
    if (path.isEmpty()) {
        pump_messages();
        return;
    }
    load_input_file(path);
}

void TZivIduv::load_input_file(const QString& path) {
    Exit_Button->setFocus();
    open_dialog_file_name_ = path;
    LoadResult result = LoadResult::Refused;
    try {
        result = load_file(engine_, QFile::encodeName(path).toStdString());
    } catch (const EngineError& error) {
        front_end_.flush();
        StartButton->setEnabled(false);
        show_error_report(this, error, path);
        return;
    }
    front_end_.flush();
    // Nothing is open for a run after a refused load.
    if (result == LoadResult::Refused) {
        show_engine_message(message_text(Message::SizeLimit));
        StartButton->setEnabled(false);
        return;
    }
    if (engine_.input.unpack_next) {
        ModeButton->setText(kUnpackCaption);
        ModeButton->setToolTip(kUnpackHint);
        ModeButton->show();
    } else {
        ModeButton->hide();
    }
    StartButton->setEnabled(true);
    pump_messages();
}

void TZivIduv::ModeButtonClick() {
    Exit_Button->setFocus();
    const bool unpacking = ModeButton->text() != kUnpackCaption;
    ModeButton->setText(unpacking ? kUnpackCaption : kPackCaption);
    ModeButton->setToolTip(unpacking ? kUnpackHint : kPackHint);
    set_direction(engine_, unpacking);
    front_end_.flush();
    pump_messages();
}

void TZivIduv::CHIPButtonClick() {
    show_message_box(this, QStringLiteral("UNDER DEVELOPMENT"));
    Exit_Button->setFocus();
}

void TZivIduv::set_run_buttons_enabled(bool enabled) {
    for (QPushButton* button :
         {StartButton, FLoadButton, CHIPButton, Compress_Button, DeCompress_Button}) {
        button->setEnabled(enabled);
    }
}

void TZivIduv::StartButtonClick() {
    Exit_Button->setFocus();
    if (study_window_ != nullptr && study_window_->studying()) {
        show_message_box(this, QStringLiteral("A study is under way. Start the run when it ends."));
        return;
    }
    set_run_buttons_enabled(false);
    running_ = true;
    front_end_.clear_cancel();
    RunResult result;
    QString error_text;
    bool setting_error = false;
    const bool unpacking = engine_.input.unpack_next;
    try {
        result = ProcessRun(engine_, unpacking);
    } catch (const ESettingError& error) {
        // The setting at fault is named; the input file has nothing to do with it.
        error_text = QString::fromStdString(error.what());
        setting_error = true;
    } catch (const EInOutError& error) {
        error_text = QString::fromStdString(error.what());
    } catch (const std::exception& error) {
        error_text = QString::fromStdString(error.what());
        if (error_text.isEmpty()) error_text = QStringLiteral("Error");
        // Anything but the file system failing means the rod stream itself would not restore.
        if (unpacking) error_text = error_report_text(error_text) + u'\n' + kUnreadableRod;
    }
    running_ = false;
    front_end_.flush();
    // The run has read its file: Start waits for the next Load File.
    set_run_buttons_enabled(true);
    StartButton->setEnabled(false);
    if (result.outcome == RunOutcome::Cancelled || front_end_.cancel_requested()) {
        front_end_.clear_cancel();
        // Escape stops the run alone; Exit and the close button end the program with it.
        if (!std::exchange(stop_only_, false)) end_program();
        return;
    }
    if (!error_text.isEmpty()) {
        show_error_report(
            this, error_text,
            setting_error ? QString() : QFile::decodeName(engine_.input.InputPath.c_str()));
    } else if (result.outcome == RunOutcome::DeviceFull) {
        // The mode label says "Failed !"; the system's reason is what tells the user why.
        show_error_report(this, QStringLiteral("Cannot write file %1: %2")
                                    .arg(QFile::decodeName(result.OutputPath.c_str()),
                                         QString::fromStdString(result.write_error)));
    } else if (result.outcome == RunOutcome::RestoreFailed) {
        show_engine_message(message_text(Message::RestoreFailed));
    } else if (!result.successful()) {
        show_message_box(this, QStringLiteral("ERROR IN LOOP"));
    }
}

void TZivIduv::Compress_ButtonClick() {
    Exit_Button->setFocus();
    open_dialog_title_ = kCompressTitle;
    const QString path = choose_file(open_dialog_title_);
    if (!path.isEmpty()) {
        open_dialog_file_name_ = path;
        compress_chosen_file(this, path);
    }
    open_dialog_file_name_.clear();
}

void TZivIduv::DeCompress_ButtonClick() {
    Exit_Button->setFocus();
    open_dialog_title_ = kDecompressTitle;
    const QString path = choose_file(open_dialog_title_);
    if (!path.isEmpty()) {
        open_dialog_file_name_ = path;
        // A name without ".zlib" is ignored, and the dialog keeps it.
        if (!decompress_chosen_file(this, path)) return;
    }
    open_dialog_file_name_.clear();
}

void TZivIduv::StopRun() {
    if (!running_) return;
    stop_only_ = true;
    front_end_.request_cancel();
}

void TZivIduv::Exit_ButtonClick() {
    stop_only_ = false;
    if (running_) {
        // The run stops at its next step; StartButtonClick then ends the program.
        front_end_.request_cancel();
        return;
    }
    pump_messages();
    end_program();
}

void TZivIduv::end_program() {
    emit terminationRequested();
    QCoreApplication::quit();
}

void TZivIduv::AutoStopLabelClick() {
    settings_.set(Setting::AutoStop, settings_.text(Setting::AutoStop) == " " ? "S" : " ");
}

void TZivIduv::AboutClick() {
    about_box_->exec();
    pump_messages();
}

void TZivIduv::OptionsClick() {
    settings_dialog_->exec();
    pump_messages();
}

namespace {

void bring_up(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace

void TZivIduv::ChartClick() {
    if (chart_window_ == nullptr) chart_window_ = new RunChartWindow(front_end_.records(), this);
    bring_up(chart_window_);
}

void TZivIduv::StudyClick() {
    if (study_window_ == nullptr) {
        study_window_ = new StudyWindow(
            settings_, [this] { return QFile::decodeName(engine_.input.InputPath.c_str()); },
            [this] { return running_; }, this);
    }
    bring_up(study_window_);
}

bool TZivIduv::eventFilter(QObject* watched, QEvent* event) {
    if (watched == AutoStopLabel && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        AutoStopLabelClick();
        return true;
    }
    // From the keyboard the label toggles as a check box does.
    if (watched == AutoStopLabel && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            AutoStopLabelClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TZivIduv::closeEvent(QCloseEvent* event) {
    if (running_) {
        stop_only_ = false;
        front_end_.request_cancel();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

namespace {

// The local files a drag carries, in its order.
QStringList dragged_files(const QMimeData* mime) {
    QStringList files;
    if (mime == nullptr || !mime->hasUrls()) return files;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) files.append(url.toLocalFile());
    }
    return files;
}

}  // namespace

void TZivIduv::dragEnterEvent(QDragEnterEvent* event) {
    if (!running_ && !dragged_files(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TZivIduv::dropEvent(QDropEvent* event) {
    const QStringList files = dragged_files(event->mimeData());
    if (running_ || files.isEmpty()) return;
    event->acceptProposedAction();
    load_input_file(files.front());
    report_not_loaded(files.mid(1));
}

void TZivIduv::report_not_loaded(const QStringList& files) {
    if (files.isEmpty()) return;
    show_message_box(this, QStringLiteral("One file at a time; not loaded:\n") + files.join(u'\n'));
}

void TZivIduv::show_engine_message(std::string_view text) {
    show_message_box(this, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TZivIduv::draw_engine_chip(const BitString& stream, const BitString& header_data) {
    BitString stream_bits = stream;
    BitString header_bits = header_data;
    const ChipPictures pictures = draw_chip_bits(stream_bits, header_bits, TabletBits, front_end_);
    front_end_.show_chip_sizes(pictures.header_data_bits, pictures.decision_bits);
    Chip1 = chip_bitmap(pictures.chip);
    Snippet1 = stream_picture(pictures.stream);
    front_end_.flush();
    snippet_dialog_->set_pictures(Chip1, Snippet1, ChipSizeLabel->text(), DirazSizeLabel->text());
    std::string bitmap = engine_.input.InputPath;
    bitmap.append(".bmp");
    snippet_dialog_->set_bitmap_path(std::move(bitmap), engine_.input.permissions);
    snippet_dialog_->exec();
    pump_messages();
}

}  // namespace quorvane
