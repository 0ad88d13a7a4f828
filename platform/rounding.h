#pragma once
// Rounding as the program's arithmetic expects it: to the nearest integer, halves to the even
// neighbour (2.5 gives 2, 3.5 gives 4), as the FPU does in its default mode.

#include <cmath>
#include <cstdint>

inline int64_t Round(long double x)
{
    return std::llrintl(x);
}
