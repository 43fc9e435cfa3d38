// focus_frame.h -- a frame around whichever control has the keyboard focus, drawn by us so that
// it shows in every style and palette.
#pragma once

#include <QPointer>
#include <QWidget>

namespace quorvane {

class FocusFrame : public QWidget {
    Q_OBJECT

  public:
    explicit FocusFrame(QWidget* parent);

    // Starts following the application's focus; once per application, later calls do nothing.
    static void install();

    // Frames target, a control with the focus; null hides the frame.
    void follow(QWidget* target);
    QWidget* target() const { return target_; }

    // How far the frame stands out around the control, and how thick it is.
    static constexpr int kWidth = 2;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void place();

    QPointer<QWidget> target_;
};

}  // namespace quorvane
