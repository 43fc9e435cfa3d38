// test_support.h -- shared helpers: exception checks, rod streams, temporary folders (and the
// sample data of samples.h).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/bit_string.h"
#include "rodfile/rod_header.h"
#include "run/run_state.h"
#include "tests/recording_observer.h"
#include "tests/samples.h"

namespace quorvane::test {

// Checks that statement throws exactly type with exactly message as what().
#define EXPECT_THROW_MSG(statement, type, message)                                \
    do {                                                                          \
        try {                                                                     \
            statement;                                                            \
            ADD_FAILURE() << "no exception from " #statement;                     \
        } catch (const type& error_) {                                            \
            EXPECT_EQ(std::string(error_.what()), std::string(message));          \
        } catch (...) {                                                           \
            ADD_FAILURE() << "another exception than " #type " from " #statement; \
        }                                                                         \
    } while (false)

std::string random_bit_text(std::mt19937& rng, size_t count, double ones = 0.5);
// Bits as the passes over a program see them: mostly zero 64-bit blocks, some random ones, some
// holding a single 1.
std::string zero_heavy_bit_text(std::mt19937& rng, size_t count);
std::string hex(const std::vector<uint8_t>& bytes);
BitString bits(std::string_view text);

// The counters, data and decision stream a cycle leaves for its header.
struct CycleFields {
    int32_t cycle;
    int32_t passes;
    BitString data;
    int32_t low;
    int32_t high;
    int32_t source_bytes;
    BitString decision_stream;
};
std::optional<RodStream> create_header(const CycleFields& fields, RunObserver& ui);

// The rod file the engine writes for input under the default settings changed by tweak; empty
// when packing is not successful.
std::vector<uint8_t> pack_bytes(const std::vector<uint8_t>& input,
                                const std::function<void(SettingTexts&)>& tweak = {});

// The bytes of a hand-made rod stream.
std::vector<uint8_t> rod_bytes(const CycleFields& fields);

// A folder of its own for a test, removed with the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // Names of the files in the folder, sorted.
    std::vector<std::string> files() const;

  private:
    std::filesystem::path path_;
};

}  // namespace quorvane::test
