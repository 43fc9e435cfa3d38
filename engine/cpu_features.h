// cpu_features.h -- which word-parallel kernels the processor can run.
#pragma once

namespace quorvane {

// True when the processor has the bit extract/deposit and population count instructions that the
// word-parallel pass kernels use. Asked once; the answer does not change.
bool have_bmi2() noexcept;

// True when the processor has 256-bit integer vectors (used to pass over stretches of zero words).
bool have_avx2() noexcept;

}  // namespace quorvane
