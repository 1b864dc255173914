// A decoded pitch curve: one value per pitch step (1/96 beat). For a pitch
// bend the values are cents; the same type carries the intensity curve.
// An absent curve is std::nullopt, never an empty curve.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrand {

// The most values a curve can hold (its count is a signed 16-bit number).
inline constexpr std::size_t kMaxPitchCurveValues = 32767;

struct PitchCurve {
    std::vector<std::int16_t> values;  // at most kMaxPitchCurveValues
};

}  // namespace kestrand
