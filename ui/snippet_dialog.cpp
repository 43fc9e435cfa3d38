// snippet_dialog.cpp -- the chip dialog's controls and saving the chip bitmap.
#include "ui/snippet_dialog.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QtMath>
#include <algorithm>

#include "engine/errors.h"
#include "ui/accessible_names.h"
#include "ui/chip_images.h"
#include "ui/contrast.h"
#include "ui/message_boxes.h"
#include "ui/widget_layout.h"

namespace quorvane {
namespace {

QLabel* make_label(QWidget* parent, const QString& name, const QString& text, const QRect& where) {
    return placed(new QLabel(text, parent), name, where);
}

// A framed picture, every picture pixel a square of the same whole number of screen pixels, the
// largest that fits, centred on whole screen pixels. A label's own pixmap is placed in whole
// logical pixels and stretched to them: at a fractional scale its cells would come in two sizes
// (and a smooth stretch would turn a black-and-white chip grey).
class SharpPicture final : public QLabel {
  public:
    using QLabel::QLabel;

    void set_picture(const QImage& picture) {
        picture_ = picture;
        update();
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);  // the frame
        if (picture_.isNull()) return;
        const qreal ratio = devicePixelRatioF();
        // In the window's screen pixels, where whole means whole on the screen.
        const QPointF origin = QPointF(mapTo(window(), QPoint(0, 0))) * ratio;
        const QRectF inside(QPointF(contentsRect().topLeft()) * ratio + origin,
                            QSizeF(contentsRect().size()) * ratio);
        const QRect room(QPoint(qCeil(inside.left()), qCeil(inside.top())),
                         QPoint(qFloor(inside.right()) - 1, qFloor(inside.bottom()) - 1));
        const int cell = std::max(
            1, std::min(room.width() / picture_.width(), room.height() / picture_.height()));
        const QSize size = picture_.size() * cell;
        const QPoint at = room.topLeft() + QPoint((room.width() - size.width()) / 2,
                                                  (room.height() - size.height()) / 2);
        QPainter painter(this);
        painter.scale(1 / ratio, 1 / ratio);
        painter.drawImage(QPointF(at) - origin,
                          picture_.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    }

  private:
    QImage picture_;
};

QLabel* make_image(QWidget* parent, const QString& name, const QRect& where, const QString& hint) {
    QLabel* image = placed(new SharpPicture(parent), name, where, hint);
    image->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    image->setLineWidth(1);
    return image;
}

void show_sharp(QLabel* label, const QImage& picture) {
    static_cast<SharpPicture*>(label)->set_picture(picture);
}

}  // namespace

TSnippet::TSnippet(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Snippet"));
    setWindowTitle(QStringLiteral("Chipcode + Tablet"));
    setFixedSize(294, 248);
    setModal(true);

    QFont bold = font();
    bold.setBold(true);

    // The frames add one pixel on each side of the pictures.
    SnippetImage =
        make_image(this, QStringLiteral("SnippetImage"), QRect(98, 6, 192, 193),
                   QStringLiteral("Chip code + Tablet [Green area is not stored but is needed to "
                                  "restore original] "));
    ChipImage = make_image(this, QStringLiteral("ChipImage"), QRect(8, 6, 77, 77),
                           QStringLiteral("Actual Chip code [625 pixels] 352 bits + Extra space "
                                          "for count and future extensions"));

    make_label(this, QStringLiteral("ChipLabel"), QStringLiteral("Chip"), QRect(8, 92, 36, 16));
    ChipSizeLabel =
        make_label(this, QStringLiteral("ChipSizeLabel"), QString(), QRect(44, 92, 44, 16));
    make_label(this, QStringLiteral("TableLabel"), QStringLiteral("Table"), QRect(8, 110, 36, 16));
    DirazSizeLabel =
        make_label(this, QStringLiteral("DirazSizeLabel"), QString(), QRect(44, 110, 44, 16));
    for (QLabel* label : {ChipSizeLabel, DirazSizeLabel}) {
        label->setFont(bold);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }

    QLabel* note = make_label(
        this, QStringLiteral("ChipStaticText"),
        QStringLiteral("All data needed to restore the original file is packed into the 625 pixel "
                       "Chip !  "),
        QRect(8, 130, 86, 80));
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    show_in_red(note);
    QFont small = note->font();
    small.setPixelSize(10);
    note->setFont(small);

    ChipBox = new QCheckBox(QStringLiteral("Save Chip code (1 bit bmp)"), this);
    ChipBox->setObjectName(QStringLiteral("ChipBox"));
    ChipBox->setFont(bold);
    ChipBox->setChecked(true);
    ChipBox->setGeometry(8, 214, 214, 22);

    OKButton = new QPushButton(QStringLiteral("&OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setFont(bold);
    OKButton->setGeometry(226, 212, 62, 26);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TSnippet::OKButtonClick);
    name_controls(this);
}

void TSnippet::set_pictures(const QImage& chip, const QImage& stream, const QString& chip_size,
                            const QString& diraz_size) {
    chip_ = chip;
    stream_ = stream;
    ChipSizeLabel->setText(chip_size);
    DirazSizeLabel->setText(diraz_size);
    show_pictures();
}

void TSnippet::show_pictures() {
    show_sharp(ChipImage, chip_);
    show_sharp(SnippetImage, stream_);
}

void TSnippet::showEvent(QShowEvent* event) {
    // The screen the dialog comes up on decides how many of its pixels make one picture pixel.
    show_pictures();
    QDialog::showEvent(event);
}

void TSnippet::OKButtonClick() {
    if (ChipBox->isChecked()) {
        try {
            save_chip_bitmap(chip_, bitmap_path_, bitmap_permissions_);
        } catch (const EngineError& error) {
            // The dialog stays open: the user may untick the box or close it.
            show_error_report(this, error, QFile::decodeName(bitmap_path_.c_str()));
            return;
        }
    }
    accept();
}

}  // namespace quorvane
