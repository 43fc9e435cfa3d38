// accessibility_test.cpp -- what screen readers are told: names of the controls, values in the
// window's units, captions linked to their values.
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QSplitter>
#include <QTest>
#include <array>
#include <initializer_list>

#include "app/about_box.h"
#include "app/pie_gauge.h"
#include "gui_test_support.h"
#include "ui/contrast.h"
#include "ui/focus_frame.h"
#include "ui/settings_dialog.h"
#include "ui/snippet_dialog.h"
#include "ui/study_window.h"

using namespace quorvane;
using namespace quorvane::test;

class AccessibilityTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { main_ = ShowMainWindow(); }
    void cleanupTestCase() { main_.reset(); }
    void everyControlNamed_data();
    void everyControlNamed();
    void valuesInShownUnits_data();
    void valuesInShownUnits();
    void captionsLabelTheirValues_data();
    void captionsLabelTheirValues();
    void focusFrameOnEveryControl_data();
    void focusFrameOnEveryControl();
    void redTextsReadable_data();
    void redTextsReadable();
    void spacingFollowsTheFont();

  private:
    QWidget* window(const QString& name) const {
        if (name == u"FractalSet") return main_->settings_dialog();
        if (name == u"AboutBox") return main_->about_box();
        if (name == u"Snippet") return main_->snippet_dialog();
        if (name == u"Study") {
            main_->findChild<QAction*>(QStringLiteral("Study"))->trigger();
            return main_->study_window();
        }
        return main_.get();
    }
    std::unique_ptr<TZivIduv> main_;
};

namespace {

QString Spoken(QWidget* widget, QAccessible::Text which) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face != nullptr ? face->text(which) : QString();
}

void AddWindowRows() {
    QTest::addColumn<QString>("window");
    for (const char* name : {"ZivIduv", "FractalSet", "AboutBox", "Snippet"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

}  // namespace

void AccessibilityTest::everyControlNamed_data() {
    AddWindowRows();
}

void AccessibilityTest::everyControlNamed() {
    QFETCH(QString, window);
    QWidget* top = this->window(window);
    QSet<QString> names;
    int focusable = 0;
    for (QWidget* widget : top->findChildren<QWidget*>()) {
        // The main window's children include the dialogs; each is checked on its own.
        if (widget->window() != top) continue;
        if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            QCOMPARE(Spoken(group, QAccessible::Name), group->title().trimmed());
        }
        if (!(widget->focusPolicy() & Qt::TabFocus)) continue;
        ++focusable;
        const QString spoken = Spoken(widget, QAccessible::Name);
        QVERIFY2(!spoken.isEmpty(), qPrintable(widget->objectName()));
        QVERIFY2(!names.contains(spoken), qPrintable(widget->objectName() + ": " + spoken));
        names.insert(spoken);
        if (!widget->toolTip().isEmpty())
            QCOMPARE(Spoken(widget, QAccessible::Description), widget->toolTip());
    }
    QVERIFY(focusable > 0);
}

namespace {

// Rows of three texts: the window, a control, what is expected of it.
void AddRows(const char* third, std::initializer_list<std::array<const char*, 3>> rows) {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>(third);
    for (const auto& [window, control, expected] : rows) {
        QTest::newRow(control) << QString::fromLatin1(window) << QString::fromLatin1(control)
                               << QString::fromUtf8(expected);
    }
}

}  // namespace

void AccessibilityTest::valuesInShownUnits_data() {
    // The defaults: depth and level 1 %, rod size 2, auto stop on, no rods yet; the gauge is
    // set to a quarter.
    AddRows("value", {{"FractalSet", "TrackBar1", "1 %"},
                      {"FractalSet", "TrackBar2", "1 %"},
                      {"FractalSet", "RodSizeBar", "2 bits"},
                      {"ZivIduv", "Depth", "1 %"},
                      {"ZivIduv", "RodSize", "2 bits"},
                      {"ZivIduv", "DecisionsLabel", "0 rods"},
                      {"ZivIduv", "AutoStopLabel", "on"},
                      {"ZivIduv", "CentriGauge1", "25 %"}});
}

void AccessibilityTest::valuesInShownUnits() {
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, value);
    if (window == u"FractalSet") main_->settings_dialog()->FormActivate();
    auto* widget = Child<QWidget>(this->window(window), qPrintable(control));
    if (auto* gauge = qobject_cast<PieGauge*>(widget)) {
        gauge->set_maximum(200);
        gauge->set_value(50);
    }
    QCOMPARE(Spoken(widget, QAccessible::Value), value);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    if (auto* values = face->valueInterface()) {
        QCOMPARE(values->currentValue().toString(), value.section(u' ', 0, 0));
    }
}

void AccessibilityTest::captionsLabelTheirValues_data() {
    AddRows("caption", {{"ZivIduv", "Depth", "CTRLabel"},
                        {"ZivIduv", "DecisionsLabel", "LowLabel"},
                        {"FractalSet", "Rod", "RodsizeText"},
                        {"FractalSet", "Loop_Edit", "LoopsText"},
                        {"Snippet", "ChipSizeLabel", "ChipLabel"}});
}

