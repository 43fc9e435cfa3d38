// screenshots.h -- pictures of the main window and the chip dialog, made by the program itself.
#pragma once

#include <QString>

namespace quorvane {

class TZivIduv;

// Packs a small sample file in a temporary folder, then saves main-window.png and
// chip-dialog.png into folder. Returns the process exit code (0 when both were saved).
int take_screenshots(TZivIduv& window, const QString& folder);

}  // namespace quorvane
