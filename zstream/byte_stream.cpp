// byte_stream.cpp -- the shared parts of every stream: size by seeking, full writes, the copy.
#include "zstream/byte_stream.h"

#include <memory>

#include "engine/errors.h"

namespace quorvane {

int64_t ByteStream::size() {
    const int64_t here = position();
    const int64_t end = seek(0, SeekOrigin::End);
    seek(here, SeekOrigin::Begin);
    return end;
}

void ByteStream::write_buffer(const void* data, size_t count) {
    if (write(data, count) != count) throw EInOutError("Stream write error");
}

uint64_t copy_stream(ByteStream& target, ByteStream& source,
                     const std::function<void(uint64_t)>& moved) {
    const auto chunk = std::make_unique<uint8_t[]>(kCopyChunk);
    uint64_t total = 0;
    for (;;) {
        const size_t got = source.read(chunk.get(), kCopyChunk);
        if (got == 0) return total;
        target.write_buffer(chunk.get(), got);
        total += got;
        if (moved) moved(total);
    }
}

}  // namespace quorvane
