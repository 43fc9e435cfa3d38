// focus_frame.cpp -- one frame per window area, moved along with the focus.
#include "ui/focus_frame.h"

#include <QApplication>
#include <QEvent>
#include <QMenuBar>
#include <QPainter>
#include <QSplitter>

#include "ui/contrast.h"

namespace quorvane {
namespace {

// Lives as long as the application and moves the frame to each control that takes the focus.
class FocusFollower : public QObject {
  public:
    explicit FocusFollower(QObject* parent) : QObject(parent) {}

    void focus_changed(QWidget*, QWidget* now) {
        QWidget* parent = now != nullptr ? now->parentWidget() : nullptr;
        // A splitter takes every child widget for a pane of its own: draw in what holds it.
        while (qobject_cast<QSplitter*>(parent) != nullptr)
            parent = parent->parentWidget();
        // The menu bar marks its own entry; a window has no parent to draw in.
        const bool framed = parent != nullptr && !now->isWindow() &&
                            qobject_cast<QMenuBar*>(now) == nullptr &&
                            (now->focusPolicy() & Qt::TabFocus) != 0;
        if (!framed) {
            if (frame_) frame_->follow(nullptr);
            return;
        }
        if (frame_ && frame_->parentWidget() != parent) {
            frame_->follow(nullptr);
            frame_->deleteLater();
            frame_ = nullptr;
        }
        if (!frame_) frame_ = new FocusFrame(parent);
        frame_->follow(now);
    }

  private:
    QPointer<FocusFrame> frame_;
};

}  // namespace

FocusFrame::FocusFrame(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FocusFrame"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void FocusFrame::install() {
    static QPointer<FocusFollower> follower;
    if (follower || qApp == nullptr) return;
    follower = new FocusFollower(qApp);
    QObject::connect(qApp, &QApplication::focusChanged, follower,
                     [](QWidget* old, QWidget* now) { follower->focus_changed(old, now); });
    follower->focus_changed(nullptr, QApplication::focusWidget());
}

void FocusFrame::follow(QWidget* target) {
    if (target_) target_->removeEventFilter(this);
    target_ = target;
    if (!target_) {
        hide();
        return;
    }
    target_->installEventFilter(this);
    place();
}

void FocusFrame::place() {
    if (!target_ || !target_->isVisible()) {
        hide();
        return;
    }
    const QRect area(target_->mapTo(parentWidget(), QPoint(0, 0)), target_->size());
    setGeometry(area.adjusted(-kWidth, -kWidth, kWidth, kWidth));
    raise();
    show();
    update();
}

bool FocusFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == target_) {
        switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Show:
            case QEvent::Hide:
                place();
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FocusFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor colour = focus_colour(target_ ? target_->palette() : palette());
    const QRect outer = rect();
    // Four bars rather than a stroked rectangle: whole device pixels at any scale.
    painter.fillRect(QRect(outer.left(), outer.top(), outer.width(), kWidth), colour);
    painter.fillRect(QRect(outer.left(), outer.bottom() - kWidth + 1, outer.width(), kWidth),
                     colour);
    painter.fillRect(QRect(outer.left(), outer.top(), kWidth, outer.height()), colour);
    painter.fillRect(QRect(outer.right() - kWidth + 1, outer.top(), kWidth, outer.height()),
                     colour);
}

}  // namespace quorvane
