// fonts.cpp -- choosing the small fixed-pitch font by measuring glyph advances.
#include "ui/fonts.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <array>

namespace quorvane {
namespace {

// Led by the family our installer brings; then monospaced families common on Debian desktops.
constexpr std::array<const char*, 7> kFixedFamilies = {
    "DejaVu Sans Mono", "Noto Mono",      "Liberation Mono", "Noto Sans Mono",
    "FreeMono",         "Nimbus Mono PS", "Courier New",
};

constexpr int kPixelSize = 10;
// The statistics rows are 12 pixels apart: a family with a taller line at 10 pixels is taken
// smaller, so that its descenders stay inside the rows.
constexpr int kLineHeight = 12;
constexpr int kSmallestPixelSize = 8;

QFont sized(const QString& family, int pixels, bool bold) {
    QFont font(family);
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QString choose_family() {
    for (const char* name : kFixedFamilies) {
        const QString family = QString::fromLatin1(name);
        if (QFontDatabase::hasFamily(family) && advances_line_up(sized(family, kPixelSize, false)))
            return family;
    }
    // No known family: the desktop's own fixed font, whatever it measures.
    return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
}

int choose_pixel_size(const QString& family) {
    int pixels = kPixelSize;
    while (pixels > kSmallestPixelSize &&
           QFontMetricsF(sized(family, pixels, true)).height() > kLineHeight)
        --pixels;
    return pixels;
}

}  // namespace

bool advances_line_up(const QFont& font) {
    QFont bold = font;
    bold.setBold(true);
    const qreal width = QFontMetricsF(font).horizontalAdvance(QLatin1Char(' '));
    if (width <= 0) return false;
    for (const QFont& weight : {font, bold}) {
        const QFontMetricsF metrics(weight);
        for (char c = ' '; c <= '~'; ++c) {
            if (metrics.horizontalAdvance(QLatin1Char(c)) != width) return false;
        }
    }
    return true;
}

QFont small_fixed_font(bool bold) {
    static const QString family = choose_family();
    static const int pixels = choose_pixel_size(family);
    return sized(family, pixels, bold);
}

}  // namespace quorvane
