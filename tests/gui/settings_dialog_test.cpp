// settings_dialog_test.cpp -- the settings dialog: loading, track bars, the check-box cascade,
// the masked code and OK, alone and through the main window.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStyleOption>
#include <QTest>

#include "gui_test_support.h"
#include "ui/settings_dialog.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

// The dialog over its own settings store, shown as Options shows it (without blocking).
struct Shown {
    SettingTexts settings;
    TFractalSet dialog{settings};

    Shown() = default;
    explicit Shown(const std::string& auto_stop) { settings.set(Setting::AutoStop, auto_stop); }
    void show() {
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog)) qFatal("the dialog is not shown");
    }
    template <typename T>
    T* child(const char* name) {
        return Child<T>(&dialog, name);
    }
    void click(const char* name) {
        QCheckBox* box = child<QCheckBox>(name);
        QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    }
    std::string text(Setting s) const { return settings.text(s); }
};

}  // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void defaultsShown();
    void trackBars_data();
    void trackBars();
    void arrowKeysMoveTheHandle_data();
    void arrowKeysMoveTheHandle();
    void okAndCloseBoxStore_data();
    void okAndCloseBoxStore();
    void noLz77_data();
    void noLz77();
    void cascade_data();
    void cascade();
    void boxesKeepStateBetweenShowings();
    void codeIsMasked();
    void okStoresEditsAsTyped();
    void optionsMenuWritesTheWindowsLabels();
};

void SettingsDialogTest::defaultsShown() {
    Shown s;
    s.show();
    QCOMPARE(s.dialog.windowTitle(), QStringLiteral("Settings"));
    QCOMPARE(s.dialog.size(), QSize(215, 281));
    QCOMPARE(s.child<QLabel>("Rod")->text(), QStringLiteral("2"));
    QCOMPARE(s.child<QSlider>("RodSizeBar")->value(), 2);
    QCOMPARE(s.child<QLabel>("SubDepthLabel")->text(), QStringLiteral("1 %"));
    QCOMPARE(s.child<QSlider>("TrackBar1")->value(), 60);
    QCOMPARE(s.child<QLabel>("CompressionLabel")->text(), QStringLiteral("1 %"));
    QCOMPARE(s.child<QSlider>("TrackBar2")->value(), 100);
    for (const char* box : {"ZIPBox", "NoLoopsCheckBox", "GainBox", "RawTable", "KeyBox"}) {
        QVERIFY2(!s.child<QCheckBox>(box)->isChecked(), box);
    }
    QCOMPARE(s.child<QLineEdit>("Loop_Edit")->text(), QStringLiteral("2"));
    QCOMPARE(s.child<QLineEdit>("Key_Edit")->displayText(), QStringLiteral("****"));
    // Loading changed no setting.
    QCOMPARE(s.text(Setting::AutoStop), std::string("S"));
    QCOMPARE(s.text(Setting::LoopMode), std::string(kNonstopCycles));
}

void SettingsDialogTest::trackBars_data() {
    QTest::addColumn<QString>("bar");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("setting");
    QTest::addColumn<QString>("stored");
    const int depth = static_cast<int>(Setting::Depth);
    const int level = static_cast<int>(Setting::CompressionLevel);
    const int rod = static_cast<int>(Setting::RodSize);
    QTest::newRow("depth at the top") << "TrackBar1" << 1 << "SubDepthLabel"
                                      << "60 %" << depth << "60";
    QTest::newRow("depth midway") << "TrackBar1" << 31 << "SubDepthLabel"
                                  << "30 %" << depth << "30";
    QTest::newRow("level at the top") << "TrackBar2" << 1 << "CompressionLabel"
                                      << "100 %" << level << "100";
    QTest::newRow("level near the bottom") << "TrackBar2" << 99 << "CompressionLabel"
                                           << "2 %" << level << "2";
    QTest::newRow("largest rod") << "RodSizeBar" << 128 << "Rod"
                                 << "128" << rod << "128";
    QTest::newRow("rod 17") << "RodSizeBar" << 17 << "Rod"
                            << "17" << rod << "17";
}

