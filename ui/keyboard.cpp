// keyboard.cpp -- the menu bar's keys through a style hint of its own.
#include "ui/keyboard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPointer>
#include <QProxyStyle>
#include <utility>

namespace quorvane {
namespace {

class MenuKeysStyle final : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_MenuBar_AltKeyNavigation) return 1;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

// Gives the focus back to the control that had it when F10 took it to the menu bar, as soon as
// the bar is left (Escape) or an entry is chosen (Return, Space).
class MenuReturn final : public QObject {
  public:
    static constexpr const char* kName = "MenuReturn";

    explicit MenuReturn(QMenuBar* bar) : QObject(bar) {
        setObjectName(QString::fromLatin1(kName));
        bar->installEventFilter(this);
    }

    QPointer<QWidget> came_from;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !came_from) return false;
        auto* bar = static_cast<QMenuBar*>(watched);
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool leave = key == Qt::Key_Escape;
        const bool choose = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
        if (!leave && !choose) return false;
        QAction* chosen = bar->activeAction();
        bar->setActiveAction(nullptr);
        const QPointer<QWidget> back = std::exchange(came_from, nullptr);
        back->setFocus(Qt::MenuBarFocusReason);
        if (choose && chosen != nullptr) chosen->trigger();
        return true;
    }
};

}  // namespace

void enable_menu_keys(QMenuBar* bar) {
    auto* style = new MenuKeysStyle();
    style->setParent(bar);
    bar->setStyle(style);
    new MenuReturn(bar);
}

void open_menu_bar(QMenuBar* bar) {
    const QList<QAction*> entries = bar->actions();
    if (entries.isEmpty()) return;
    // Found by name: the class has no meta-object of its own to be found by.
    if (QObject* found = bar->findChild<QObject*>(QString::fromLatin1(MenuReturn::kName),
                                                  Qt::FindDirectChildrenOnly)) {
        QWidget* focus = QApplication::focusWidget();
        if (focus != bar) static_cast<MenuReturn*>(found)->came_from = focus;
    }
    bar->setFocus(Qt::MenuBarFocusReason);
    bar->setActiveAction(entries.front());
}

}  // namespace quorvane
