// memory_stream.cpp -- reading, writing and seeking over a byte vector.
#include "zstream/memory_stream.h"

#include <algorithm>
#include <cstring>

#include "engine/errors.h"

namespace quorvane {

size_t MemoryStream::read(void* buffer, size_t count) {
    const size_t n = std::min(count, data.size() - std::min(pos, data.size()));
    if (n > 0) std::memcpy(buffer, data.data() + pos, n);
    pos += n;
    return n;
}

size_t MemoryStream::write(const void* bytes, size_t count) {
    if (data.size() < pos + count) data.resize(pos + count);
    if (count > 0) std::memcpy(data.data() + pos, bytes, count);
    pos += count;
    return count;
}

int64_t MemoryStream::seek(int64_t offset, SeekOrigin origin) {
    const int64_t base = origin == SeekOrigin::Begin     ? 0
                         : origin == SeekOrigin::Current ? static_cast<int64_t>(pos)
                                                         : static_cast<int64_t>(data.size());
    if (offset < -base) throw EInOutError("Stream seek error");
    pos = static_cast<size_t>(base + offset);
    return static_cast<int64_t>(pos);
}

}  // namespace quorvane
