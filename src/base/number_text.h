// Reading numbers from text the same way everywhere, with "." as the decimal
// point whatever the user's locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestrand {

// Reads a decimal floating-point number at the start of the text: leading
// blanks, an optional sign, digits, an optional fraction and exponent. Reading
// stops at the first other character. A text without a number reads as 0.
// When `consumed` is given it receives the number of characters read (0 when
// there was no number).
double parseDecimal(std::wstring_view text, std::size_t* consumed = nullptr);

// Reads a signed decimal integer (leading blanks, one optional sign, digits)
// at the start of the text; 0 when there is none. Values beyond the int32
// range saturate. `consumed` as above.
std::int32_t parseInteger(std::wstring_view text, std::size_t* consumed = nullptr);

// Truncates a double toward zero into int32, saturating at the ends of the
// range and giving 0 for NaN (a plain cast would be undefined there).
std::int32_t truncateToInt32(double value);

}  // namespace kestrand
