// window_look_test.cpp -- the four windows as a person sees them: every control inside its frame
// and clear of the others, every text whole in its control, the statistics in one column, the
// exact captions and a sharp chip. Registered at scale 1 and at QT_SCALE_FACTOR=2.
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyleOption>
#include <QTest>
#include <QtMath>
#include <random>

#include "app/about_box.h"
#include "gui_test_support.h"
#include "ui/chip_images.h"
#include "ui/message_boxes.h"
#include "ui/run_chart_window.h"
#include "ui/settings_dialog.h"
#include "ui/snippet_dialog.h"
#include "ui/study_window.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

// Texts that controls show besides their first one: the longest of each kind.
const QMap<QString, QStringList> kOtherTexts = {
    {"ZivIduv/InputLabel", {"Bits Input   : 134217720"}},
    {"ZivIduv/OutputLabel", {"Bits Output  : 134217720"}},
    {"ZivIduv/ModeLabel", {"Vexion Mode  : UnPacking [Lz77]", "Vexion Mode  : Not Succesfull"}},
    {"ZivIduv/LoopCountLabel", {"Vexion Depth : 32767 | 65535"}},
    {"ZivIduv/StreamLabel", {"Vexion Data  : 16777215 bytes"}},
    {"ZivIduv/LoopModeLabel", {"Algorithm    : Multible cycles"}},
    {"ZivIduv/RawTableLabel", {"Experimental : Yes"}},
    {"ZivIduv/DecisionsLabel", {"Next pass", "Last pass", "Restored", "134217727"}},
    {"ZivIduv/Label_9", {"Next pass", "Last pass", "Restored", "134217727"}},
    {"ZivIduv/RodSize", {"128"}},
    {"ZivIduv/Depth", {"60"}},
    {"ZivIduv/CompressionLevel", {"100"}},
    {"ZivIduv/ModeButton", {"UnPack *.rod"}},
    {"FractalSet/Rod", {"128"}},
    {"FractalSet/SubDepthLabel", {"60 %"}},
    {"FractalSet/CompressionLabel", {"100 %"}},
    {"Snippet/ChipSizeLabel", {"36274"}},
    {"Snippet/DirazSizeLabel", {"36274"}},
    {"RunChart/Summary",
     {"32767 cycles, 134217727 passes, 134217727 undone", "32767 rounds restored"}},
};

// The controls a user can see at some time (the hidden value holders have no place), without
// those of the windows the window owns.
QList<QWidget*> Controls(QWidget* window) {
    QList<QWidget*> controls;
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (child->window() == window && !child->geometry().isEmpty() &&
            !child->objectName().isEmpty() && !child->objectName().startsWith(u"qt_") &&
            child->objectName() != u"ClientArea" &&
            child->objectName() != u"FocusFrame")  // drawn over the focused control
            controls.append(child);
    }
    return controls;
}

// The text of a label, button or check box; none for other controls.
QString TextOf(const QWidget* widget) {
    const bool has_text = qobject_cast<const QLabel*>(widget) != nullptr ||
                          qobject_cast<const QAbstractButton*>(widget) != nullptr;
    return has_text ? widget->property("text").toString() : QString();
}

// Where a control draws its text, and what the text takes there as the control draws it:
// wrapped where it wraps, each line as high as the font's ascent and descent.
std::pair<QRect, QRect> PlaceText(QWidget* widget, const QString& text) {
    const QFontMetrics metrics(widget->font());
    const QStyle* style = widget->style();
    const int mnemonic = Qt::TextShowMnemonic;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(),
                                                          -label->margin(), -label->margin());
        const int wrap = label->wordWrap() ? int(Qt::TextWordWrap) : 0;
        return {room, metrics.boundingRect(room, int(label->alignment()) | wrap, text)};
    }
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        const auto option = StyleOption<QCheckBox, QStyleOptionButton>(box);
        const QRect room = style->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        const auto align =
            QStyle::visualAlignment(box->layoutDirection(), Qt::AlignLeft | Qt::AlignVCenter);
        return {room, metrics.boundingRect(room, int(align) | mnemonic, text)};
    }
    auto* button = qobject_cast<QPushButton*>(widget);
    const auto option = StyleOption<QPushButton, QStyleOptionButton>(button);
    const QRect room = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    return {room, metrics.boundingRect(room, Qt::AlignCenter | mnemonic, text)};
}