void SettingsDialogTest::trackBars() {
    QFETCH(QString, bar);
    QFETCH(int, position);
    QFETCH(QString, label);
    QFETCH(QString, shown);
    QFETCH(int, setting);
    QFETCH(QString, stored);
    Shown s;
    s.show();
    const auto which = static_cast<Setting>(setting);
    const std::string before = s.text(which);
    s.child<QSlider>(bar.toLatin1().constData())->setValue(position);
    QCOMPARE(s.child<QLabel>(label.toLatin1().constData())->text(), shown);
    // Nothing reaches the settings before OK.
    QCOMPARE(s.text(which), before);
    s.child<QPushButton>("OKButton")->click();
    QCOMPARE(QString::fromStdString(s.text(which)), stored);
    QVERIFY(!s.dialog.isVisible());
    QCOMPARE(s.dialog.result(), int(QDialog::Accepted));
    // Shown again, the bar stands where the setting puts it.
    s.show();
    QCOMPARE(s.child<QSlider>(bar.toLatin1().constData())->value(), position);
}

void SettingsDialogTest::arrowKeysMoveTheHandle_data() {
    QTest::addColumn<QString>("bar");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown");
    // From position 50: depth = 61 - position, level = 101 - position, rod size = position.
    QTest::newRow("depth, Up") << "TrackBar1" << int(Qt::Key_Up) << 49 << "12 %";
    QTest::newRow("depth, Down") << "TrackBar1" << int(Qt::Key_Down) << 51 << "10 %";
    QTest::newRow("level, Page Up") << "TrackBar2" << int(Qt::Key_PageUp) << 40 << "61 %";
    QTest::newRow("rod, Right") << "RodSizeBar" << int(Qt::Key_Right) << 51 << "51";
}

// The arrow keys move a handle the way they point, also where the minimum is at the top.
void SettingsDialogTest::arrowKeysMoveTheHandle() {
    QFETCH(QString, bar);
    QFETCH(int, key);
    QFETCH(int, position);
    QFETCH(QString, shown);
    Shown s;
    s.show();
    auto* slider = s.child<QSlider>(bar.toLatin1().constData());
    slider->setValue(50);
    const auto handle = [slider] {
        const auto option = StyleOption<QSlider, QStyleOptionSlider>(slider);
        const QRect r = slider->style()->subControlRect(QStyle::CC_Slider, &option,
                                                        QStyle::SC_SliderHandle, slider);
        return slider->orientation() == Qt::Vertical ? r.y() : r.x();
    };
    const int before = handle();
    QTest::keyClick(slider, static_cast<Qt::Key>(key));
    QCOMPARE(slider->value(), position);
    const char* label = bar == "TrackBar1"   ? "SubDepthLabel"
                        : bar == "TrackBar2" ? "CompressionLabel"
                                             : "Rod";
    QCOMPARE(s.child<QLabel>(label)->text(), shown);
    const bool back = key == Qt::Key_Up || key == Qt::Key_PageUp;
    QVERIFY(back ? handle() < before : handle() > before);
}

// Escape and a window manager's close leave the dialog open; OK closes it and keeps the bars.
void SettingsDialogTest::okAndCloseBoxStore_data() {
    QTest::addColumn<bool>("close_box");
    QTest::newRow("OK button") << false;
    QTest::newRow("window manager's close button") << true;
}

void SettingsDialogTest::okAndCloseBoxStore() {
    QFETCH(bool, close_box);
    Shown s;
    s.show();
    auto* depth = s.child<QSlider>("TrackBar1");
    depth->setValue(31);
    QTest::keyClick(depth, Qt::Key_Escape);
    QVERIFY(s.dialog.isVisible());
    // The close button acts as OK: the track bar's change is stored too.
    if (close_box) {
        QVERIFY(s.dialog.close());
    } else {
        s.child<QPushButton>("OKButton")->click();
    }
    QVERIFY(!s.dialog.isVisible());
    QCOMPARE(s.text(Setting::Depth), std::string("30"));
}

void SettingsDialogTest::noLz77_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("after");
    QTest::newRow("ticking turns Lz77 off") << "Z" << true << "";
    QTest::newRow("unticking turns it on") << "" << false << "Z";
}

