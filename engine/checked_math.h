// checked_math.h -- signed 32-bit arithmetic that raises "Integer overflow" instead of wrapping.
#pragma once

#include <cstdint>

#include "engine/errors.h"

namespace quorvane {

inline int32_t checked_add(int32_t a, int32_t b) {
    int32_t r;
    if (__builtin_add_overflow(a, b, &r)) throw EIntOverflow();
    return r;
}

inline int32_t checked_sub(int32_t a, int32_t b) {
    int32_t r;
    if (__builtin_sub_overflow(a, b, &r)) throw EIntOverflow();
    return r;
}

inline int32_t checked_mul(int32_t a, int32_t b) {
    int32_t r;
    if (__builtin_mul_overflow(a, b, &r)) throw EIntOverflow();
    return r;
}

// Narrows a size or count to the signed 32-bit counters the engine keeps.
template <typename T>
inline int32_t checked_i32(T value) {
    int32_t r;
    if (__builtin_add_overflow(value, 0, &r)) throw EIntOverflow();
    return r;
}

}  // namespace quorvane
