// pie_gauge.cpp -- painting the pie gauge.
#include "app/pie_gauge.h"

#include <QPainter>
#include <algorithm>

namespace quorvane {

PieGauge::PieGauge(QWidget* parent) : QWidget(parent) {}

void PieGauge::set_maximum(int maximum) {
    maximum_ = std::max(maximum, 0);
    value_ = std::clamp(value_, 0, maximum_);
    update();
}

void PieGauge::set_value(int value) {
    const int held = std::clamp(value, 0, maximum_);
    if (held == value_) return;
    value_ = held;
    update();
}

double PieGauge::fraction() const {
    return maximum_ > 0 ? static_cast<double>(value_) / maximum_ : 0.0;
}

void PieGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawEllipse(circle);
    // Sectors are in 1/16 degree, counter-clockwise from three o'clock; start at twelve and run
    // clockwise like a clock hand.
    const int span = static_cast<int>(fraction() * 360 * 16);
    if (span > 0) {
        painter.setBrush(palette().color(QPalette::Highlight));
        painter.drawPie(circle, 90 * 16, -span);
    }
}

}  // namespace quorvane
