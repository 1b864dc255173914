// Writing canonical 44-byte-header WAV files, also to standard output ("-").
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kestrand {

// Writes already encoded bytes behind the header (format tag 3 when bits is
// 32, else 1) into a file; "-" is an ordinary file name here. Returns 0, or
// -1 when the file cannot be created (nothing is written then).
int writeWaveBytes(const std::wstring& path, std::span<const std::uint8_t> bytes, int bitsPerSample, int channels,
                   int sampleRate);

// Writes doubles in sixteen-bit scale at the given depth (8, 16, 24, 32 or 64
// bits; at 32 bits tag 3 writes IEEE floats, any other tag integers; the
// header carries tag 3 for tag 3 and 1 otherwise). `samples` holds frames x
// channels interleaved values. Other depths write the header alone, its sizes
// computed as for any depth. The path "-" writes to standard output in binary
// and leaves it open. Returns data bytes + 44 as the header states them, or -1
// when the file cannot be created.
long long writeWaveSamples(const std::wstring& path, std::span<const double> samples, int bitsPerSample, int channels,
                           int sampleRate, int formatTag);

}  // namespace kestrand
