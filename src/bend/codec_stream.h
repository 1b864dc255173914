// Building blocks shared by the pitch-text codecs: character sources that
// expand the outer layers lazily, order-k integration and differencing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "bend/pitch_curve.h"

namespace kestrand {

// A source of characters read one at a time.
class CharSource {
public:
    virtual ~CharSource() = default;
    // The next character, or false at the end.
    virtual bool next(wchar_t& out) = 0;
};

// The characters of a text.
class TextSource final : public CharSource {
public:
    explicit TextSource(std::wstring_view text) : text_(text) {}
    bool next(wchar_t& out) override;

private:
    std::wstring_view text_;
    std::size_t position_ = 0;
};

// Expands copy references of the characters of another source, one character
// at a time. Stops at a marker whose digits are missing or not in the alphabet,
// and at a reference reaching before the start of the text produced so far.
class CopyExpander final : public CharSource {
public:
    explicit CopyExpander(CharSource& input) : input_(input) {}
    bool next(wchar_t& out) override;

private:
    CharSource& input_;
    std::array<wchar_t, 128> recent_{};  // the last 128 characters produced
    std::size_t produced_ = 0;
    std::size_t distance_ = 0;
    std::size_t remaining_ = 0;
    bool stopped_ = false;
};

// Expands runs of the letter "A" of another source, one character at a time.
// Stops at a run marker whose digits are missing or not in the alphabet.
class RunExpander final : public CharSource {
public:
    explicit RunExpander(CharSource& input) : input_(input) {}
    bool next(wchar_t& out) override;

private:
    CharSource& input_;
    std::size_t pending_ = 0;
    bool stopped_ = false;
};

// Reads one alphabet digit; -1 when the source ends or the character is not a digit.
int readDigit(CharSource& source);

// The differences of the value codes that enc and cmp share: "!" and one
// digit f (32 .. 63 and -64 .. -33), "@" and two digits g, h (the rest of
// -2048 .. 2047, twelve bits low digit first).
inline int bangCodeValue(int f) { return f < 32 ? f + 32 : f - 96; }
inline int atCodeValue(int g, int h) {
    const int w = g + 64 * h;
    return w < 2048 ? w + 64 : w - 4160;
}

// Reads all of a source into a text, at most maxLength characters.
std::wstring drain(CharSource& source, std::size_t maxLength);

// The order of differencing a parameter stands for: 0 to 3.
int effectiveOrder(int parameter);

// Turns differences of an order into curve values in wrapping 16-bit
// arithmetic, appending to the curve; the first values use the lower orders.
class Integrator {
public:
    Integrator(std::vector<std::int16_t>& values, int order) : values_(values), order_(effectiveOrder(order)) {}
    // Appends the value of the next difference; false (and nothing appended)
    // once the curve is full.
    bool push(int difference);
    bool full() const { return values_.size() >= kMaxPitchCurveValues; }

private:
    std::vector<std::int16_t>& values_;
    int order_;
};

// The difference of the given order at an index of the values, exact (not
// truncated); the first values use the lower orders.
std::int32_t orderDifference(const std::vector<std::int16_t>& values, std::size_t index, int order);

// The value layers, reading from a source. Each stops at kMaxPitchCurveValues values.
std::vector<std::int16_t> decodeEncValues(CharSource& source, int order);
std::vector<std::int16_t> decodeCmpValues(CharSource& source, int order);
std::vector<std::int16_t> decodeHffValues(CharSource& source, int order);

// Appends the run-layer code of a run of letters "A" (also the enc code of a
// run of zero differences): "A", "AA", "$" and one digit, or "#" and two; a
// run longer than one code holds takes several codes.
void appendRunCode(std::wstring& text, std::size_t run);

}  // namespace kestrand
