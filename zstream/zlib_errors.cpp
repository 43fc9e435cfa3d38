// zlib_errors.cpp -- the message table and the return-code checks shared by all zlib callers.
#include "zstream/zlib_errors.h"

#include <zlib.h>

namespace quorvane {

const char* zlib_message(int code) {
    // zlib's own texts; a code it does not know has none.
    if (code < Z_VERSION_ERROR || code > Z_NEED_DICT) return "";
    return zError(code);
}

int check_deflate(int code) {
    if (code < 0) throw EZCompressionError(zlib_message(code));
    return code;
}

int check_inflate(int code) {
    if (code < 0) throw EZDecompressionError(zlib_message(code));
    return code;
}

int zlib_level(ZCompressionLevel level) {
    switch (level) {
        case ZCompressionLevel::None:
            return Z_NO_COMPRESSION;
        case ZCompressionLevel::Fastest:
            return Z_BEST_SPEED;
        case ZCompressionLevel::Default:
            return Z_DEFAULT_COMPRESSION;
        case ZCompressionLevel::Max:
            return Z_BEST_COMPRESSION;
    }
    return Z_DEFAULT_COMPRESSION;
}

}  // namespace quorvane
