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
#include <QUrl>

#include "app/about_box.h"
#include "app/pie_gauge.h"
#include "chip/chip_images.h"
#include "chip/snippet_dialog.h"
#include "engine/errors.h"
#include "run/run_driver.h"
#include "ui/fonts.h"
#include "ui/message_boxes.h"
#include "ui/settings_dialog.h"
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

// The filter as Qt's dialog takes it. "*.*" means every file here, also one without a dot.
QString DialogFilter() {
    const QStringList parts = kFileFilter.split(u'|');
    const QString pattern =
        parts.value(1) == QStringLiteral("*.*") ? QStringLiteral("*") : parts.value(1);
    return parts.value(0) + QStringLiteral(" (") + pattern + u')';
}

QFont BoldFont(const QWidget* like) {
    QFont font = like->font();
    font.setBold(true);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, const QRect& where,
                  const QFont& font, const QString& hint = QString()) {
    auto* label = Placed(new QLabel(text, parent), name, where, hint);
    label->setFont(font);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& text,
                        const QRect& where, const QFont& font, const QString& hint = QString()) {
    auto* button = Placed(new QPushButton(text, parent), name, where, hint);
    button->setFont(font);
    button->setAutoDefault(false);
    return button;
}

QGroupBox* MakeGroup(QWidget* parent, const QString& name, const QString& title, const QRect& where,
                     const QFont& font) {
    auto* group = Placed(new QGroupBox(title, parent), name, where);
    group->setFont(font);
    return group;
}

PieGauge* MakePie(QWidget* parent, const QString& name, const QRect& where, const QString& hint) {
    return Placed(new PieGauge(parent), name, where, hint);
}

}  // namespace

