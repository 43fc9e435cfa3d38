// baselines.cpp -- zstd, xz, zlib and entropy sizes of a buffer, nothing written.
#include "zstream/baselines.h"

#include <lzma.h>
#include <zstd.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "zstream/zlib_file.h"

namespace quorvane {
namespace {

struct BaselineInfo {
    Baseline baseline;
    std::string_view name;
    std::string_view label;
};

constexpr BaselineInfo kInfo[] = {
    {Baseline::Zlib, "zlib", "zlib (compress)"},
    {Baseline::Zstd, "zstd", "zstd -19"},
    {Baseline::Xz, "xz", "xz -9e"},
    {Baseline::Entropy, "entropy", "order-0 entropy"},
};

const BaselineInfo& info(Baseline baseline) {
    return kInfo[static_cast<size_t>(baseline)];
}

}  // namespace

std::string_view baseline_name(Baseline baseline) {
    return info(baseline).name;
}

std::string_view baseline_label(Baseline baseline) {
    return info(baseline).label;
}

std::optional<Baseline> baseline_named(std::string_view name) {
    for (const BaselineInfo& i : kInfo) {
        if (i.name == name) return i.baseline;
    }
    return std::nullopt;
}

bool baseline_is_compressor(Baseline baseline) {
    return baseline != Baseline::Entropy;
}

std::vector<uint8_t> zstd_frame(std::span<const uint8_t> bytes) {
    const std::unique_ptr<ZSTD_CCtx, decltype(&ZSTD_freeCCtx)> cctx(ZSTD_createCCtx(),
                                                                    ZSTD_freeCCtx);
    if (!cctx) throw EngineError("zstd: out of memory");
    const auto check = [](size_t code) {
        if (ZSTD_isError(code)) throw EngineError(std::string("zstd: ") + ZSTD_getErrorName(code));
        return code;
    };
    check(ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_compressionLevel, 19));
    check(ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_contentSizeFlag, 1));
    check(ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_checksumFlag, 1));
    // All of the input in one call: the encoder knows its size before it starts, writes it into
    // the frame and picks its parameters by it, as the command does for a file.
    std::vector<uint8_t> frame(ZSTD_compressBound(bytes.size()));
    frame.resize(
        check(ZSTD_compress2(cctx.get(), frame.data(), frame.size(), bytes.data(), bytes.size())));
    return frame;
}

std::vector<uint8_t> xz_file(std::span<const uint8_t> bytes) {
    // The command's single-threaded stream encoder: the block header carries no sizes, and the
    // dictionary stays at the preset's 64 MiB whatever the input's size. (The buffer encoder and
    // the threaded one write both sizes into the block header, a few bytes more.)
    lzma_stream stream = LZMA_STREAM_INIT;
    const lzma_ret init = lzma_easy_encoder(&stream, 9 | LZMA_PRESET_EXTREME, LZMA_CHECK_CRC64);
    if (init != LZMA_OK) {
        throw EngineError(init == LZMA_MEM_ERROR ? "xz: out of memory"
                                                 : "xz: cannot start the encoder");
    }
    const std::unique_ptr<lzma_stream, decltype(&lzma_end)> guard(&stream, lzma_end);
    std::vector<uint8_t> file(lzma_stream_buffer_bound(bytes.size()));
    stream.next_in = bytes.data();
    stream.avail_in = bytes.size();
    stream.next_out = file.data();
    stream.avail_out = file.size();
    const lzma_ret ret = lzma_code(&stream, LZMA_FINISH);
    if (ret != LZMA_STREAM_END) {
        throw EngineError(ret == LZMA_MEM_ERROR ? "xz: out of memory" : "xz: compression failed");
    }
    file.resize(stream.total_out);
    return file;
}

int64_t entropy_bytes(std::span<const uint8_t> bytes) {
    std::array<uint64_t, 256> counts{};
    for (const uint8_t b : bytes)
        ++counts[b];
    const double n = static_cast<double>(bytes.size());
    double bits = 0;
    for (const uint64_t c : counts) {
        if (c > 0) bits -= static_cast<double>(c) * std::log2(static_cast<double>(c) / n);
    }
    // A sum of terms that cancel to a whole number can land a hair above it.
    return static_cast<int64_t>(std::ceil(bits / 8.0 - 1e-9));
}

int64_t baseline_bytes(Baseline baseline, std::span<const uint8_t> bytes) {
    switch (baseline) {
        case Baseline::Zlib:
            return static_cast<int64_t>(compress_bytes(bytes.data(), bytes.size()).size());
        case Baseline::Zstd:
            return static_cast<int64_t>(zstd_frame(bytes).size());
        case Baseline::Xz:
            return static_cast<int64_t>(xz_file(bytes).size());
        case Baseline::Entropy:
            return entropy_bytes(bytes);
    }
    return 0;
}

}  // namespace quorvane
