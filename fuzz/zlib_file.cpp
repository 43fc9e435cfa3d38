// Fuzz target: arbitrary bytes decompressed as a .zlib file. What comes out must also be what
// compressing it again and decompressing gives back.
#include <cstdlib>

#include "engine/errors.h"
#include "zstream/memory_stream.h"
#include "zstream/zlib_file.h"
#include "zstream/zstream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorvane;
    MemoryStream source(std::vector<uint8_t>(data, data + size));
    MemoryStream target;
    try {
        decompress_stream(source, target);
    } catch (const EngineError&) {
        return 0;
    }
    MemoryStream again;
    {
        TZCompressionStream z(again, ZCompressionLevel::Max);
        z.write_buffer(target.data.data(), target.data.size());
        z.finish();
    }
    again.pos = 0;
    MemoryStream back;
    decompress_stream(again, back);
    if (back.data != target.data) std::abort();
    return 0;
}
