// accessible_names.cpp -- the table and the accessible interfaces that speak shown values.
#include "ui/accessible_names.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <array>
#include <cmath>

namespace quorvane {
namespace {

constexpr std::array kEntries = std::to_array<AccessibleEntry>({
    // The main window.
    {"FLoadButton", "Load File"},
    {"CHIPButton", "Load Chip"},
    {"StartButton", "Start"},
    {"Compress_Button", "Compress"},
    {"DeCompress_Button", "Decompress"},
    {"Exit_Button", "Exit"},
    {"AutoStopLabel", "Auto stop", nullptr, nullptr, 0, true},
    {"ZIPLabel", "Lz77", nullptr, nullptr, 0, true},
    {"Depth", "Depth", "CTRLabel", " %"},
    {"DecisionsLabel", "Low rods", "LowLabel", " rods"},
    {"Label_9", "High rods", "HighLabel", " rods"},
    {"MarkerLabel", "Trailing marker", nullptr, " bits"},
    {"RodSize", "Rod size", nullptr, " bits"},
    {"CompressionLevel", "Level", nullptr, " %"},
    {"ProcessGauge", "Reduction in file size", nullptr, " %"},
    {"CentriGauge1", "Packed storage", nullptr, " %"},
    {"CentriGauge2", "Route decisions", nullptr, " %"},
    {"LoopProgressBar", "Run progress"},
    // The settings dialog.
    {"RodSizeBar", "Rod size", nullptr, " bits"},
    {"Rod", "Rod size", "RodsizeText", " bits"},
    {"TrackBar1", "Depth", nullptr, " %", 61},
    {"SubDepthLabel", "Depth", "DepthText"},
    {"TrackBar2", "Level", nullptr, " %", 101},
    {"CompressionLabel", "Level", "LevelText"},
    {"Loop_Edit", "Loops", "LoopsText"},
    {"Key_Edit", "Code", "CodeText"},
    {"KeyBox", "Show code"},
    // The chip dialog.
    {"ChipSizeLabel", "Chip", "ChipLabel", " bits"},
    {"DirazSizeLabel", "Table", "TableLabel", " bits"},
});

const char* const kEntryProperty = "quorvaneAccessible";

const AccessibleEntry* entry_of(const QObject* object) {
    const QVariant index = object->property(kEntryProperty);
    return index.isValid() ? &kEntries[index.toUInt()] : nullptr;
}

// A shown number with its unit; a text that is no number (such as "Ready") as it stands.
QString with_unit(const QString& text, const char* unit) {
    bool number = false;
    text.trimmed().toLongLong(&number);
    return number && unit != nullptr ? text.trimmed() + QString::fromLatin1(unit) : text;
}

int shown(const QSlider* slider, int position) {
    const AccessibleEntry* entry = entry_of(slider);
    return entry != nullptr && entry->mirror != 0 ? entry->mirror - position : position;
}

// The gauge's filled share in whole percent; the gauges are our own widgets with their
// maximum and value as properties.
int gauge_percent(const QWidget* gauge) {
    const int maximum = gauge->property("maximum").toInt();
    const int value = gauge->property("value").toInt();
    return maximum > 0 ? static_cast<int>(std::lround(100.0 * value / maximum)) : 0;
}

// A pie gauge: a plain widget with a maximum and a value (bars and sliders speak for themselves).
bool is_gauge(const QWidget* widget) {
    return widget->property("maximum").isValid() && widget->property("value").isValid() &&
           qobject_cast<const QAbstractSlider*>(widget) == nullptr &&
           qobject_cast<const QProgressBar*>(widget) == nullptr;
}

// A slider or gauge in the numbers the window shows.
class ShownValue final : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    ShownValue(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text which) const override {
        if (which == QAccessible::Value) return spoken_value(widget());
        return QAccessibleWidget::text(which);
    }

