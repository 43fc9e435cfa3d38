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

}  // namespace quorvane