// Where the children of parent may be: inside a group's frame, or anywhere in a plain widget.
QRect ChildRoom(QWidget* parent) {
    auto* group = qobject_cast<QGroupBox*>(parent);
    if (group == nullptr) return parent->rect();
    const auto option = StyleOption<QGroupBox, QStyleOptionGroupBox>(group);
    return group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents,
                                          group);
}

QString Describe(const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The pixels of a grabbed window inside a picture label, in screen pixels.
QImage PixelsOf(const QPixmap& grabbed, const QWidget* window, const QLabel* label) {
    const qreal ratio = grabbed.devicePixelRatio();
    const QRect inside(label->mapTo(window, label->contentsRect().topLeft()),
                       label->contentsRect().size());
    // Only whole device pixels inside: at a fractional scale the frame's line covers part of
    // the first and last.
    const QRect device(QPoint(qCeil(inside.left() * ratio), qCeil(inside.top() * ratio)),
                       QPoint(qFloor((inside.right() + 1) * ratio) - 1,
                              qFloor((inside.bottom() + 1) * ratio) - 1));
    return grabbed.toImage().copy(device).convertToFormat(QImage::Format_RGB32);
}

// The smallest rectangle of image holding every pixel of the picture's colours.
QImage PictureIn(const QImage& image, const QList<QRgb>& colours) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (colours.contains(image.pixel(x, y))) box |= QRect(x, y, 1, 1);
        }
    }
    return image.copy(box);
}

}  // namespace

class WindowLookTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        main_ = ShowMainWindow();
        // The chart and study windows at the size they open with.
        main_->ChartClick();
        main_->StudyClick();
    }
    void cleanupTestCase() { main_.reset(); }
    void controlsFit_data();
    void controlsFit();
    void statisticsLineUp();
    void captions();
    void chipIsSharp();

  private:
    QWidget* Window(const QString& name) const {
        if (name == u"FractalSet") return main_->settings_dialog();
        if (name == u"AboutBox") return main_->about_box();
        if (name == u"Snippet") return main_->snippet_dialog();
        if (name == u"RunChart") return main_->chart_window();
        if (name == u"Study") return main_->study_window();
        return main_.get();
    }
    std::unique_ptr<TZivIduv> main_;
};

// A row for every control, and one for every text a label, button or check box shows.
void WindowLookTest::controlsFit_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    for (const QString window :
         {"ZivIduv", "FractalSet", "AboutBox", "Snippet", "RunChart", "Study"}) {
        int texts = 0;
        for (QWidget* control : Controls(Window(window))) {
            const QString name = control->objectName();
            QStringList shown = kOtherTexts.value(window + u'/' + name);
            if (!TextOf(control).isEmpty()) shown.prepend(TextOf(control));
            if (shown.isEmpty()) shown.append(QString());
            texts += static_cast<int>(shown.size());
            for (const QString& text : shown) {
                QTest::newRow(qPrintable(window + u'/' + name + u' ' + text))
                    << window << name << text;
            }
        }
        QVERIFY2(texts >= 6, qPrintable(window));  // the walk reaches the window's controls
    }
}

void WindowLookTest::controlsFit() {
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, text);
    QWidget* widget = Window(window)->findChild<QWidget*>(control);
    QWidget* parent = widget->parentWidget();
    const QRect room = ChildRoom(parent);
    QVERIFY2(room.contains(widget->geometry()),
             qPrintable(Describe(widget->geometry()) + " is outside " + Describe(room)));
    for (QWidget* other : Controls(Window(window))) {
        if (other != widget && other->parentWidget() == parent)
            QVERIFY2(!other->geometry().intersects(widget->geometry()),
                     qPrintable("covers " + other->objectName()));
    }
    if (text.isEmpty()) return;
    const QString before = TextOf(widget);
    widget->setProperty("text", text);
    const auto [text_room, extent] = PlaceText(widget, text);
    widget->setProperty("text", before);
    QVERIFY2(text_room.contains(extent), qPrintable(QStringLiteral("the text takes %1 of %2 (%3)")
                                                        .arg(Describe(extent), Describe(text_room),
                                                             QFontInfo(widget->font()).family())));
}

