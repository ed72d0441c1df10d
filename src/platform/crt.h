// C runtime functions of the Windows runtime that glibc does not provide,
// with the Windows runtime's formatting.
#pragma once

// Converts value to text with `digits` significant digits, the last one
// rounded. Plain decimal notation when the decimal exponent e satisfies
// -1 <= e <= digits - 1, else exponent notation (mantissa, 'e', sign, three
// exponent digits). Trailing zeros of the fraction are dropped; the decimal
// point always stays ("60.", "0.", "1.2345679e+008"). Returns buffer, which
// must hold digits + 8 characters.
char* _gcvt(double value, int digits, char* buffer);
