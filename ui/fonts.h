// fonts.h -- the small fixed-pitch font of the statistics, the centrifuge labels and the settings.
#pragma once

#include <QFont>
#include <QString>

namespace quorvane {

// The small fixed-pitch font. Its family is chosen once, by measurement: a font's own
// fixed-pitch flag is not to be trusted (some monospaced families do not set it, and the
// desktop's "monospace" may name one of them).
QFont small_fixed_font(bool bold = false);

// True when every printable ASCII character of font advances by the same width, in its regular
// and its bold weight alike, so that texts padded with blanks line up in columns.
bool advances_line_up(const QFont& font);

}  // namespace quorvane
