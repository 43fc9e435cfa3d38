// snippet_dialog.h -- TSnippet, the chip dialog: the chip code beside the stream picture.
#pragma once

#include <QDialog>
#include <QImage>
#include <QString>
#include <string>

class QCheckBox;
class QLabel;
class QPushButton;

namespace quorvane {

class TSnippet : public QDialog {
    Q_OBJECT

  public:
    explicit TSnippet(QWidget* parent = nullptr);

    // What the next showing displays, and where OK saves the chip.
    void set_pictures(const QImage& chip, const QImage& stream, const QString& chip_size,
                      const QString& diraz_size);
    // Where OK saves the chip, with the permission bits of the input it belongs to.
    void set_bitmap_path(std::string path, int permissions = -1) {
        bitmap_path_ = std::move(path);
        bitmap_permissions_ = permissions;
    }
    const std::string& bitmap_path() const { return bitmap_path_; }

    const QImage& chip() const { return chip_; }
    const QImage& stream() const { return stream_; }

    void OKButtonClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void show_pictures();

    QLabel* SnippetImage;
    QLabel* ChipImage;
    QLabel* ChipSizeLabel;
    QLabel* DirazSizeLabel;
    QCheckBox* ChipBox;
    QPushButton* OKButton;
    QImage chip_;
    QImage stream_;
    std::string bitmap_path_;
    int bitmap_permissions_ = -1;
};

}  // namespace quorvane
