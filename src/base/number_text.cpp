#include "base/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace kestrand {

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f' || c == L'\v'; }
bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

double parseDecimal(std::wstring_view text, std::size_t* consumed) {
    if (consumed != nullptr) *consumed = 0;
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    // Collect the longest run that can form a decimal number (digits, one
    // point, an exponent with its own sign); from_chars then decides exactly
    // how much of it is the number.
    std::string digits;
    const std::size_t start = i;
    std::size_t j = i;
    bool seenPoint = false;
    bool seenExponent = false;
    while (j < text.size() && j - start < 400) {
        const wchar_t c = text[j];
        if (isDigit(c)) {
        } else if (c == L'.' && !seenPoint && !seenExponent) {
            seenPoint = true;
        } else if ((c == L'e' || c == L'E') && !seenExponent && j > start) {
            seenExponent = true;
        } else if ((c == L'+' || c == L'-') && j > start && (text[j - 1] == L'e' || text[j - 1] == L'E')) {
        } else {
            break;
        }
        digits.push_back(static_cast<char>(c));
        ++j;
    }
    if (digits.empty()) return 0.0;
    double value = 0.0;
    const auto result =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::general);
    if (result.ptr == digits.data()) return 0.0;
    if (result.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: the usual answers are infinity or 0.
        const std::size_t exponent = digits.find_first_of("eE");
        const bool tiny = exponent != std::string::npos && digits.find('-', exponent) != std::string::npos;
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    if (consumed != nullptr) *consumed = start + static_cast<std::size_t>(result.ptr - digits.data());
    return negative ? -value : value;
}

std::int32_t parseInteger(std::wstring_view text, std::size_t* consumed) {
    if (consumed != nullptr) *consumed = 0;
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    if (i >= text.size() || !isDigit(text[i])) return 0;
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1;
    while (i < text.size() && isDigit(text[i])) {
        if (value <= kLimit) value = value * 10 + (text[i] - L'0');
        ++i;
    }
    if (consumed != nullptr) *consumed = i;
    if (negative) {
        value = -value;
        return value < std::numeric_limits<std::int32_t>::min() ? std::numeric_limits<std::int32_t>::min()
                                                                : static_cast<std::int32_t>(value);
    }
    return value > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                            : static_cast<std::int32_t>(value);
}

std::int32_t truncateToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

}  // namespace kestrand
