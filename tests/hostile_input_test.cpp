// Every prefix of a small rod stream and of a small zlib file: refused, or (for a rod prefix that
// is still a whole stream) restored; never a crash or a hang.
#include <gtest/gtest.h>

#include "engine/errors.h"
#include "run/restoration.h"
#include "run/run_files.h"
#include "tests/test_support.h"
#include "tests/zlib_reference.h"
#include "zstream/memory_stream.h"
#include "zstream/zlib_errors.h"
#include "zstream/zlib_file.h"

namespace quorvane {
namespace {

TEST(HostileInput, EveryPrefixOfARodStream) {
    for (const char* lz77 : {"Z", ""}) {
        test::TempDir dir;
        const auto input = test::sparse_bytes(700, 12);
        test::write_file(dir / "in", input);
        SettingTexts settings;
        settings.set(Setting::Lz77, lz77);
        QuietObserver quiet;
        Engine packer(quiet.reading(settings));
        ASSERT_EQ(load_file(packer, (dir / "in").string()), LoadResult::Accepted);
        ASSERT_TRUE(ProcessRun(packer, false).successful());
        const std::vector<uint8_t> rod = packer.run.StreamBits.to_bytes();
        int restored = 0;
        for (size_t n = 0; n <= rod.size(); ++n) {
            RecordingObserver ui;
            Engine e(ui.reading(settings));
            e.run.RodSize = 2;
            e.run.StreamBits = BitString::from_bytes(rod.data(), n);
            e.run.CurrentSize = static_cast<int32_t>(n);
            bool ok = false;
            try {
                ok = RestoreStream(e);
            } catch (const EngineError&) {
                continue;  // refused by a raised error: fine
            }
            if (ok) {
                ++restored;
                EXPECT_EQ(e.run.StreamBits.to_bytes(), input) << "prefix " << n;
            } else {
                EXPECT_TRUE(e.run.StreamBits.empty());
            }
        }
        EXPECT_EQ(restored, 1) << "only the whole stream restores";
    }
}

TEST(HostileInput, EveryPrefixOfAZlibFile) {
    const auto data = test::text_bytes(2000);
    const auto z = test::zlib_reference(data, 9);
    for (size_t n = 0; n < z.size(); ++n) {
        MemoryStream source(std::vector<uint8_t>(z.begin(), z.begin() + static_cast<ptrdiff_t>(n)));
        MemoryStream target;
        EXPECT_THROW(decompress_stream(source, target), EZDecompressionError) << "prefix " << n;
    }
    MemoryStream whole(z);
    MemoryStream target;
    decompress_stream(whole, target);
    EXPECT_EQ(target.data, data);
}

}  // namespace
}  // namespace quorvane
