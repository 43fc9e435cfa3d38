// contrast.h -- colours chosen from the palette so that they stay readable on light and dark
// backgrounds alike.
#pragma once

#include <QColor>
#include <QPalette>

class QWidget;

namespace quorvane {

// The contrast ratio of two colours, 1..21, from their relative luminance.
double contrast_ratio(const QColor& a, const QColor& b);

// The red of the warning texts: the shade nearest to pure red that keeps 4.5:1 on the palette's
// window background.
QColor readable_red(const QPalette& palette);

// Shows widget's text in readable_red of the background it inherits, now and whenever the
// palette changes (a dark desktop theme chosen while the program runs).
void show_in_red(QWidget* widget);

// The focus frame's colour: the palette's highlight where it stands out (3:1) from the window
// background, else the window text colour.
QColor focus_colour(const QPalette& palette);

}  // namespace quorvane
