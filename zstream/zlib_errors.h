// zlib_errors.h -- zlib error classes, zlib's message texts by return code, and the level table.
#pragma once

#include <string>

#include "engine/errors.h"

namespace quorvane {

class EZLibError : public EngineError {
  public:
    explicit EZLibError(const std::string& message) : EngineError(message) {}
};

class EZCompressionError : public EZLibError {
  public:
    explicit EZCompressionError(const std::string& message) : EZLibError(message) {}
};

class EZDecompressionError : public EZLibError {
  public:
    explicit EZDecompressionError(const std::string& message) : EZLibError(message) {}
};

inline constexpr const char* kInvalidZStreamOperation = "Invalid ZStream operation!";

// zlib's message for a return code (2 .. -7): "need dictionary", ..., "data error", ...
const char* zlib_message(int code);

// Raise the class's error with zlib's message when code is negative; otherwise return it.
int check_deflate(int code);
int check_inflate(int code);

// Compression level index 0..3: no compression, fastest, default, best.
enum class ZCompressionLevel { None = 0, Fastest = 1, Default = 2, Max = 3 };
int zlib_level(ZCompressionLevel level);

}  // namespace quorvane
