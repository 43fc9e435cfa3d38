// accessible_names.h -- what screen readers are told about the windows' controls.
//
// Captions and hints already say most of it: a control without a caption of its own gets its
// name from the table, its description from its hint, and a value label its caption as buddy.
// Sliders, gauges and value labels speak their values in the unit the window shows.
#pragma once

#include <QString>
#include <span>

class QWidget;

namespace quorvane {

// One control the table names, by object name.
struct AccessibleEntry {
    const char* object;
    const char* name;
    const char* caption = nullptr;  // the label that captions it: made its buddy
    const char* unit = nullptr;     // follows a number in the spoken value (" %", " bits")
    int mirror = 0;                 // a slider showing mirror - position; 0: the position
    bool toggle = false;            // a one-letter flag label: spoken as "on" or "off"
};

// The table's rows for every window of the program.
std::span<const AccessibleEntry> accessible_entries();

// Names every child of window that the table lists, takes descriptions from hints and group
// names from frame titles, and links captions to their value labels.
void name_controls(QWidget* window);

// The value a named slider, gauge or value label speaks: "1 %", "2 bits", "on".
QString spoken_value(const QWidget* widget);

}  // namespace quorvane