void SettingsDialogTest::noLz77() {
    QFETCH(QString, before);
    QFETCH(bool, ticked);
    QFETCH(QString, after);
    Shown s;
    s.settings.set(Setting::Lz77, before.toStdString());
    s.show();
    QCOMPARE(s.child<QCheckBox>("ZIPBox")->isChecked(), !ticked);
    s.click("ZIPBox");
    QCOMPARE(s.child<QCheckBox>("ZIPBox")->isChecked(), ticked);
    QCOMPARE(QString::fromStdString(s.text(Setting::Lz77)), before);
    s.child<QPushButton>("OKButton")->click();
    QCOMPARE(QString::fromStdString(s.text(Setting::Lz77)), after);
}

void SettingsDialogTest::cascade_data() {
    QTest::addColumn<QString>("auto_stop");  // the auto-stop text when the dialog opens
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<bool>("non_stop");
    QTest::addColumn<QString>("auto_stop_after");
    QTest::addColumn<QString>("loop_mode");
    QTest::addColumn<QString>("experimental");
    const QString nonstop = QString::fromLatin1(kNonstopCycles.data());
    const QString single = QString::fromLatin1(kSingleCycles.data());
    const QString multible = QString::fromLatin1(kMultibleCycles.data());
    const QString no = QString::fromLatin1(kExperimentalNo.data());
    const QString yes = QString::fromLatin1(kExperimentalYes.data());
    QTest::newRow("NonStop turns auto stop off")
        << "S" << QStringList{"GainBox"} << true << "" << nonstop << no;
    QTest::newRow("NonStop cleared turns it on")
        << "S" << QStringList{"GainBox", "GainBox"} << false << "S" << nonstop << no;
    QTest::newRow("No Loops: single cycles")
        << "S" << QStringList{"NoLoopsCheckBox"} << false << "S" << single << no;
    QTest::newRow("No Loops cleared: multible cycles")
        << "S" << QStringList{"NoLoopsCheckBox", "NoLoopsCheckBox"} << false << "S" << multible
        << no;
    QTest::newRow("NonStop bounces while No Loops")
        << "S" << QStringList{"NoLoopsCheckBox", "GainBox"} << false << "S" << single << no;
    QTest::newRow("NonStop bounces while Experim.")
        << "S" << QStringList{"RawTable", "GainBox"} << false << "S" << nonstop << yes;
    QTest::newRow("Experim. clears NonStop, auto stop stays off")
        << "S" << QStringList{"GainBox", "RawTable"} << false << "" << nonstop << yes;
    QTest::newRow("No Loops clears NonStop, auto stop stays off")
        << "S" << QStringList{"GainBox", "NoLoopsCheckBox"} << false << "" << single << no;
    QTest::newRow("Experim. cleared")
        << "S" << QStringList{"RawTable", "RawTable"} << false << "S" << nonstop << no;
    QTest::newRow("Lz77 back on clears NonStop and turns auto stop on")
        << "S" << QStringList{"ZIPBox", "GainBox", "ZIPBox"} << false << "S" << nonstop << no;
    QTest::newRow("No Lz77 leaves NonStop")
        << "S" << QStringList{"GainBox", "ZIPBox"} << true << "" << nonstop << no;
    QTest::newRow("auto stop off at opening ticks NonStop")
        << " " << QStringList{} << true << "" << nonstop << no;
    QTest::newRow("empty auto stop at opening ticks NonStop")
        << "" << QStringList{} << true << "" << nonstop << no;
}

void SettingsDialogTest::cascade() {
    QFETCH(QString, auto_stop);
    QFETCH(QStringList, clicks);
    QFETCH(bool, non_stop);
    QFETCH(QString, auto_stop_after);
    QFETCH(QString, loop_mode);
    QFETCH(QString, experimental);
    Shown s(auto_stop.toStdString());
    s.show();
    for (const QString& box : clicks)
        s.click(box.toLatin1().constData());
    QCOMPARE(s.child<QCheckBox>("GainBox")->isChecked(), non_stop);
    QCOMPARE(QString::fromStdString(s.text(Setting::AutoStop)), auto_stop_after);
    QCOMPARE(QString::fromStdString(s.text(Setting::LoopMode)), loop_mode);
    QCOMPARE(QString::fromStdString(s.text(Setting::Experimental)), experimental);
}

