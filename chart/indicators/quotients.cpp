#include "quotients.h"

#include <cmath>
#include <limits>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KESTRAL_HAVE_AVX512_QUOTIENTS 1
#endif

namespace {

void plainQuotients(const double *num, const double *den, double scale, double *out, int count)
{
    for (int k = 0; k < count; ++k) {
        const double q = num[k] * scale / den[k];
        out[k] = std::isfinite(q) ? q : std::numeric_limits<double>::quiet_NaN();
    }
}

#ifdef KESTRAL_HAVE_AVX512_QUOTIENTS
// Every value takes the same steps wherever it falls, the last few included, so
// a line extended bar by bar equals the same line computed whole. Returns the
// lanes whose estimate is NaN or infinite.
__attribute__((target("avx512f,avx512dq,avx512vl,fma"))) inline __mmask8 estimatedBlock(const double *num, const double *den,
                                                                             __m256d scale, double *out,
                                                                             __mmask8 lanes)
{
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d d = _mm256_maskz_loadu_pd(lanes, den);
    __m256d r = _mm256_maskz_rcp14_pd(lanes, d);
    r = _mm256_fmadd_pd(r, _mm256_fnmadd_pd(d, r, one), r);
    r = _mm256_fmadd_pd(r, _mm256_fnmadd_pd(d, r, one), r);
    const __m256d q = _mm256_mul_pd(_mm256_mul_pd(_mm256_maskz_loadu_pd(lanes, num), scale), r);
    _mm256_mask_storeu_pd(out, lanes, q);
    // NaN and infinities: 0x01, 0x08, 0x10, 0x80.
    return _mm256_mask_fpclass_pd_mask(lanes, q, 0x99);
}

__attribute__((target("avx512f,avx512dq,avx512vl,fma"))) void estimatedQuotients(const double *num, const double *den,
                                                                      double scale, double *out, int count)
{
    const __m256d factor = _mm256_set1_pd(scale);
    unsigned odd = 0;
    int k = 0;
    for (; k + 4 <= count; k += 4)
        odd |= estimatedBlock(num + k, den + k, factor, out + k, 0x0F);
    if (k < count)
        odd |= estimatedBlock(num + k, den + k, factor, out + k, __mmask8((1u << (count - k)) - 1));
    // A zero, infinite or subnormal divisor, or a non-finite price: those are divided exactly.
    if (odd) {
        for (k = 0; k < count; ++k) {
            if (!std::isfinite(out[k]))
                plainQuotients(num + k, den + k, scale, out + k, 1);
        }
    }
}

bool hasAvx512()
{
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")
        && __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("fma");
    return has;
}
#endif

} // namespace

void scaledQuotients(const double *num, const double *den, double scale, double *out, int count)
{
#ifdef KESTRAL_HAVE_AVX512_QUOTIENTS
    if (hasAvx512()) {
        estimatedQuotients(num, den, scale, out, count);
        return;
    }
#endif
    plainQuotients(num, den, scale, out, count);
}
