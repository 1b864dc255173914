// Mixing a rendered note into an existing WAV file that grows note by note.
//
// The target is a mono file with the plain 44-byte header that the writers of
// this program produce, its sound data running to the end of the file. The
// note is placed at the end of the sound already there: its first frames are
// mixed into the file's last frames (a positive overlap), follow them directly
// (no overlap) or follow a stretch of silence (a negative overlap).
//
// Overlap in frames, with r = the note's sample rate x 0.001: o = truncate(overlap x
// r), e = truncate(endPos x r); n = o when e >= 0, else o - e. A positive n is
// limited to the frames already in the target and to the note's length.
//
// The target is changed in place, so that an append costs in proportion to
// the note, not to the song: the mixed frames and the note are written from
// the first mixed frame on, then the header's sizes. Appends from several
// processes are serialised by a lock on the target held from reading its
// header to the end of the change, so each note lands after the previous
// one. Before the change an undo record (the old header and the bytes the
// change overwrites) is put on stable storage beside the target; a change
// that fails (a full disk) is rolled back at once, and one that a kill
// interrupted is rolled back by the next append, so the target is always
// the old song or the new one, whole. A target that is not a file these
// routines could have written is refused with a message on standard error
// and left untouched. A missing target is created with the note alone,
// exactly as the WAV writers would write it, under a temporary name put in
// place only while the name is free: of several processes creating it at
// once one creates it and the others append to it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kestrand {

// Mixes the first `count` samples of the note (sixteen-bit scale; the first n
// are modified in place by the mix) into the target file with an overlap of
// `overlap` ms, lengthened by -`endPos` ms when `endPos` is negative. A
// missing target is written with the note alone at `bitsPerSample` (floats from
// 32 bits) and `sampleRate`, which also converts the overlap to frames. Prints "outlen=%d" (when mixing) and
// "filesize=%d" (the new RIFF size) on standard output unless `quiet`.
void mixIntoWaveSamples(const std::wstring& targetPath, std::span<double> note, std::int32_t count, float overlap,
                        float endPos, std::int32_t sampleRate, std::int32_t bitsPerSample, bool quiet = false);

// The same for a note held as 16-bit samples and a 16-bit mono target; the
// mixed samples are limited to the 16-bit range. A missing target is written
// with the note's bytes as a 16-bit file at `sampleRate`. Prints the
// target's "filesize=", "BlockAlign=", "SamplesPerSec=", then "overlap=",
// "outlen=" (when mixing) and the new "filesize=" unless `quiet`.
void mixIntoWaveInt16(const std::wstring& targetPath, std::span<std::int16_t> note, std::int32_t count, float overlap,
                      float endPos, std::int32_t sampleRate, bool quiet = false);

// The overlap in frames for the given settings, before any limiting.
std::int64_t overlapFrames(float overlap, float endPos, std::int32_t sampleRate);

}  // namespace kestrand
