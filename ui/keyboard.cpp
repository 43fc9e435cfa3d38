// keyboard.cpp -- the menu bar's keys through a style hint of its own.
#include "ui/keyboard.h"

#include <QMenuBar>
#include <QProxyStyle>

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

}  // namespace

void enable_menu_keys(QMenuBar* bar) {
    auto* style = new MenuKeysStyle();
    style->setParent(bar);
    bar->setStyle(style);
}

void open_menu_bar(QMenuBar* bar) {
    const QList<QAction*> entries = bar->actions();
    if (entries.isEmpty()) return;
    bar->setFocus(Qt::MenuBarFocusReason);
    bar->setActiveAction(entries.front());
}

}  // namespace quorvane
