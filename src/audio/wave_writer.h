// Writing canonical 44-byte-header WAV files, also to standard output ("-").
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrand {

// The whole file: the header (format tag 3 when bits is 32, else 1) followed
// by already encoded bytes.
std::vector<std::uint8_t> waveBytesImage(std::span<const std::uint8_t> bytes, int bitsPerSample, int channels,
                                         int sampleRate);

// The whole file for doubles in sixteen-bit scale at the given depth (8, 16,
// 24, 32 or 64 bits; at 32 bits tag 3 writes IEEE floats, any other tag
// integers; the header carries tag 3 for tag 3 and 1 otherwise). `samples`
// holds frames x channels interleaved values. Other depths give the header
// alone, its sizes computed as for any depth, which then state more data than
// follows.
std::vector<std::uint8_t> waveSamplesImage(std::span<const double> samples, int bitsPerSample, int channels,
                                           int sampleRate, int formatTag);

// The data size plus 44, as the header of waveSamplesImage states it.
long long waveSamplesFileSize(std::size_t sampleCount, int bitsPerSample, int channels);

// Writes waveBytesImage into a file, whole or not at all (under a temporary
// name, renamed into place when complete); "-" is an ordinary file name here,
// "nul" the null device. Returns 0, or -1 when the file could not be written
// (an older file of that name is then left as it was).
int writeWaveBytes(const std::wstring& path, std::span<const std::uint8_t> bytes, int bitsPerSample, int channels,
                   int sampleRate);

// Writes waveSamplesImage the same way; the path "-" writes to standard
// output in binary and leaves it open. Returns data bytes + 44 as the header
// states them, or -1 when the file or standard output could not be written.
long long writeWaveSamples(const std::wstring& path, std::span<const double> samples, int bitsPerSample, int channels,
                           int sampleRate, int formatTag);

}  // namespace kestrand
