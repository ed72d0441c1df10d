#include "platform/crt.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

char* _gcvt(double value, int digits, char* buffer) {
    if (digits < 1) digits = 1;
    if (digits > 17) digits = 17;

    char* out = buffer;
    if (!std::isfinite(value)) {
        std::sprintf(buffer, "%s", std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf"));
        return buffer;
    }

    // printf's %e rounds correctly; take its digits and exponent apart.
    char scientific[64];
    std::snprintf(scientific, sizeof scientific, "%.*e", digits - 1, value);
    const char* p = scientific;
    if (*p == '-') {
        *out++ = '-';
        ++p;
    }
    char mantissa[32];
    int count = 0;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') mantissa[count++] = *p;
    mantissa[count] = '\0';
    int exponent = (*p == 'e') ? std::atoi(p + 1) : 0;
    if (value == 0.0) exponent = 0;

    // Significant digits without the trailing zeros (at least one digit).
    int significant = count;
    while (significant > 1 && mantissa[significant - 1] == '0') --significant;

    if (exponent >= -1 && exponent <= digits - 1) {
        if (exponent == -1) {
            *out++ = '0';
            *out++ = '.';
            if (!(significant == 1 && mantissa[0] == '0'))
                for (int i = 0; i < significant; ++i) *out++ = mantissa[i];
        } else {
            for (int i = 0; i <= exponent; ++i) *out++ = mantissa[i];
            *out++ = '.';
            for (int i = exponent + 1; i < significant; ++i) *out++ = mantissa[i];
        }
        *out = '\0';
    } else {
        *out++ = mantissa[0];
        *out++ = '.';
        for (int i = 1; i < significant; ++i) *out++ = mantissa[i];
        std::sprintf(out, "e%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
    }
    return buffer;
}
