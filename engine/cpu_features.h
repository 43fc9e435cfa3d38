// cpu_features.h -- which word-parallel kernels the processor can run.
#pragma once

#include <cstdint>
#include <vector>

// Around the 512-bit kernels: GCC 12's intrinsics start from an undefined vector, which it then
// reports as unset. Clang neither reports it nor knows one of the warnings.
#if defined(__GNUC__) && !defined(__clang__)
#define QUORVANE_VECTOR_CODE_BEGIN                                                       \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wuninitialized\"") \
        _Pragma("GCC diagnostic ignored \"-Wmaybe-uninitialized\"")
#define QUORVANE_VECTOR_CODE_END _Pragma("GCC diagnostic pop")
#else
#define QUORVANE_VECTOR_CODE_BEGIN
#define QUORVANE_VECTOR_CODE_END
#endif

namespace quorvane {

// The instruction sets the pass kernels come in, each needing the one before it: the portable
// code, the bit extract/deposit and population count instructions, and 512-bit vectors with their
// population count, byte permutes (VBMI) and byte-wise bit reversal (GFNI).
enum class KernelPath : uint8_t { Portable, Bmi2, Avx512 };

// The fastest path this processor runs, or the slower one the environment variable
// QUORVANE_KERNELS names ("portable", "bmi2"). Asked once; the answer does not change.
KernelPath best_kernel_path() noexcept;

// True when best_kernel_path() has the bit extract/deposit and population count instructions
// that the word-parallel pass kernels use.
bool have_bmi2() noexcept;

// True when the word-parallel kernels are in use and the processor has 256-bit integer vectors
// (used to pass over stretches of zero words and to copy at a bit offset).
bool have_avx2() noexcept;

// True when best_kernel_path() is KernelPath::Avx512.
bool have_avx512_kernels() noexcept;

// Every path this processor runs, the portable one first: the tests force each.
std::vector<KernelPath> kernel_paths();

// "portable", "bmi2" or "avx512".
const char* kernel_path_name(KernelPath path) noexcept;

}  // namespace quorvane
