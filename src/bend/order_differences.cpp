#include <algorithm>

#include "bend/codec_stream.h"

namespace kestrand {

int effectiveOrder(int parameter) { return std::clamp(parameter, 0, 3); }

bool Integrator::push(int difference) {
    if (full()) return false;
    const std::size_t n = values_.size();
    const int order = std::min<int>(order_, static_cast<int>(n));
    // Previous values y1 (latest), y2, y3; each term stays far inside int range.
    const int y1 = order >= 1 ? values_[n - 1] : 0;
    const int y2 = order >= 2 ? values_[n - 2] : 0;
    const int y3 = order >= 3 ? values_[n - 3] : 0;
    int value = difference;
    switch (order) {
        case 1: value += y1; break;
        case 2: value += 2 * y1 - y2; break;
        case 3: value += 3 * y1 - 3 * y2 + y3; break;
        default: break;
    }
    // Wrap to 16 bits.
    values_.push_back(static_cast<std::int16_t>(static_cast<std::uint16_t>(value)));
    return true;
}

std::int32_t orderDifference(const std::vector<std::int16_t>& values, std::size_t index, int order) {
    const int k = std::min<int>(effectiveOrder(order), static_cast<int>(index));
    const std::int32_t x = values[index];
    switch (k) {
        case 1: return x - values[index - 1];
        case 2: return x - 2 * values[index - 1] + values[index - 2];
        case 3: return x - 3 * values[index - 1] + 3 * values[index - 2] - values[index - 3];
        default: return x;
    }
}

}  // namespace kestrand