// The values of the statistics start in one column: measured, not taken from a font's flag.
void WindowLookTest::statisticsLineUp() {
    QList<qreal> columns;
    for (const char* name : {"InputLabel", "OutputLabel", "ModeLabel", "LoopCountLabel",
                             "StreamLabel", "LoopModeLabel", "RawTableLabel"}) {
        const QLabel* label = Child<QLabel>(main_.get(), name);
        columns.append(label->x() + label->contentsRect().x() +
                       QFontMetricsF(label->font()).horizontalAdvance(label->text().left(15)));
    }
    QCOMPARE(columns, QList<qreal>(7, columns.front()));
}

// The captions are exactly the windows' own; a message box is wide enough for its title.
void WindowLookTest::captions() {
    QCOMPARE(main_->windowTitle(), QStringLiteral("Tessellor  [Experimental Prototype]"));
    QCOMPARE(main_->about_box()->windowTitle(), QStringLiteral("About"));
    QCOMPARE(main_->settings_dialog()->windowTitle(), QStringLiteral("Settings"));
    QCOMPARE(main_->snippet_dialog()->windowTitle(), QStringLiteral("Chipcode + Tablet"));
    QCOMPARE(main_->chart_window()->windowTitle(), QStringLiteral("Run chart"));
    QCOMPARE(main_->study_window()->windowTitle(), QStringLiteral("Study"));
    QStringList titles;
    bool wide = true;
    ModalAnswerer answer([&](QWidget* modal) {
        titles << modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            wide = box->width() >= message_box_width(*box);
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) dialog->reject();
        return true;
    });
    main_->FLoadButtonClick();
    Child<QPushButton>(main_.get(), "CHIPButton")->click();
    QCOMPARE(titles, (QStringList{" Load file into Quorvane", "Dozazez Quorvane"}));
    QVERIFY(wide);
}

// Every chip pixel shows as a block of whole screen pixels, black or white; the stream picture
// shows only its own three colours.
void WindowLookTest::chipIsSharp() {
    std::mt19937 rng(9);
    BitString bits;
    for (int i = 0; i < kChipSide * kChipSide; ++i)
        bits.push_back((rng() & 1U) != 0);
    std::vector<StreamColour> colours(kTabletWidth * kTabletHeight);
    for (StreamColour& c : colours)
        c = static_cast<StreamColour>(rng() % 3);
    const QImage chip = chip_bitmap(bits);
    TSnippet* snippet = main_->snippet_dialog();
    snippet->set_pictures(chip, stream_picture(colours), QString(), QString());
    snippet->show();
    QVERIFY(QTest::qWaitForWindowExposed(snippet));
    const QPixmap grabbed = snippet->grab();
    snippet->hide();
    // The pictures are centred in their labels, on the window's background.
    const QImage shown = PictureIn(PixelsOf(grabbed, snippet, Child<QLabel>(snippet, "ChipImage")),
                                   {kChipBlack, kChipWhite});
    const int block = shown.width() / kChipSide;
    QVERIFY(block >= 1);
    QCOMPARE(shown.size(), QSize(block, block) * kChipSide);
    const QImage stream =
        PictureIn(PixelsOf(grabbed, snippet, Child<QLabel>(snippet, "SnippetImage")),
                  {kChipBlack, kStreamRed, kStreamGreen});
    const int stream_block = stream.width() / kTabletWidth;
    QVERIFY(stream_block >= 1);
    QCOMPARE(stream.size(), QSize(kTabletWidth, kTabletHeight) * stream_block);
    int wrong = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x)
            wrong += shown.pixel(x, y) != chip.pixel(x / block, y / block) ? 1 : 0;
    }
    for (int y = 0; y < stream.height(); ++y) {
        for (int x = 0; x < stream.width(); ++x) {
            const QRgb p = stream.pixel(x, y);
            wrong += p != kChipBlack && p != kStreamRed && p != kStreamGreen ? 1 : 0;
        }
    }
    QCOMPARE(wrong, 0);
}

QTEST_MAIN(WindowLookTest)
#include "window_look_test.moc"
