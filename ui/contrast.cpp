// contrast.cpp -- relative luminance and the shades picked from it.
#include "ui/contrast.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace quorvane {
namespace {

double channel(double value) {
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) +
           0.0722 * channel(rgb.blueF());
}

// Keeps a widget's text red against whatever background its palette brings.
class RedText final : public QObject {
  public:
    explicit RedText(QWidget* widget) : QObject(widget) {
        widget->installEventFilter(this);
        apply(widget);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::PaletteChange) apply(static_cast<QWidget*>(watched));
        return false;
    }

  private:
    static void apply(QWidget* widget) {
        const QColor red = readable_red(widget->palette());
        // Setting the palette sends another change: only a new shade is set.
        if (widget->palette().color(QPalette::WindowText) == red) return;
        // Only the text roles are the widget's own; the background stays inherited.
        QPalette own;
        own.setResolveMask(0);
        for (const auto group : {QPalette::Active, QPalette::Inactive}) {
            own.setColor(group, QPalette::WindowText, red);
            own.setColor(group, QPalette::Text, red);
            own.setColor(group, QPalette::ButtonText, red);
        }
        widget->setPalette(own);
    }
};

}  // namespace

void show_in_red(QWidget* widget) {
    new RedText(widget);
}

double contrast_ratio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readable_red(const QPalette& palette) {
    const QColor background = palette.color(QPalette::Window);
    const QColor red(255, 0, 0);
    if (contrast_ratio(red, background) >= 4.5) return red;
    // Darker on a light background, lighter on a dark one: the first step that reads.
    const bool dark = luminance(background) < 0.18;
    for (int step = 1; step <= 255; ++step) {
        const QColor shade = dark ? QColor(255, step, step) : QColor(255 - step, 0, 0);
        if (contrast_ratio(shade, background) >= 4.5) return shade;
    }
    return palette.color(QPalette::WindowText);
}

QColor focus_colour(const QPalette& palette) {
    const QColor highlight = palette.color(QPalette::Highlight);
    if (contrast_ratio(highlight, palette.color(QPalette::Window)) >= 3.0) return highlight;
    return palette.color(QPalette::WindowText);
}

}  // namespace quorvane
