// The pitch contour of a voice sample and its ".frq" file (magic "FREQ0003").
// Little-endian layout: "FREQ0003", int32 frameStep, float64 freqAvg, int32
// sampleRate, 12 bytes, int32 listSize, then per frame float64 frequency and
// float64 amplitude. The 12 bytes are zero in lists of other programs; this
// program writes "kfp1" and the 64-bit fingerprint of the sample the list was
// made from into them (see sample_fingerprint.h), which other programs
// ignore. Lists are plain values: they release their arrays themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrand {

struct FrequencyList {
    std::int32_t frameStep = 0;                // sample frames between list frames
    std::int32_t sampleRate = 0;               // rate of the analysed sample, Hz
    std::int32_t listSize = 0;                 // number of frames n
    double freqAvg = 0;                        // average fundamental frequency, Hz
    std::vector<double> frequencies;           // n + 1 entries; entry n repeats entry n - 1; 0 = no pitch
    std::vector<double> amplitudes;            // n + 1 entries, sixteen-bit scale
    std::optional<std::uint64_t> fingerprint;  // of the sample it was made from, when the file says
};

// The list file name for a base name: base + ".frq"; a base already ending in
// ".frq" is used as it is; ".wav.frq" becomes "_wav.frq".
std::wstring frequencyListFileName(const std::wstring& baseName);

// Loads a list file (name completed by the rule above). Nothing, without a
// message, when the file is missing, its magic does not start with "FREQ000"
// (the version digit is not examined), its frame count is below 1, or it ends
// before its last pair. The arrays grow with the pairs actually read, never
// from the count alone. The guard entries repeat the last pair.
std::optional<FrequencyList> loadFrequencyList(const std::wstring& name);

// The bytes of the list's file; empty when the list has no frames or its
// arrays are shorter than its count.
std::vector<std::uint8_t> frequencyListBytes(const FrequencyList& list);

struct ListWrite {
    bool written = false;
    std::string failure;        // when not written: why, in a few words ("the folder is read-only", ...)
    std::wstring keptPrevious;  // the backup name, when a previous list was kept under it
};

// The name under which a replaced list is kept: the list's name + ".bak".
std::wstring previousListPath(const std::wstring& listPath);

// Writes the list to the file at `path` (the full name, any length the file
// system takes): to a temporary file beside it, flushed to stable storage,
// then renamed into place, so that readers never see a half-written list and
// a crash leaves the old list or the new one. With `keepPrevious`, a file
// already at `path` whose bytes differ from the new list's is first renamed
// to previousListPath (replacing an older backup); if that fails, nothing is
// written.
ListWrite writeFrequencyList(const std::wstring& path, const FrequencyList& list, bool keepPrevious);

// Saves the list under the name completed by the rule above (no backup).
// 1 when it was written, 0 otherwise (no message).
int saveFrequencyList(const std::wstring& name, const FrequencyList& list);

// A few words on why the last file operation failed, from the C library's
// error number: "the folder is read-only", "the name is too long for the
// file system", "the disk is full", "the folder does not exist", or the
// system's own text.
std::string fileFailureReason(int error);

}  // namespace kestrand
