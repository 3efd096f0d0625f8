#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace velk {

// 10^n as a double for n in 0..22: every one of them is exact. A decimal mantissa below
// 2^53 divided by one of them is the correctly rounded double of the decimal number, as
// both operands are exact and IEEE division rounds once.
inline constexpr double kExactPowersOfTen[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,
                                                 1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                                 1e12, 1e13, 1e14, 1e15, 1e16, 1e17,
                                                 1e18, 1e19, 1e20, 1e21, 1e22};

// 10^n in 64 bits for n in 0..19.
inline constexpr std::uint64_t kPowersOfTen64[20] = {1ULL,
                                                     10ULL,
                                                     100ULL,
                                                     1000ULL,
                                                     10000ULL,
                                                     100000ULL,
                                                     1000000ULL,
                                                     10000000ULL,
                                                     100000000ULL,
                                                     1000000000ULL,
                                                     10000000000ULL,
                                                     100000000000ULL,
                                                     1000000000000ULL,
                                                     10000000000000ULL,
                                                     100000000000000ULL,
                                                     1000000000000000ULL,
                                                     10000000000000000ULL,
                                                     100000000000000000ULL,
                                                     1000000000000000000ULL,
                                                     10000000000000000000ULL};
inline std::uint64_t powerOfTen64(int n) { return kPowersOfTen64[static_cast<std::size_t>(n)]; }

}  // namespace velk
