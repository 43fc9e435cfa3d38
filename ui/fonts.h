// fonts.h -- the small fixed-pitch font of the statistics and the settings.
#pragma once

#include <QFont>
#include <QFontDatabase>

namespace quorvane {

// Small enough for the 15-character prefixes and their values to fit the narrow boxes.
inline QFont small_fixed_font(bool bold = false) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(10);
    font.setBold(bold);
    return font;
}

}  // namespace quorvane
