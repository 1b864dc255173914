// Writing canonical 44-byte-header WAV files, also to standard output ("-").
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kestrand {

// Writes already encoded bytes behind the header (format tag 3 when bits is
// 32, else 1). Returns 0, or -1 when the file cannot be created.
int writeWaveBytes(const std::wstring& path, std::span<const std::uint8_t> bytes, int bitsPerSample, int channels,
                   int sampleRate);

// Writes doubles in sixteen-bit scale at the given depth (8, 16, 24, 32 or 64
// bits; tag 3 writes IEEE floats from 32 bits up). The path "-" writes to
// standard output in binary. Returns the file's byte count (data + 44), or -1
// when the file cannot be created.
long long writeWaveSamples(const std::wstring& path, std::span<const double> samples, int bitsPerSample, int channels,
                           int sampleRate, int formatTag);

}  // namespace kestrand
