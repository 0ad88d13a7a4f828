#pragma once
// Rounding as the program's arithmetic expects it: to the nearest integer, halves to the even
// neighbour (2.5 gives 2, 3.5 gives 4), as the FPU does in its default mode.

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

inline int64_t Round(long double x)
{
    return std::llrintl(x);
}

// The same kept inside the 32-bit range: a value beyond it gives its nearer end, NaN gives 0.
inline int32_t roundHalfEven(long double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value <= std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return int32_t(Round(value));
}

// Integer quotients rounded down and up, for either sign (C++ division truncates towards 0);
// the type is the dividend's.
template <class T> constexpr T floorDiv(T a, std::type_identity_t<T> b)
{
    const T q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
template <class T> constexpr T ceilDiv(T a, std::type_identity_t<T> b)
{
    return -floorDiv(-a, b);
}
