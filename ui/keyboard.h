// keyboard.h -- reaching a window's menu bar without a mouse.
#pragma once

class QMenuBar;

namespace quorvane {

// Alt alone selects the menu bar's first entry, and Return or Space then triggers the selected
// one, whatever the style says (several styles leave both to the mouse).
void enable_menu_keys(QMenuBar* bar);

// Moves the keyboard into the menu bar with its first entry selected (F10); the arrow keys move
// along it and Escape leaves it.
void open_menu_bar(QMenuBar* bar);

}  // namespace quorvane