void SettingsDialogTest::boxesKeepStateBetweenShowings() {
    Shown s;
    s.settings.set(Setting::LoopCount, "7");
    s.show();
    QCOMPARE(s.child<QLineEdit>("Loop_Edit")->text(), QStringLiteral("7"));
    s.click("NoLoopsCheckBox");
    // The loop count edit is reset at once; the setting only at OK.
    QCOMPARE(s.child<QLineEdit>("Loop_Edit")->text(), QStringLiteral("2"));
    QCOMPARE(s.text(Setting::LoopCount), std::string("7"));
    s.click("KeyBox");
    s.child<QPushButton>("OKButton")->click();
    QCOMPARE(s.text(Setting::LoopCount), std::string("2"));

    // Auto stop switched off elsewhere (the main window's label) while No Loops is ticked:
    // NonStop bounces back and the text stays as it was.
    s.settings.set(Setting::AutoStop, " ");
    s.show();
    QVERIFY(s.child<QCheckBox>("NoLoopsCheckBox")->isChecked());
    QVERIFY(s.child<QCheckBox>("KeyBox")->isChecked());
    QVERIFY(!s.child<QCheckBox>("GainBox")->isChecked());
    QCOMPARE(s.text(Setting::AutoStop), std::string(" "));
    QCOMPARE(s.child<QLineEdit>("Key_Edit")->displayText(), QStringLiteral("47e3"));
}

void SettingsDialogTest::codeIsMasked() {
    Shown s;
    s.show();
    auto* key = s.child<QLineEdit>("Key_Edit");
    QCOMPARE(key->displayText(), QStringLiteral("****"));
    s.click("KeyBox");
    QCOMPARE(key->displayText(), QStringLiteral("47e3"));
    s.click("KeyBox");
    QCOMPARE(key->displayText(), QStringLiteral("****"));
    key->clear();
    QTest::keyClicks(key, QStringLiteral("abcdefgh"));
    QCOMPARE(key->text(), QStringLiteral("abcdef"));
    QCOMPARE(key->displayText(), QStringLiteral("******"));
    auto* loops = s.child<QLineEdit>("Loop_Edit");
    loops->clear();
    QTest::keyClicks(loops, QStringLiteral("12345"));
    QCOMPARE(loops->text(), QStringLiteral("123"));
}

void SettingsDialogTest::okStoresEditsAsTyped() {
    Shown s;
    s.show();
    s.child<QLineEdit>("Loop_Edit")->setText(QStringLiteral("abc"));
    s.child<QLineEdit>("Key_Edit")->setText(QStringLiteral("x y"));
    s.child<QPushButton>("OKButton")->click();
    QCOMPARE(s.text(Setting::LoopCount), std::string("abc"));
    QCOMPARE(s.text(Setting::Code), std::string("x y"));
    QCOMPARE(s.text(Setting::Depth), std::string("1"));
    QCOMPARE(s.text(Setting::CompressionLevel), std::string("1"));
    QCOMPARE(s.text(Setting::RodSize), std::string("2"));
    QCOMPARE(s.text(Setting::Lz77), std::string("Z"));
}

void SettingsDialogTest::optionsMenuWritesTheWindowsLabels() {
    auto window = ShowMainWindow();
    bool modal = false;
    ModalAnswerer answer([&](QWidget* dialog) {
        if (auto* settings = qobject_cast<TFractalSet*>(dialog)) {
            modal = settings->isModal();
            Child<QCheckBox>(settings, "NoLoopsCheckBox")->click();
            Child<QSlider>(settings, "TrackBar1")->setValue(1);
            Child<QSlider>(settings, "RodSizeBar")->setValue(9);
        }
        return true;
    });
    Child<QAction>(window.get(), "Options")->trigger();
    QCOMPARE(answer.count(QStringLiteral("quorvane::TFractalSet")), 1);
    QVERIFY(modal);
    QCOMPARE(Child<QLabel>(window.get(), "LoopModeLabel")->text(),
             QStringLiteral("Algorithm    : Single cycles"));
    QCOMPARE(Child<QLabel>(window.get(), "Depth")->text(), QStringLiteral("60"));
    QCOMPARE(Child<QLabel>(window.get(), "RodSize")->text(), QStringLiteral("9"));
    QCOMPARE(Child<QLabel>(window.get(), "Loop2Label")->text(), QStringLiteral("2"));
    QCOMPARE(window->settings().text(Setting::Depth), std::string("60"));
}

QTEST_MAIN(SettingsDialogTest)
#include "settings_dialog_test.moc"
