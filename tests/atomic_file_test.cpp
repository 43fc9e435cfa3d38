// Output files: never replaced unasked (also at the last moment), private until put in place,
// never more public than asked; inputs that change while read.
#include "zstream/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <utility>

#include "engine/errors.h"
#include "tests/test_support.h"
#include "zstream/zlib_file.h"

namespace quorvane {
namespace {

using Names = std::vector<std::string>;

unsigned mode_of(const std::filesystem::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// Both kinds of temporary file: unnamed, and named as where unnamed ones are not available.
class AtomicFileKinds : public ::testing::TestWithParam<bool> {
  protected:
    OutputOptions options(bool replace, int permissions) const {
        OutputOptions o;
        o.replace = replace;
        o.permissions = permissions;
        o.unnamed = GetParam();
        return o;
    }
    test::TempDir dir;
};

TEST_P(AtomicFileKinds, AFileThatAppearsMeanwhileIsNotReplaced) {
    AtomicFile file(dir / "out", options(false, 0644));
    file.write("mine", 4);
    test::write_file(dir / "out", {'t', 'h', 'e', 'i', 'r', 's'});
    EXPECT_THROW_MSG(file.commit(), EInOutError,
                     "Cannot create file " + (dir / "out").string() + ": File exists");
    EXPECT_EQ(dir.files(), Names{"out"});
    EXPECT_EQ(test::read_file(dir / "out").size(), 6U);
}

TEST_P(AtomicFileKinds, PrivateUntilPlacedNeverWidened) {
    // A new file gets what is asked; a replaced one keeps at most its own permissions.
    for (const auto& [existing, asked, expected] :
         {std::tuple{0U, 0640, 0640U}, {0600U, 0644, 0600U}, {0640U, 0604, 0600U}}) {
        std::filesystem::remove(dir / "out");
        if (existing != 0) {
            test::write_file(dir / "out", {});
            ::chmod((dir / "out").c_str(), existing);
        }
        AtomicFile file(dir / "out", options(true, asked));
        file.write("x", 1);
        for (const auto& name : dir.files()) {
            if (name != "out") {
                EXPECT_EQ(mode_of(dir / name), 0600U) << name;
            }
        }
        file.commit();
        EXPECT_EQ(mode_of(dir / "out"), expected) << std::oct << existing << " " << asked;
        EXPECT_EQ(dir.files(), Names{"out"});
    }
}

TEST_P(AtomicFileKinds, LongNamesAndShortTemporaryNames) {
    const std::string longest(255, 'n');
    AtomicFile file(dir / longest, options(false, 0644));
    file.write("x", 1);
    // A named temporary file has a short name, whatever the target's; an unnamed one none.
    const Names pending = dir.files();
    ASSERT_EQ(pending.size(), GetParam() ? 0U : 1U);
    for (const auto& name : pending)
        EXPECT_EQ(name.size(), 16U);
    file.commit();
    EXPECT_EQ(dir.files(), Names{longest});
    // What a signal handler removes: the pending temporary file, nothing else.
    AtomicFile other(dir / "other", options(false, 0644));
    remove_pending_temp_files();
    EXPECT_EQ(dir.files(), Names{longest});
}

INSTANTIATE_TEST_SUITE_P(Temporary, AtomicFileKinds, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Unnamed" : "Named"; });

TEST(AtomicFile, ZlibInputChangedWhileReadIsRefused) {
    test::TempDir dir;
    test::write_file(dir / "big", test::text_bytes(300000));
    bool grown = false;
    const auto grow = [&](uint64_t, int64_t) {
        if (!std::exchange(grown, true)) std::ofstream(dir / "big", std::ios::app) << "x";
    };
    EXPECT_THROW_MSG(compress_file(dir / "big", dir / "big.zlib", grow), EInOutError,
                     "file changed while reading");
    EXPECT_EQ(dir.files(), Names{"big"});
}

}  // namespace
}  // namespace quorvane
