// Many quotients at once: out[k] = num[k] * scale / den[k], a gap (NaN) where
// that is not a finite number. Where the processor has AVX-512, the division is a
// reciprocal estimate refined twice by Newton's step, a few units in the last
// place from the quotient; a division costs several times more than all of it.
#pragma once

void scaledQuotients(const double *num, const double *den, double scale, double *out, int count);
