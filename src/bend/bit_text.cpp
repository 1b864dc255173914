// Bit texts, Exp-Golomb codes and the zigzag map of the hff codec.
#include <bit>

#include "bend/hff_codec.h"
#include "bend/pitch_bend.h"

namespace kestrand {

std::string bitText(std::uint64_t value, int bits) {
    std::string text;
    if (bits <= 0) return text;
    if (bits > 64) bits = 64;
    text.reserve(static_cast<std::size_t>(bits));
    for (int i = bits - 1; i >= 0; --i) text.push_back(((value >> i) & 1u) != 0 ? '1' : '0');
    return text;
}

std::string expGolombCode(std::uint32_t value, int order) {
    const std::uint64_t y = std::uint64_t{value} + (std::uint64_t{1} << order);
    const int significant = std::bit_width(y);
    return std::string(static_cast<std::size_t>(significant - order - 1), '0') + bitText(y, significant);
}

int expGolombLength(std::uint32_t value, int order) {
    const std::uint64_t y = std::uint64_t{value} + (std::uint64_t{1} << order);
    return 2 * std::bit_width(y) - order - 1;
}

std::optional<std::size_t> expGolombLengthAt(std::string_view bits, int order) {
    const std::size_t one = bits.find('1');
    if (one == std::string_view::npos) return std::nullopt;
    return 2 * one + static_cast<std::size_t>(order) + 1;
}

std::optional<std::uint32_t> expGolombRead(std::string_view bits, int order, std::size_t& position) {
    std::size_t zeros = 0;
    while (true) {
        if (position + zeros >= bits.size()) return std::nullopt;
        if (bits[position + zeros] == '1') break;
        ++zeros;
    }
    const std::size_t significant = zeros + static_cast<std::size_t>(order) + 1;
    if (significant > 32) return std::nullopt;
    std::uint64_t y = 0;
    for (std::size_t i = 0; i < significant; ++i) {
        const std::size_t at = position + zeros + i;
        y = (y << 1) | (at < bits.size() && bits[at] == '1' ? 1u : 0u);
    }
    position += zeros + significant;
    return static_cast<std::uint32_t>(y - (std::uint64_t{1} << order));
}

std::uint16_t zigzag(std::int16_t symbol) {
    const int s = symbol;
    return static_cast<std::uint16_t>(s >= 0 ? 2 * s : -2 * s - 1);
}

std::int16_t unzigzag(std::uint32_t code) {
    const std::uint32_t u = code & 0xFFFFu;
    const int s = (u & 1u) != 0 ? -static_cast<int>(u >> 1) - 1 : static_cast<int>(u >> 1);
    return static_cast<std::int16_t>(s);
}

std::string textBits(std::wstring_view text) {
    std::string bits;
    bits.reserve(text.size() * 6);
    for (const wchar_t c : text) {
        const int digit = pitchDigitValue(c);
        bits += bitText(digit < 0 ? 63u : static_cast<std::uint64_t>(digit), 6);
    }
    return bits;
}

std::wstring packBitsWithEndMark(std::string_view bits) {
    std::wstring text;
    text.reserve(bits.size() / 6 + 2);
    const std::size_t fill = (6 - bits.size() % 6) % 6;
    int digit = 0;
    int count = 0;
    for (const char bit : bits) {
        digit = (digit << 1) | (bit == '1' ? 1 : 0);
        if (++count == 6) {
            text.push_back(pitchDigitChar(digit));
            digit = 0;
            count = 0;
        }
    }
    if (fill >= 3) {
        // The three lowest fill bits carry fill - 3.
        digit <<= static_cast<int>(fill);
        text.push_back(pitchDigitChar(digit | static_cast<int>(fill - 3)));
    } else {
        if (fill > 0) text.push_back(pitchDigitChar(digit << static_cast<int>(fill)));
        text.push_back(pitchDigitChar(static_cast<int>(fill + 3)));
    }
    return text;
}

}  // namespace kestrand