void AccessibilityTest::captionsLabelTheirValues() {
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, caption);
    QWidget* top = this->window(window);
    auto* label = Child<QLabel>(top, qPrintable(caption));
    auto* target = Child<QWidget>(top, qPrintable(control));
    QCOMPARE(label->buddy(), target);
    const auto relations =
        QAccessible::queryAccessibleInterface(target)->relations(QAccessible::Label);
    QVERIFY(std::any_of(relations.begin(), relations.end(),
                        [&](const auto& relation) { return relation.first->object() == label; }));
}

void AccessibilityTest::focusFrameOnEveryControl_data() {
    QTest::addColumn<QString>("window");
    QTest::newRow("main window") << "ZivIduv";
    QTest::newRow("settings") << "FractalSet";
    // Its table and chart stand in a splitter, which would take a frame for a pane.
    QTest::newRow("study") << "Study";
}

void AccessibilityTest::focusFrameOnEveryControl() {
    QFETCH(QString, window);
    QWidget* top = this->window(window);
    if (!top->isVisible()) top->show();
    top->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), top);
    int framed = 0;
    for (QWidget* widget : top->findChildren<QWidget*>()) {
        if (widget->window() != top || !widget->isVisible() || !widget->isEnabled() ||
            !(widget->focusPolicy() & Qt::TabFocus) || widget->focusProxy() != nullptr) {
            continue;
        }
        widget->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), widget);
        FocusFrame* frame = nullptr;
        for (FocusFrame* candidate : top->findChildren<FocusFrame*>()) {
            if (candidate->target() == widget) frame = candidate;
        }
        QVERIFY2(frame != nullptr && frame->isVisible(), qPrintable(widget->objectName()));
        QVERIFY(frame->parentWidget()->isAncestorOf(widget));
        QVERIFY(qobject_cast<QSplitter*>(frame->parentWidget()) == nullptr);
        const int w = FocusFrame::kWidth;
        const QRect area(widget->mapTo(frame->parentWidget(), QPoint(0, 0)), widget->size());
        QCOMPARE(frame->geometry(), area.adjusted(-w, -w, w, w));
        // The frame is on the screen: the pixel left of the control, half way down, is the
        // frame's colour (unless the control touches its parent's edge).
        const QPoint left = widget->mapTo(top, QPoint(-1, widget->height() / 2));
        if (area.left() >= w) {
            const QImage shot = top->grab().toImage();
            const qreal ratio = shot.devicePixelRatio();
            QCOMPARE(shot.pixelColor(QPointF(left * ratio).toPoint()),
                     focus_colour(widget->palette()));
        }
        ++framed;
    }
    QVERIFY(framed >= 3);
    if (top != main_.get()) top->hide();
}

void AccessibilityTest::redTextsReadable_data() {
    QTest::addColumn<QColor>("window");
    QTest::addColumn<QColor>("text");
    QTest::newRow("light") << QColor(0xef, 0xef, 0xef) << QColor(Qt::black);
    QTest::newRow("white") << QColor(Qt::white) << QColor(Qt::black);
    QTest::newRow("dark") << QColor(0x35, 0x35, 0x35) << QColor(Qt::white);
    QTest::newRow("black") << QColor(Qt::black) << QColor(0xdd, 0xdd, 0xdd);
}

void AccessibilityTest::redTextsReadable() {
    QFETCH(QColor, window);
    QFETCH(QColor, text);
    const QPalette before = QApplication::palette();
    QPalette palette = before;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    QApplication::setPalette(palette);
    QCoreApplication::processEvents();  // the change reaches the widgets through the queue
    const std::pair<const char*, const char*> reds[] = {
        {"ZivIduv", "StaticText1"},  {"FractalSet", "RawTable"},    {"FractalSet", "DepthNote"},
        {"FractalSet", "LevelText"}, {"Snippet", "ChipStaticText"},
    };
    for (const auto& [top, name] : reds) {
        auto* widget = Child<QWidget>(this->window(QString::fromLatin1(top)), name);
        const QColor red = widget->palette().color(QPalette::WindowText);
        const QColor background = widget->palette().color(QPalette::Window);
        QCOMPARE(background, window);
        QVERIFY2(contrast_ratio(red, background) >= 4.5, name);
        // Still red: the red channel well above the others.
        QVERIFY2(red.red() > 2 * red.green() && red.red() > 2 * red.blue(), name);
    }
    QApplication::setPalette(before);
    QCoreApplication::processEvents();
}

void AccessibilityTest::spacingFollowsTheFont() {
    const QFont before = QApplication::font();
    QFont wide = before;
    wide.setPixelSize(15);
    QApplication::setFont(wide);
    TZivIduv window;
    QApplication::setFont(before);
    auto* zid = Child<QLabel>(&window, "CHKLabel");
    auto* version = Child<QLabel>(&window, "CHECKSUMLabel");
    const int zid_end = zid->x() + zid->fontMetrics().horizontalAdvance(zid->text());
    const int version_start =
        version->geometry().right() + 1 - version->fontMetrics().horizontalAdvance(version->text());
    QVERIFY(version_start - zid_end >= 6);
    for (const char* name : {"Compress_Button", "DeCompress_Button"}) {
        auto* button = Child<QPushButton>(&window, name);
        QVERIFY2(button->width() >= button->sizeHint().width(), name);
    }
    QVERIFY(Child<QPushButton>(&window, "Compress_Button")->geometry().right() <
            Child<QPushButton>(&window, "DeCompress_Button")->x());
}

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
