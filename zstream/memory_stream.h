// memory_stream.h -- a stream over bytes held in memory.
#pragma once

#include <cstdint>
#include <vector>

#include "zstream/byte_stream.h"

namespace quorvane {

class MemoryStream : public ByteStream {
  public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<uint8_t> bytes) : data(std::move(bytes)) {}

    size_t read(void* buffer, size_t count) override;
    size_t write(const void* bytes, size_t count) override;
    // A position before the start raises EInOutError; one past the end reads nothing.
    int64_t seek(int64_t offset, SeekOrigin origin) override;

    std::vector<uint8_t> data;
    size_t pos = 0;
};

}  // namespace quorvane
