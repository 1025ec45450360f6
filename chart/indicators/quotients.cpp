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
// a line extended bar by bar equals the same line computed whole.
__attribute__((target("avx512f,avx512dq"))) void estimatedQuotients(const double *num, const double *den,
                                                                      double scale, double *out, int count)
{
    const __m512d one = _mm512_set1_pd(1.0);
    const __m512d factor = _mm512_set1_pd(scale);
    for (int k = 0; k < count; k += 8) {
        const __mmask8 lanes = count - k >= 8 ? __mmask8(0xFF) : __mmask8((1u << (count - k)) - 1);
        const __m512d d = _mm512_maskz_loadu_pd(lanes, den + k);
        __m512d r = _mm512_maskz_rcp14_pd(lanes, d);
        r = _mm512_fmadd_pd(r, _mm512_fnmadd_pd(d, r, one), r);
        r = _mm512_fmadd_pd(r, _mm512_fnmadd_pd(d, r, one), r);
        const __m512d q = _mm512_mul_pd(_mm512_mul_pd(_mm512_maskz_loadu_pd(lanes, num + k), factor), r);
        _mm512_mask_storeu_pd(out + k, lanes, q);
        // NaN and infinities (0x01, 0x08, 0x10, 0x80): a zero, infinite or
        // subnormal divisor, or a non-finite price. Those are divided exactly.
        const unsigned odd = _mm512_mask_fpclass_pd_mask(lanes, q, 0x99);
        for (int j = 0; j < 8; ++j) {
            if (odd & (1u << j))
                plainQuotients(num + k + j, den + k + j, scale, out + k + j, 1);
        }
    }
}

bool hasAvx512()
{
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
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
