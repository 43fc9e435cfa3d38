// chip_images.cpp -- turning chip bits and stream colours into images, and the bitmap file.
#include "ui/chip_images.h"

#include <QBuffer>

#include "engine/errors.h"
#include "zstream/atomic_file.h"

// The tablet lives in a static library: its resource must be registered by hand.
static void init_tablet_resource() {
    Q_INIT_RESOURCE(tablet);
}

namespace quorvane {

QImage blank_mono_image(int width, int height) {
    QImage image(width, height, QImage::Format_Mono);
    image.setColorTable({kChipBlack, kChipWhite});
    image.fill(1);
    return image;
}

QImage chip_bitmap(const BitString& chip) {
    QImage image = blank_mono_image(kChipSide, kChipSide);
    image.fill(0);
    for (int y = 0; y < kChipSide; ++y) {
        for (int x = 0; x < kChipSide; ++x) {
            const auto p = static_cast<size_t>(y * kChipSide + x);
            if (p < chip.size() && !chip[p]) image.setPixel(x, y, 1);
        }
    }
    return image;
}

QImage stream_picture(const std::vector<StreamColour>& pixels) {
    QImage image(kTabletWidth, kTabletHeight, QImage::Format_Indexed8);
    // Indices follow StreamColour: black, red, green.
    image.setColorTable({kChipBlack, kStreamRed, kStreamGreen});
    image.fill(0);
    for (int y = 0; y < kTabletHeight; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < kTabletWidth; ++x) {
            const auto p = static_cast<size_t>(y * kTabletWidth + x);
            if (p < pixels.size()) line[x] = static_cast<uchar>(pixels[p]);
        }
    }
    return image;
}

QImage built_in_tablet() {
    init_tablet_resource();
    const QImage tablet(QStringLiteral(":/chip/tablet.pbm"));
    // Copied pixel by pixel so that index 0 is black whatever table the reader chose.
    QImage mono = blank_mono_image(tablet.width(), tablet.height());
    for (int y = 0; y < tablet.height(); ++y) {
        for (int x = 0; x < tablet.width(); ++x) {
            if (tablet.pixel(x, y) != kChipWhite) mono.setPixel(x, y, 0);
        }
    }
    return mono;
}

BitString picture_pixels(const QImage& picture) {
    BitString bits;
    bits.reserve(static_cast<size_t>(picture.width()) * static_cast<size_t>(picture.height()));
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            bits.push_back(picture.pixel(x, y) != kChipWhite);
        }
    }
    return bits;
}

QByteArray chip_bmp_bytes(const QImage& chip) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    chip.convertToFormat(QImage::Format_Mono).save(&buffer, "BMP");
    return bytes;
}

void save_chip_bitmap(const QImage& chip, const std::filesystem::path& path, int permissions) {
    const QByteArray bytes = chip_bmp_bytes(chip);
    OutputOptions output;
    output.permissions = permissions;
    if (!write_file_atomically(path, bytes.constData(), static_cast<size_t>(bytes.size()),
                               output)) {
        std::string message = "Cannot write file ";
        message.append(path.string());
        throw EInOutError(message);
    }
}

}  // namespace quorvane
