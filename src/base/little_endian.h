// Little-endian packing and unpacking of fixed-size integers and IEEE values,
// byte by byte, so that the result does not depend on the host's byte order.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrand {

// Reads an unsigned little-endian value from the first 2 / 4 / 8 bytes at `p`.
inline std::uint16_t loadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

inline std::uint32_t loadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t loadU64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(loadU32(p)) | (static_cast<std::uint64_t>(loadU32(p + 4)) << 32);
}

// Signed 16-bit and 24-bit values (bit 15 / bit 23 is the sign).
inline std::int16_t loadS16(const std::uint8_t* p) { return static_cast<std::int16_t>(loadU16(p)); }

inline std::int32_t loadS24(const std::uint8_t* p) {
    const std::uint32_t raw = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                              (static_cast<std::uint32_t>(p[2]) << 16);
    return static_cast<std::int32_t>(raw ^ 0x800000u) - 0x800000;
}

inline std::int32_t loadS32(const std::uint8_t* p) { return static_cast<std::int32_t>(loadU32(p)); }

inline float loadF32(const std::uint8_t* p) { return std::bit_cast<float>(loadU32(p)); }

inline double loadF64(const std::uint8_t* p) { return std::bit_cast<double>(loadU64(p)); }

// Writes the low 2 / 3 / 4 / 8 bytes of a value at `p`, lowest byte first.
inline void storeU16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value & 0xFFu);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void storeU24(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 3; ++i) p[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFFu);
}

inline void storeU32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFFu);
}

inline void storeU64(std::uint8_t* p, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFFu);
}

// Appends a little-endian value to `out`.
inline void appendU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFFu));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void appendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFFu));
}

inline void appendU64(std::vector<std::uint8_t>& out, std::uint64_t value) {
    for (int shift = 0; shift < 64; shift += 8) out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFFu));
}

}  // namespace kestrand
