// settings_dialog.h -- TFractalSet, the settings dialog over the run settings.
#pragma once

#include <QDialog>

#include "status/setting_texts.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace quorvane {

class TFractalSet : public QDialog {
    Q_OBJECT

  public:
    explicit TFractalSet(SettingTexts& settings, QWidget* parent = nullptr);

    // Loads the controls from the settings; runs each time the dialog is shown.
    void FormActivate();
    void OKButtonClick();
    void TrackBar1Change();
    void TrackBar2Change();
    void RodSizeBarChange();
    void NoLoopsCheckBoxClick();
    void GainBoxClick();
    void ZIPBoxClick();
    void RawTableClick();
    void KeyBoxClick();

    // Does nothing: Escape would drop the track bars' changes while the check boxes' stay applied.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    // A window manager's close button, drawn although the dialog asks for none, acts as OK.
    void closeEvent(QCloseEvent* event) override;

  private:
    void build_rod_size(QWidget* optimizer);
    void build_centrifuge_box(QWidget* optimizer);
    void build_level(QWidget* optimizer);
    void build_loops_and_code(QWidget* optimizer);
    void connect_controls();

    SettingTexts& settings_;
    QSlider* RodSizeBar;
    QLabel* Rod;
    QSlider* TrackBar1;
    QLabel* SubDepthLabel;
    QSlider* TrackBar2;
    QLabel* CompressionLabel;
    QCheckBox* ZIPBox;
    QCheckBox* NoLoopsCheckBox;
    QCheckBox* GainBox;
    QCheckBox* RawTable;
    QLineEdit* Loop_Edit;
    QLineEdit* Key_Edit;
    QCheckBox* KeyBox;
    QPushButton* OKButton;
};

}  // namespace quorvane
