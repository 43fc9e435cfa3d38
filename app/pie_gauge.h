// pie_gauge.h -- a gauge that shows its progress as a filled sector of a circle.
#pragma once

#include <QWidget>

namespace quorvane {

class PieGauge : public QWidget {
    Q_OBJECT
    // Read by the accessibility layer, which speaks the filled share.
    Q_PROPERTY(int maximum READ maximum)
    Q_PROPERTY(int value READ value)

  public:
    explicit PieGauge(QWidget* parent = nullptr);

    int maximum() const { return maximum_; }
    int value() const { return value_; }
    // The progress is held within 0..maximum: a larger value shows as full.
    void set_maximum(int maximum);
    void set_value(int value);
    // The shown share of the circle, 0..1 (0 when the maximum is not positive).
    double fraction() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int maximum_ = 100;
    int value_ = 0;
};

}  // namespace quorvane
