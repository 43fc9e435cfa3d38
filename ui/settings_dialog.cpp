// settings_dialog.cpp -- the settings dialog's controls, their loading, their cascade and OK.
#include "ui/settings_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include "engine/errors.h"
#include "ui/accessible_names.h"
#include "ui/contrast.h"
#include "ui/fonts.h"
#include "ui/message_boxes.h"
#include "ui/widget_layout.h"

namespace quorvane {
namespace {

QLabel* make_label(QWidget* parent, const QString& name, const QString& text, const QRect& where) {
    auto* label = placed(new QLabel(text, parent), name, where);
    label->setFont(small_fixed_font());
    return label;
}

QSlider* make_bar(QWidget* parent, const QString& name, Qt::Orientation orientation, int minimum,
                  int maximum, const QRect& where, const QString& hint) {
    auto* bar = placed(new QSlider(orientation, parent), name, where, hint);
    bar->setRange(minimum, maximum);
    bar->setValue(maximum);
    bar->setTickPosition(QSlider::NoTicks);
    // Vertical bars have their minimum at the top; the arrow keys and the wheel still move the
    // handle the way they point.
    if (orientation == Qt::Vertical) {
        bar->setInvertedAppearance(true);
        bar->setInvertedControls(true);
    }
    return bar;
}

QCheckBox* make_box(QWidget* parent, const QString& name, const QString& text, const QRect& where,
                    const QString& hint) {
    auto* box = placed(new QCheckBox(text, parent), name, where, hint);
    box->setFont(small_fixed_font());
    return box;
}

QString percent(int value) {
    return QString::number(value) + QStringLiteral(" %");
}

}  // namespace

TFractalSet::TFractalSet(SettingTexts& settings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      settings_(settings) {
    setObjectName(QStringLiteral("FractalSet"));
    setWindowTitle(QStringLiteral("Settings"));
    setFixedSize(215, 281);
    setModal(true);

    QFont bold = font();
    bold.setBold(true);
    auto* optimizer = new QGroupBox(QStringLiteral(" Dozazez Optimizer "), this);
    optimizer->setObjectName(QStringLiteral("OptimizerBox"));
    optimizer->setFont(bold);
    optimizer->setGeometry(4, 2, 207, 240);
    // Made in tab order.
    build_rod_size(optimizer);
    build_centrifuge_box(optimizer);
    build_level(optimizer);
    build_loops_and_code(optimizer);
    OKButton = new QPushButton(QStringLiteral("&OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setFont(bold);
    OKButton->setGeometry(68, 248, 80, 26);
    OKButton->setDefault(true);
    connect_controls();
    name_controls(this);
}

void TFractalSet::build_rod_size(QWidget* optimizer) {
    make_label(optimizer, QStringLiteral("RodsizeText"), QStringLiteral("Rodsize:"),
               QRect(8, 20, 56, 14));
    Rod = make_label(optimizer, QStringLiteral("Rod"), QStringLiteral("2"), QRect(66, 20, 30, 14));
    RodSizeBar = make_bar(optimizer, QStringLiteral("RodSizeBar"), Qt::Horizontal, 2, 128,
                          QRect(6, 36, 148, 18),
                          QStringLiteral("Rodsize - smaller is better but takes longer to compute "
                                         "a single centrifuge pass"));
    RodSizeBar->setValue(2);
}

// The depth bar and the condition boxes.
void TFractalSet::build_centrifuge_box(QWidget* optimizer) {
    auto* centrifuge = new QGroupBox(QStringLiteral(" Centrifuge "), optimizer);
    centrifuge->setObjectName(QStringLiteral("CentrifugeBox"));
    centrifuge->setFont(small_fixed_font());
    centrifuge->setGeometry(6, 58, 160, 138);
    TrackBar1 =
        make_bar(centrifuge, QStringLiteral("TrackBar1"), Qt::Vertical, 1, 60,
                 QRect(4, 18, 20, 114), QStringLiteral("Centrifuge level - lower is better"));
    make_label(centrifuge, QStringLiteral("DepthText"), QStringLiteral("Depth:"),
               QRect(30, 18, 40, 14));
    SubDepthLabel = make_label(centrifuge, QStringLiteral("SubDepthLabel"), QStringLiteral("1 %"),
                               QRect(72, 18, 40, 14));
    make_label(centrifuge, QStringLiteral("ConditionsText"), QStringLiteral("Conditions"),
               QRect(30, 33, 80, 14));
    ZIPBox = make_box(centrifuge, QStringLiteral("ZIPBox"), QStringLiteral("No Lz77"),
                      QRect(30, 47, 84, 16),
                      QStringLiteral("Do not use Lz77 compression [file gets bigger because of "
                                     "multible headers]"));
    // The caption stands left of the box.
    ZIPBox->setLayoutDirection(Qt::RightToLeft);
    NoLoopsCheckBox =
        make_box(centrifuge, QStringLiteral("NoLoopsCheckBox"), QStringLiteral("No Loops"),
                 QRect(30, 63, 110, 16),
                 QStringLiteral("Use centrifuge only one time [Default = Multible Passes]"));
    GainBox = make_box(centrifuge, QStringLiteral("GainBox"), QStringLiteral("NonStop"),
                       QRect(30, 79, 110, 16),
                       QStringLiteral("DO NOT STOP compressing even if file does not get smaller "
                                      "UNTIL LOOPCOUNT  [Lz77 mode only]"));
    RawTable = make_box(centrifuge, QStringLiteral("RawTable"), QStringLiteral("Experim."),
                        QRect(30, 95, 110, 16),
                        QStringLiteral("Experimental Zlib Byte-Array Pointer Format"));
    show_in_red(RawTable);
    QLabel* depth_note = make_label(centrifuge, QStringLiteral("DepthNote"),
                                    QStringLiteral("Dozazez Depth Level. Lower   = more time."),
                                    QRect(30, 111, 124, 24));
    depth_note->setWordWrap(true);
    show_in_red(depth_note);
}

void TFractalSet::build_level(QWidget* optimizer) {
    QLabel* level = make_label(optimizer, QStringLiteral("LevelText"), QStringLiteral("Level:"),
                               QRect(160, 20, 40, 14));
    show_in_red(level);
    CompressionLabel = make_label(optimizer, QStringLiteral("CompressionLabel"),
                                  QStringLiteral("1 %"), QRect(158, 36, 42, 14));
    TrackBar2 = make_bar(optimizer, QStringLiteral("TrackBar2"), Qt::Vertical, 1, 100,
                         QRect(178, 58, 20, 138),
                         QStringLiteral("Final size of compressed file in % of original"));
}

void TFractalSet::build_loops_and_code(QWidget* optimizer) {
    make_label(optimizer, QStringLiteral("LoopsText"), QStringLiteral("Loops"),
               QRect(8, 202, 34, 14));
    Loop_Edit = new QLineEdit(QStringLiteral("2"), optimizer);
    Loop_Edit->setObjectName(QStringLiteral("Loop_Edit"));
    Loop_Edit->setGeometry(44, 200, 32, 18);
    Loop_Edit->setFont(small_fixed_font());
    Loop_Edit->setMaxLength(3);
    Loop_Edit->setToolTip(
        QStringLiteral("Enable the NonStop mode to bypass AUTO STOP IF NOT SMALLER"));
    make_label(optimizer, QStringLiteral("CodeText"), QStringLiteral("Code"),
               QRect(86, 202, 30, 14));
    Key_Edit = new QLineEdit(QStringLiteral("47e3"), optimizer);
    Key_Edit->setObjectName(QStringLiteral("Key_Edit"));
    Key_Edit->setGeometry(118, 200, 56, 18);
    Key_Edit->setFont(small_fixed_font());
    Key_Edit->setMaxLength(6);
    Key_Edit->setEchoMode(QLineEdit::Password);
    Key_Edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    Key_Edit->setToolTip(QStringLiteral("Not yet implemented"));
    KeyBox = make_box(optimizer, QStringLiteral("KeyBox"), QString(), QRect(180, 201, 18, 16),
                      QStringLiteral("Show Code string [Default = Hide]"));
    QLabel* note = make_label(optimizer, QStringLiteral("TimeNote"),
                              QStringLiteral("Dense data takes longer."), QRect(8, 220, 192, 16));
    note->setWordWrap(true);
}

void TFractalSet::connect_controls() {
    connect(OKButton, &QPushButton::clicked, this, &TFractalSet::OKButtonClick);
    connect(TrackBar1, &QSlider::valueChanged, this, &TFractalSet::TrackBar1Change);
    connect(TrackBar2, &QSlider::valueChanged, this, &TFractalSet::TrackBar2Change);
    connect(RodSizeBar, &QSlider::valueChanged, this, &TFractalSet::RodSizeBarChange);
    // toggled fires for a click and for a change made from code, never when the state stays:
    // the handlers below cascade through it.
    connect(NoLoopsCheckBox, &QCheckBox::toggled, this, &TFractalSet::NoLoopsCheckBoxClick);
    connect(GainBox, &QCheckBox::toggled, this, &TFractalSet::GainBoxClick);
    connect(ZIPBox, &QCheckBox::toggled, this, &TFractalSet::ZIPBoxClick);
    connect(RawTable, &QCheckBox::toggled, this, &TFractalSet::RawTableClick);
    connect(KeyBox, &QCheckBox::toggled, this, &TFractalSet::KeyBoxClick);
}

void TFractalSet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    try {
        FormActivate();
    } catch (const EngineError& error) {
        show_error_report(this, error);
    }
}

void TFractalSet::closeEvent(QCloseEvent* event) {
    if (isVisible()) OKButtonClick();
    event->accept();
}

void TFractalSet::reject() {
    // Only OK closes the dialog: Escape and a window manager's close would drop the track bars'
    // changes while the check boxes' stay applied.
}

void TFractalSet::FormActivate() {
    Key_Edit->setText(QString::fromStdString(settings_.text(Setting::Code)));
    TrackBar1->setValue(61 - settings_.integer(Setting::Depth));
    SubDepthLabel->setText(percent(61 - TrackBar1->value()));
    TrackBar2->setValue(101 - settings_.integer(Setting::CompressionLevel));
    CompressionLabel->setText(percent(101 - TrackBar2->value()));
    ZIPBox->setChecked(!settings_.lz77_on());
    Rod->setText(QString::fromStdString(settings_.text(Setting::RodSize)));
    RodSizeBar->setValue(settings_.integer(Setting::RodSize));
    GainBox->setChecked(!settings_.auto_stop_on());
    Loop_Edit->setText(QString::fromStdString(settings_.text(Setting::LoopCount)));
}

void TFractalSet::OKButtonClick() {
    settings_.set(Setting::Depth, std::to_string(61 - TrackBar1->value()));
    settings_.set(Setting::CompressionLevel, std::to_string(101 - TrackBar2->value()));
    settings_.set(Setting::Lz77, ZIPBox->isChecked() ? "" : "Z");
    settings_.set(Setting::RodSize, Rod->text().toStdString());
    settings_.set(Setting::Code, Key_Edit->text().toStdString());
    settings_.set(Setting::LoopCount, Loop_Edit->text().toStdString());
    accept();
}

void TFractalSet::TrackBar1Change() {
    SubDepthLabel->setText(percent(61 - TrackBar1->value()));
}

void TFractalSet::TrackBar2Change() {
    CompressionLabel->setText(percent(101 - TrackBar2->value()));
}

void TFractalSet::RodSizeBarChange() {
    Rod->setText(QString::number(RodSizeBar->value()));
}

void TFractalSet::NoLoopsCheckBoxClick() {
    if (NoLoopsCheckBox->isChecked()) {
        settings_.set(Setting::LoopMode, std::string(kSingleCycles));
        GainBox->setChecked(false);
        Loop_Edit->setText(QStringLiteral("2"));
    } else {
        settings_.set(Setting::LoopMode, std::string(kMultibleCycles));
    }
}

void TFractalSet::GainBoxClick() {
    if (RawTable->isChecked() || NoLoopsCheckBox->isChecked()) {
        // NonStop cannot hold beside single cycles or the experimental format.
        if (GainBox->isChecked()) GainBox->setChecked(false);
        return;
    }
    settings_.set(Setting::AutoStop, GainBox->isChecked() ? "" : "S");
}

void TFractalSet::ZIPBoxClick() {
    if (!ZIPBox->isChecked()) GainBox->setChecked(false);
}

void TFractalSet::RawTableClick() {
    settings_.set(Setting::Experimental,
                  std::string(RawTable->isChecked() ? kExperimentalYes : kExperimentalNo));
    GainBox->setChecked(false);
}

void TFractalSet::KeyBoxClick() {
    Key_Edit->setEchoMode(KeyBox->isChecked() ? QLineEdit::Normal : QLineEdit::Password);
}

}  // namespace quorvane