    QVariant currentValue() const override {
        if (const auto* slider = qobject_cast<const QSlider*>(widget()))
            return shown(slider, slider->value());
        return gauge_percent(widget());
    }
    void setCurrentValue(const QVariant& value) override {
        auto* slider = qobject_cast<QSlider*>(widget());
        if (slider == nullptr) return;  // a gauge only shows
        const AccessibleEntry* entry = entry_of(slider);
        const int wanted = value.toInt();
        slider->setValue(entry != nullptr && entry->mirror != 0 ? entry->mirror - wanted : wanted);
    }
    QVariant maximumValue() const override {
        if (const auto* slider = qobject_cast<const QSlider*>(widget()))
            return std::max(shown(slider, slider->minimum()), shown(slider, slider->maximum()));
        return 100;
    }
    QVariant minimumValue() const override {
        if (const auto* slider = qobject_cast<const QSlider*>(widget()))
            return std::min(shown(slider, slider->minimum()), shown(slider, slider->maximum()));
        return 0;
    }
    QVariant minimumStepSize() const override { return 1; }
};

// A value label: its name is its caption, its value the text with the unit.
class ValueLabel final : public QAccessibleWidget {
  public:
    explicit ValueLabel(QWidget* widget) : QAccessibleWidget(widget, QAccessible::StaticText) {}

    QString text(QAccessible::Text which) const override {
        if (which == QAccessible::Value) return spoken_value(widget());
        return QAccessibleWidget::text(which);
    }
};

QAccessibleInterface* shown_value_factory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    const AccessibleEntry* entry = widget != nullptr ? entry_of(widget) : nullptr;
    if (entry == nullptr) return nullptr;
    if (qobject_cast<QSlider*>(widget) != nullptr)
        return new ShownValue(widget, QAccessible::Slider);
    if (is_gauge(widget)) return new ShownValue(widget, QAccessible::ProgressBar);
    if (qobject_cast<QLabel*>(widget) != nullptr &&
        (entry->unit != nullptr || entry->toggle || entry->caption != nullptr))
        return new ValueLabel(widget);
    return nullptr;
}

}  // namespace

std::span<const AccessibleEntry> accessible_entries() {
    return kEntries;
}

QString spoken_value(const QWidget* widget) {
    const AccessibleEntry* entry = entry_of(widget);
    const char* unit = entry != nullptr ? entry->unit : nullptr;
    if (const auto* slider = qobject_cast<const QSlider*>(widget))
        return with_unit(QString::number(shown(slider, slider->value())), unit);
    if (is_gauge(widget)) return with_unit(QString::number(gauge_percent(widget)), unit);
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (entry != nullptr && entry->toggle)
            return label->text().trimmed().isEmpty() ? QStringLiteral("off") : QStringLiteral("on");
        return with_unit(label->text(), unit);
    }
    return {};
}

void name_controls(QWidget* window) {
    static const bool installed = [] {
        QAccessible::installFactory(shown_value_factory);
        return true;
    }();
    (void)installed;
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (auto* group = qobject_cast<QGroupBox*>(child)) {
            group->setAccessibleName(group->title().trimmed());
        }
        if (child->accessibleDescription().isEmpty() && !child->toolTip().isEmpty())
            child->setAccessibleDescription(child->toolTip());
    }
    for (size_t i = 0; i < kEntries.size(); ++i) {
        const AccessibleEntry& entry = kEntries[i];
        auto* widget = window->findChild<QWidget*>(QString::fromLatin1(entry.object));
        if (widget == nullptr) continue;
        widget->setProperty(kEntryProperty, static_cast<uint>(i));
        // An interface made while the widget was built knows nothing of the entry: the next
        // query makes a new one through the factory.
        if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(widget))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
        widget->setAccessibleName(QString::fromLatin1(entry.name));
        if (entry.caption == nullptr) continue;
        if (auto* caption = window->findChild<QLabel*>(QString::fromLatin1(entry.caption)))
            caption->setBuddy(widget);
    }
}

}  // namespace quorvane
