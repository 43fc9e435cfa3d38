// Every damaged file of tests/data/bad is refused by the command line: exit status 1, one line
// on stderr (two for a failed restoration), no output file.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/cli_support.h"
#include "tests/test_support.h"

#ifndef QUORVANE_BAD_FILES
#error "QUORVANE_BAD_FILES must name the folder of damaged files"
#endif

namespace quorvane {
namespace {

std::vector<std::string> bad_files() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(QUORVANE_BAD_FILES)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".rod" || ext == ".zlib") names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class BadFile : public testing::TestWithParam<std::string> {};

TEST_P(BadFile, IsRefusedWithNothingWritten) {
    const std::string name = GetParam();
    const bool rod = name.ends_with(".rod");
    std::vector<std::vector<std::string>> commands =
        rod ? std::vector<std::vector<std::string>>{{"test", "--loops", "3", name},
                                                    {"unpack", "--loops", "3", name}}
            : std::vector<std::vector<std::string>>{{"decompress", name}};
    for (auto& args : commands) {
        if (name.starts_with("raw-")) args.insert(args.begin() + 1, "--no-lz77");
    }
    for (const auto& args : commands) {
        test::TempDir dir;
        test::TempDir captured;
        std::filesystem::copy_file(std::filesystem::path(QUORVANE_BAD_FILES) / name, dir / name);
        const test::Files before = test::folder_content(dir);
        const pid_t pid = test::start_cli(dir.path(), args, captured / "out", captured / "err");
        ASSERT_GT(pid, 0);
        EXPECT_EQ(test::wait_for(pid), 1) << args[0] << " " << name;
        EXPECT_EQ(test::folder_content(dir), before) << args[0] << " " << name;
        const std::string err = test::text_of(captured / "err");
        // A failed restoration adds a line on the settings it used.
        const std::string prefix = "quorvane-cli: " + name + ": ";
        const bool restoration = err.find("\n" + prefix + "restored with") != std::string::npos;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), restoration ? 2 : 1) << err;
        EXPECT_TRUE(err.starts_with(prefix)) << err;
        // Damage that would restore silently is caught by the trailer, not by luck.
        if (name.ends_with("-checked.rod")) {
            EXPECT_EQ(err, "quorvane-cli: " + name + ": checksum mismatch\n");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Folder, BadFile, testing::ValuesIn(bad_files()), [](const auto& info) {
    std::string id = info.param;
    std::replace_if(
        id.begin(), id.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
        '_');
    return id;
});

}  // namespace
}  // namespace quorvane
