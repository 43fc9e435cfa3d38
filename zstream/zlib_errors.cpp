// zlib_errors.cpp -- the message table and the return-code checks shared by all zlib callers.
#include "zstream/zlib_errors.h"

#include <zlib.h>

#include <array>

namespace quorvane {

const char* zlib_message(int code) {
    // Indexed by 2 minus the code, as zlib orders its own table.
    static constexpr std::array<const char*, 10> messages = {"need dictionary",
                                                             "stream end",
                                                             "",
                                                             "file error",
                                                             "stream error",
                                                             "data error",
                                                             "insufficient memory",
                                                             "buffer error",
                                                             "incompatible version",
                                                             ""};
    const int index = 2 - code;
    if (index < 0 || index >= static_cast<int>(messages.size())) return "";
    return messages[static_cast<size_t>(index)];
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
