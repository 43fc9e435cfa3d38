// zlib_buttons.h -- what the Compress and Decompress buttons do with the chosen file.
#pragma once

#include <QString>

class QWidget;

namespace quorvane {

inline const QString kCompressTitle = QStringLiteral(" Load file into ZLib Compressor");
inline const QString kDecompressTitle = QStringLiteral(" Load file into ZLib DeCompressor");

// NAME to NAME.zlib. Failures go to the error report over parent.
void compress_chosen_file(QWidget* parent, const QString& path);

// NAME.zlib to NAME. Returns false, doing nothing, when the name does not end exactly in
// ".zlib"; failures go to the error report over parent.
bool decompress_chosen_file(QWidget* parent, const QString& path);

}  // namespace quorvane
