// cpu_features.cpp -- asking the processor once.
#include "engine/cpu_features.h"

#include <cstdlib>
#include <cstring>

namespace quorvane {
namespace {

// What the processor has, before QUORVANE_KERNELS is heard.
KernelPath processor_path() noexcept {
#if defined(__x86_64__)
    if (!__builtin_cpu_supports("bmi2") || !__builtin_cpu_supports("popcnt"))
        return KernelPath::Portable;
    const bool wide = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
                      __builtin_cpu_supports("avx512vpopcntdq") &&
                      __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("gfni");
    return wide ? KernelPath::Avx512 : KernelPath::Bmi2;
#else
    return KernelPath::Portable;
#endif
}

}  // namespace

KernelPath best_kernel_path() noexcept {
    // QUORVANE_KERNELS may name a slower path, to compare the paths or to check one of them in a
    // whole program; a faster one than the processor has, or another word, changes nothing.
    static const KernelPath path = [] {
        const KernelPath best = processor_path();
        const char* asked = std::getenv("QUORVANE_KERNELS");
        if (asked == nullptr) return best;
        for (KernelPath p : {KernelPath::Portable, KernelPath::Bmi2, KernelPath::Avx512}) {
            if (std::strcmp(asked, kernel_path_name(p)) == 0 && p < best) return p;
        }
        return best;
    }();
    return path;
}

bool have_bmi2() noexcept {
    return best_kernel_path() >= KernelPath::Bmi2;
}

bool have_avx2() noexcept {
#if defined(__x86_64__)
    // The 256-bit helpers go with the word-parallel kernels: a portable run uses neither.
    static const bool has = __builtin_cpu_supports("avx2") && have_bmi2();
    return has;
#else
    return false;
#endif
}

bool have_avx512_kernels() noexcept {
    return best_kernel_path() >= KernelPath::Avx512;
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
