// widget_layout.h -- placing controls by hand: a name, a fixed place and an optional hint.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

namespace quorvane {

// The windows are laid out control by control, each named so that tests can find it.
template <typename Widget>
Widget* placed(Widget* widget, const QString& name, const QRect& where, const QString& hint = {}) {
    widget->setObjectName(name);
    widget->setGeometry(where);
    if (!hint.isEmpty()) widget->setToolTip(hint);
    return widget;
}

}  // namespace quorvane