TZivIduv::TZivIduv(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      front_end_(*this),
      engine_(settings_, front_end_),
      Snippet1(BlankMonoImage(kTabletWidth, kTabletHeight)),
      DirazTImage(BlankMonoImage(kTabletWidth, kTabletHeight)),
      Chip1(BlankMonoImage(kChipSide, kChipSide)) {
    setObjectName(QStringLiteral("ZivIduv"));
    setWindowTitle(QStringLiteral("Tessellor  [Experimental Prototype]"));
    setAcceptDrops(true);
    BuildControls();
    BindEngine();
    choose_file = [this](const QString& title) { return RunOpenDialog(title); };

    FractalSet = new TFractalSet(settings_, this);
    AboutBox = new TAboutBox(this);
    Snippet = new TSnippet(this);
}

TZivIduv::~TZivIduv() {
    settings_.set_listener({});
}

void TZivIduv::BuildControls() {
    About = menuBar()->addAction(QStringLiteral("About"));
    About->setObjectName(QStringLiteral("About"));
    Options = menuBar()->addAction(QStringLiteral("Options"));
    Options->setObjectName(QStringLiteral("Options"));
    connect(About, &QAction::triggered, this, &TZivIduv::AboutClick);
    connect(Options, &QAction::triggered, this, &TZivIduv::OptionsClick);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(328, 363);
    setCentralWidget(client);
    const QFont plain = client->font();
    const QFont bold = BoldFont(client);
    const QFont fixed = SmallFixedFont();

    MakeLabel(client, QStringLiteral("CHKLabel"), QStringLiteral("ZID:"), QRect(8, 2, 30, 16),
              bold);
    QLabel* version =
        MakeLabel(client, QStringLiteral("CHECKSUMLabel"), QStringLiteral("Beta v2.2"),
                  QRect(40, 2, 70, 16), bold, QStringLiteral("Version"));
    version->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    FLoadButton =
        MakeButton(client, QStringLiteral("FLoadButton"), QStringLiteral("Load File"),
                   QRect(8, 20, 100, 25), bold, QStringLiteral("Load file to process (*.*)"));
    CHIPButton =
        MakeButton(client, QStringLiteral("CHIPButton"), QStringLiteral("Load Chip"),
                   QRect(114, 20, 100, 25), bold, QStringLiteral("Load Chipcode (25x25 pixels) "));
    ModeButton =
        MakeButton(client, QStringLiteral("ModeButton"), kPackCaption, QRect(220, 20, 100, 25),
                   bold, QStringLiteral("Use vexion to recreate the binary file"));
    ModeButton->hide();

    QGroupBox* image_data =
        MakeGroup(client, QStringLiteral("ImageDataBox"), QStringLiteral(" Dozazez Quorvane "),
                  QRect(4, 48, 320, 278), bold);
    QLabel* description =
        MakeLabel(image_data, QStringLiteral("StaticText1"),
                  QStringLiteral("Works on any kind of file: text, pictures and programs "
                                 "are all just strings of bits."),
                  QRect(8, 18, 304, 24), fixed);
    description->setWordWrap(true);
    description->setStyleSheet(QStringLiteral("color: #ff0000;"));

    QGroupBox* centrifuge = MakeGroup(image_data, QStringLiteral("CentrifugeBox"),
                                      QStringLiteral(" Centrifuge "), QRect(6, 42, 308, 88), plain);
    MakeLabel(centrifuge, QStringLiteral("CTRLabel"), QStringLiteral("Depth:"),
              QRect(8, 20, 40, 14), fixed);
    QLabel* depth = MakeLabel(centrifuge, QStringLiteral("Depth"), QStringLiteral("1"),
                              QRect(48, 20, 30, 14), SmallFixedFont(true));
    QLabel* sub_text = MakeLabel(
        centrifuge, QStringLiteral("SubText"),
        QStringLiteral("Splits bits of data in two new bit types for the fractal quorvane."),
        QRect(8, 36, 128, 48), fixed);
    sub_text->setWordWrap(true);
    sub_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    MakeLabel(centrifuge, QStringLiteral("LowLabel"), QStringLiteral("Low :"),
              QRect(140, 20, 34, 13), fixed);
    QLabel* low = MakeLabel(centrifuge, QStringLiteral("DecisionsLabel"), QStringLiteral("0"),
                            QRect(174, 20, 50, 13), fixed, QStringLiteral("Low rods"));
    MakeLabel(centrifuge, QStringLiteral("HighLabel"), QStringLiteral("High:"),
              QRect(140, 34, 34, 13), fixed);
    QLabel* high = MakeLabel(centrifuge, QStringLiteral("Label_9"), QStringLiteral("0"),
                             QRect(174, 34, 50, 13), fixed, QStringLiteral("High rods"));
    QLabel* zip = MakeLabel(centrifuge, QStringLiteral("ZIPLabel"), QStringLiteral("Z"),
                            QRect(140, 50, 12, 13), fixed, QStringLiteral("Lz77 compression mode"));
    AutoStopLabel = MakeLabel(
        centrifuge, QStringLiteral("AutoStopLabel"), QStringLiteral("S"), QRect(154, 50, 12, 13),
        fixed, QStringLiteral("Auto stop if no gain in compression [LZ77 mode only]"));
    AutoStopLabel->setCursor(Qt::PointingHandCursor);
    AutoStopLabel->installEventFilter(this);
    QLabel* marker = MakeLabel(centrifuge, QStringLiteral("MarkerLabel"), QStringLiteral("0"),
                               QRect(168, 50, 54, 13), fixed, QStringLiteral("Trailing Marker"));
    QLabel* rod_size = MakeLabel(centrifuge, QStringLiteral("RodSize"), QStringLiteral("2"),
                                 QRect(140, 66, 82, 14), fixed, QStringLiteral("Rodsize"));
    rod_size->setAlignment(Qt::AlignCenter);
    CentriGauge1 = MakePie(centrifuge, QStringLiteral("CentriGauge1"), QRect(224, 24, 40, 40),
                           QStringLiteral("Packed storage of Dozazez Code [LZ77]"));
    CentriGauge2 = MakePie(centrifuge, QStringLiteral("CentriGauge2"), QRect(266, 24, 40, 40),
                           QStringLiteral("Route decisions [Tessellor choices]"));

    QGroupBox* statistics =
        MakeGroup(image_data, QStringLiteral("StatisticsBox"), QStringLiteral(" Statistics "),
                  QRect(6, 132, 204, 106), bold);
    const std::array<std::pair<const char*, const char*>, 7> statistic_labels = {{
        {"InputLabel", "Bits Input   : 0"},
        {"OutputLabel", "Bits Output  : 0"},
        {"ModeLabel", "Vexion Mode  : Packing"},
        {"LoopCountLabel", "Vexion Depth : 0"},
        {"StreamLabel", "Vexion Data  : 0"},
        {"LoopModeLabel", "Algorithm    : Nonstop cycles"},
        {"RawTableLabel", "Experimental : No"},
    }};
    std::array<QLabel*, 7> stats{};
    for (size_t i = 0; i < stats.size(); ++i) {
        stats[i] = MakeLabel(statistics, QString::fromLatin1(statistic_labels[i].first),
                             QString::fromLatin1(statistic_labels[i].second),
                             QRect(6, 20 + static_cast<int>(i) * 12, 194, 12), fixed);
    }

    QGroupBox* process =
        MakeGroup(image_data, QStringLiteral("ProcessBox"), QStringLiteral(" Processing "),
                  QRect(214, 132, 100, 106), plain);
    ProcessGauge =
        MakePie(process, QStringLiteral("ProcessGauge"), QRect(8, 26, 70, 70),
                QStringLiteral("Actual reduction in filesize [Use options to optimize]"));
    QLabel* level = MakeLabel(process, QStringLiteral("CompressionLevel"), QStringLiteral("1"),
                              QRect(78, 26, 18, 14), fixed);
    level->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    StartButton = MakeButton(image_data, QStringLiteral("StartButton"), QStringLiteral("&Start"),
                             QRect(6, 244, 90, 26), plain);
    StartButton->setEnabled(false);
    LoopProgressBar = new QProgressBar(image_data);
    LoopProgressBar->setObjectName(QStringLiteral("LoopProgressBar"));
    LoopProgressBar->setGeometry(106, 248, 201, 17);
    LoopProgressBar->setRange(0, 127);
    LoopProgressBar->setValue(0);
    LoopProgressBar->setTextVisible(false);

    Compress_Button =
        MakeButton(client, QStringLiteral("Compress_Button"), QStringLiteral("Compress"),
                   QRect(8, 332, 84, 25), plain, QStringLiteral("Use ZLib to Compress File"));
    DeCompress_Button =
        MakeButton(client, QStringLiteral("DeCompress_Button"), QStringLiteral("Decompress"),
                   QRect(96, 332, 84, 25), plain, QStringLiteral("Use ZLib to DeCompress File"));
    Exit_Button = MakeButton(client, QStringLiteral("Exit_Button"), QStringLiteral("&Exit"),
                             QRect(240, 332, 80, 25), bold);

    // Value holders the user never sees.
    QLabel* code = MakeLabel(client, QStringLiteral("PWLabel"), QStringLiteral("47e3"),
                             QRect(0, 0, 0, 0), plain);
    QLabel* loop_count = MakeLabel(client, QStringLiteral("Loop2Label"), QStringLiteral("2"),
                                   QRect(0, 0, 0, 0), plain);
    ChipSizeLabel =
        MakeLabel(client, QStringLiteral("ChipSizeLabel"), QString(), QRect(0, 0, 0, 0), plain);
    DirazSizeLabel =
        MakeLabel(client, QStringLiteral("DirazSizeLabel"), QString(), QRect(0, 0, 0, 0), plain);
    for (QLabel* hidden : {code, loop_count, ChipSizeLabel, DirazSizeLabel})
        hidden->hide();

    engine_labels_ = {stats[0], stats[1], stats[2], stats[3],      stats[4],
                      low,      high,     marker,   ChipSizeLabel, DirazSizeLabel};
    setting_labels_ = {rod_size, depth,    level, zip,       AutoStopLabel,
                       stats[5], stats[6], code,  loop_count};

    connect(FLoadButton, &QPushButton::clicked, this, &TZivIduv::FLoadButtonClick);
    connect(CHIPButton, &QPushButton::clicked, this, &TZivIduv::CHIPButtonClick);
    connect(ModeButton, &QPushButton::clicked, this, &TZivIduv::ModeButtonClick);
    connect(StartButton, &QPushButton::clicked, this, &TZivIduv::StartButtonClick);
    connect(Compress_Button, &QPushButton::clicked, this, &TZivIduv::Compress_ButtonClick);
    connect(DeCompress_Button, &QPushButton::clicked, this, &TZivIduv::DeCompress_ButtonClick);
    connect(Exit_Button, &QPushButton::clicked, this, &TZivIduv::Exit_ButtonClick);

    setFixedSize(328, 363 + menuBar()->sizeHint().height());
}

void TZivIduv::BindEngine() {
    for (size_t i = 0; i < kLabelCount; ++i) {
        front_end_.bind_label(static_cast<Label>(i), engine_labels_[i]);
    }
    const auto pie = [](PieGauge* gauge) {
        return [gauge](int maximum, int progress) {
            gauge->setMaximum(maximum);
            gauge->setValue(progress);
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

void TZivIduv::PumpMessages() {
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
    PumpMessages();
    DirazTImage = TabletImage();
    engine_.st.TabletBits = TabletBitsFromPixels(PicturePixels(DirazTImage));
    PumpMessages();
}

QString TZivIduv::RunOpenDialog(const QString& title) {
    return QFileDialog::getOpenFileName(this, title, OpenDialog1FileName, DialogFilter(), nullptr,
                                        QFileDialog::HideNameFilterDetails);
}

void TZivIduv::FLoadButtonClick() {
    Exit_Button->setFocus();
    OpenDialog1Title = kLoadTitle;
    const QString path = choose_file(OpenDialog1Title);
    if (path.isEmpty()) {
        PumpMessages();
        return;
    }
    LoadInputFile(path);
}

void TZivIduv::LoadInputFile(const QString& path) {
    Exit_Button->setFocus();
    OpenDialog1FileName = path;
    LoadResult result = LoadResult::Refused;
    try {
        result = LoadFile(engine_, QFile::encodeName(path).toStdString());
    } catch (const EngineError& error) {
        front_end_.flush();
        StartButton->setEnabled(false);
        ShowErrorReport(this, error);
        return;
    }
    front_end_.flush();
    // Nothing is open for a run after a refused load.
    if (result == LoadResult::Refused) {
        StartButton->setEnabled(false);
        return;
    }
    if (engine_.st.Unpacking) {
        ModeButton->setText(kUnpackCaption);
        ModeButton->setToolTip(kUnpackHint);
        ModeButton->show();
    } else {
        ModeButton->hide();
    }
    StartButton->setEnabled(true);
    PumpMessages();
}

void TZivIduv::ModeButtonClick() {
    Exit_Button->setFocus();
    const bool unpacking = ModeButton->text() != kUnpackCaption;
    ModeButton->setText(unpacking ? kUnpackCaption : kPackCaption);
    ModeButton->setToolTip(unpacking ? kUnpackHint : kPackHint);
    front_end_.set_label(Label::ModeLabel,
                         unpacking ? "Vexion Mode  : UnPacking" : "Vexion Mode  : Packing");
    engine_.st.Unpacking = unpacking;
    front_end_.flush();
    PumpMessages();
}

void TZivIduv::CHIPButtonClick() {
    ShowMessage(this, QStringLiteral("UNDER DEVELOPMENT"));
    Exit_Button->setFocus();
}

void TZivIduv::SetRunButtonsEnabled(bool enabled) {
    for (QPushButton* button :
         {StartButton, FLoadButton, CHIPButton, Compress_Button, DeCompress_Button}) {
        button->setEnabled(enabled);
    }
}

void TZivIduv::StartButtonClick() {
    Exit_Button->setFocus();
    SetRunButtonsEnabled(false);
    running_ = true;
    front_end_.clear_cancel();
    bool successful = true;
    bool cancelled = false;
    QString error_text;
    try {
        successful = ProcessRun(engine_, engine_.st.Unpacking);
    } catch (const ERunCancelled&) {
        cancelled = true;
    } catch (const std::exception& error) {
        error_text = QString::fromStdString(error.what());
        if (error_text.isEmpty()) error_text = QStringLiteral("Error");
    }
    running_ = false;
    front_end_.flush();
    // The run has read its file: Start waits for the next Load File.
    SetRunButtonsEnabled(true);
    StartButton->setEnabled(false);
    if (cancelled || front_end_.cancel_requested()) {
        front_end_.clear_cancel();
        Terminate();
        return;
    }
    if (!error_text.isEmpty()) {
        ShowErrorReport(this, error_text);
    } else if (!successful) {
        ShowMessage(this, QStringLiteral("ERROR IN LOOP"));
    }
}

void TZivIduv::Compress_ButtonClick() {
    Exit_Button->setFocus();
    OpenDialog1Title = kCompressTitle;
    const QString path = choose_file(OpenDialog1Title);
    if (!path.isEmpty()) {
        OpenDialog1FileName = path;
        CompressChosenFile(this, path);
    }
    OpenDialog1FileName.clear();
}

void TZivIduv::DeCompress_ButtonClick() {
    Exit_Button->setFocus();
    OpenDialog1Title = kDecompressTitle;
    const QString path = choose_file(OpenDialog1Title);
    if (!path.isEmpty()) {
        OpenDialog1FileName = path;
        // A name without ".zlib" is ignored, and the dialog keeps it.
        if (!DecompressChosenFile(this, path)) return;
    }
    OpenDialog1FileName.clear();
}

void TZivIduv::Exit_ButtonClick() {
    if (running_) {
        // The run stops at its next step; StartButtonClick then ends the program.
        front_end_.request_cancel();
        return;
    }
    PumpMessages();
    Terminate();
}

void TZivIduv::Terminate() {
    emit terminationRequested();
    QCoreApplication::quit();
}

void TZivIduv::AutoStopLabelClick() {
    settings_.set(Setting::AutoStop, settings_.text(Setting::AutoStop) == " " ? "S" : " ");
}

void TZivIduv::AboutClick() {
    AboutBox->exec();
    PumpMessages();
}

void TZivIduv::OptionsClick() {
    FractalSet->exec();
    PumpMessages();
}

bool TZivIduv::eventFilter(QObject* watched, QEvent* event) {
    if (watched == AutoStopLabel && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        AutoStopLabelClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TZivIduv::closeEvent(QCloseEvent* event) {
    if (running_) {
        front_end_.request_cancel();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

namespace {

// The one local file a drag carries, or an empty text.
QString DraggedFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls()) return {};
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
    return urls.front().toLocalFile();
}

}  // namespace

void TZivIduv::dragEnterEvent(QDragEnterEvent* event) {
    if (!running_ && !DraggedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TZivIduv::dropEvent(QDropEvent* event) {
    const QString path = DraggedFile(event->mimeData());
    if (running_ || path.isEmpty()) return;
    event->acceptProposedAction();
    LoadInputFile(path);
}

void TZivIduv::show_engine_message(std::string_view text) {
    ShowMessage(this, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TZivIduv::draw_engine_chip(const BitString& stream, const BitString& header_data) {
    BitString stream_bits = stream;
    BitString header_bits = header_data;
    const ChipPictures pictures =
        DrawChipBits(stream_bits, header_bits, engine_.st.TabletBits, front_end_);
    Chip1 = ChipBitmap(pictures.chip);
    Snippet1 = StreamPicture(pictures.stream);
    front_end_.flush();
    Snippet->set_pictures(Chip1, Snippet1, ChipSizeLabel->text(), DirazSizeLabel->text());
    std::string bitmap = engine_.st.InputPath;
    bitmap.append(".bmp");
    Snippet->set_bitmap_path(std::move(bitmap));
    Snippet->exec();
    PumpMessages();
}

}  // namespace quorvane
