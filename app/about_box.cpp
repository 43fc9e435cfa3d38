// about_box.cpp -- the about box's texts and its picture.
#include "app/about_box.h"

#include <QGroupBox>
#include <QLabel>

#include <QPainter>
#include <QPushButton>
#include <QtMath>

#include "ui/accessible_names.h"
#include "ui/widget_layout.h"

namespace quorvane {
namespace {

QLabel* make_text(QWidget* parent, const QString& name, const QString& text, const QRect& where) {
    auto* label = placed(new QLabel(text, parent), name, where);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

}  // namespace

QImage TAboutBox::helix_picture() {
    QImage image(71, 71, QImage::Format_RGB32);
    image.fill(QColor(16, 24, 64));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor strands[2] = {QColor(255, 196, 0), QColor(0, 200, 255)};
    const QColor rungs[4] = {QColor(255, 64, 64), QColor(64, 224, 64), QColor(255, 255, 255),
                             QColor(200, 96, 255)};
    // Two sine strands half a turn apart, with a rung every few pixels down the picture.
    for (int y = 2; y < 69; y += 5) {
        const double phase = y * 2 * M_PI / 34.0;
        const double a = 35.5 + 24 * qSin(phase);
        const double b = 35.5 - 24 * qSin(phase);
        painter.setPen(QPen(rungs[(y / 5) % 4], 2));
        painter.drawLine(QPointF(a, y), QPointF(b, y));
    }
    for (int s = 0; s < 2; ++s) {
        painter.setPen(QPen(strands[s], 3));
        QPointF last;
        for (int y = 0; y <= 70; ++y) {
            const double x = 35.5 + (s == 0 ? 24 : -24) * qSin(y * 2 * M_PI / 34.0);
            const QPointF point(x, y);
            if (y > 0) painter.drawLine(last, point);
            last = point;
        }
    }
    return image;
}

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(330, 252);
    setModal(true);

    QFont bold = font();
    bold.setBold(true);

    auto* vexion = new QGroupBox(QStringLiteral(" Binary Vexion "), this);
    vexion->setObjectName(QStringLiteral("VexionBox"));
    vexion->setGeometry(8, 4, 314, 98);
    auto* picture = new QLabel(vexion);
    picture->setObjectName(QStringLiteral("ProgramIcon"));
    picture->setGeometry(10, 20, 71, 71);
    picture->setPixmap(QPixmap::fromImage(helix_picture()));
    picture->setToolTip(QStringLiteral("Binary vexion [It realy works like DNA]"));
    make_text(vexion, QStringLiteral("VexionText"),
              QStringLiteral("An experimental prototype for small files of any type, text or "
                             "binary, up to 32 KB: every file is only a string of bits."),
              QRect(90, 20, 216, 66));

    auto* algorithm = new QGroupBox(QStringLiteral("  Algorithm  "), this);
    algorithm->setObjectName(QStringLiteral("AlgorithmBox"));
    algorithm->setGeometry(8, 104, 314, 110);
    make_text(algorithm, QStringLiteral("AlgorithmText"),
              QStringLiteral("Each pass cuts the bits into rods from the end: the data grows at "
                             "its start and is truncated at its end, and it becomes more uniform "
                             "with every cycle."),
              QRect(10, 20, 296, 64));
    make_text(algorithm, QStringLiteral("ExpertsText"),
              QStringLiteral("Experts call it Fall-Through MECHANISM"), QRect(10, 86, 296, 18));

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setFont(bold);
    ok->setGeometry(125, 218, 80, 26);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    name_controls(this);
}

}  // namespace quorvane
