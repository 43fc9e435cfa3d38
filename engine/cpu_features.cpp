// cpu_features.cpp -- asking the processor once.
#include "engine/cpu_features.h"

namespace quorvane {

bool have_bmi2() noexcept {
#if defined(__x86_64__)
    static const bool has = __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
    return has;
#else
    return false;
#endif
}

bool have_avx2() noexcept {
#if defined(__x86_64__)
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}

bool have_avx512_kernels() noexcept {
#if defined(__x86_64__)
    static const bool has =
        have_bmi2() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vpopcntdq") &&
        __builtin_cpu_supports("gfni");
    return has;
#else
    return false;
#endif
}

KernelPath best_kernel_path() noexcept {
    if (have_avx512_kernels()) return KernelPath::Avx512;
    if (have_bmi2()) return KernelPath::Bmi2;
    return KernelPath::Portable;
}

std::vector<KernelPath> kernel_paths() {
    std::vector<KernelPath> paths{KernelPath::Portable};
    if (have_bmi2()) paths.push_back(KernelPath::Bmi2);
    if (have_avx512_kernels()) paths.push_back(KernelPath::Avx512);
    return paths;
}

const char* kernel_path_name(KernelPath path) noexcept {
    switch (path) {
        case KernelPath::Bmi2:
            return "bmi2";
        case KernelPath::Avx512:
            return "avx512";
        case KernelPath::Portable:
            break;
    }
    return "portable";
}

}  // namespace quorvane
