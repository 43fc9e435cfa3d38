// about_box.h -- TAboutBox, the about box shown at start-up and from the About menu item.
#pragma once

#include <QDialog>
#include <QImage>

namespace quorvane {

class TAboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // The box's 71 x 71 picture: a strand of two coloured helices joined by rungs.
    static QImage helix_picture();
};

}  // namespace quorvane
