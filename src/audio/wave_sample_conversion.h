// Conversions between stored WAV samples and doubles in sixteen-bit scale
// (full scale equal to that of a signed 16-bit integer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrand {

// Bytes one stored sample takes when read at `bitsPerSample` (8, 16, 24, 32,
// 64); 0 for depths that are not read (their samples read as silence).
std::size_t decodedSampleBytes(int bitsPerSample);

// Converts consecutive stored samples of `raw` into out[0 .. out.size()) by
// the file convention of base/sample_format.h:
// 8-bit unsigned (u - 127.5) x 256, 16-bit signed as is, 24-bit signed
// x 1/256, 32-bit integers (formatTag 1) x 1/65536, 32-bit floats (any other
// tag) and 64-bit doubles x 32767.5. Samples beyond the end of `raw`, and all
// samples of an unknown depth, are left as they are in `out`.
void decodeSamples(std::span<const std::uint8_t> raw, int bitsPerSample, std::uint16_t formatTag,
                   std::span<double> out);

// Bytes one sample takes when written at `bitsPerSample`; 0 for depths the
// writer does not encode (their samples are not written).
std::size_t encodedSampleBytes(int bitsPerSample);

// Appends every value of `in`, converted for the output depth by the WAV
// writer convention of base/sample_format.h, to `out`:
// 8-bit unsigned v/256 + 128.5 limited to 0..255, 16-bit limited then
// truncated, 24-bit v x 256 limited and truncated, 32-bit float (formatTag 3)
// v / 32767.5, 32-bit integer v x 65536 limited and truncated, 64-bit double
// v / 32767.5. NaN writes silence at the integer depths. Unknown depths
// append nothing.
void encodeSamples(std::span<const double> in, int bitsPerSample, int formatTag, std::vector<std::uint8_t>& out);

}  // namespace kestrand
