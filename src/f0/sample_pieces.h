// A long sample analysed piece by piece. The analysis holds channel 0 of the
// sample decoded to doubles, and the low-pass reads of it, for every frame it
// analyses: for a whole 30-minute sample that was eight times its 16-bit
// size. Every estimate, level and amplitude of a list frame reads the sample
// only within about two windows of the frame, so each piece holds its own
// list frames' sound and a margin on both sides, and gives every one of its
// list frames exactly what the whole sample gives. One piece is held at a
// time.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/wave_info.h"
#include "f0/frame_pitch.h"

namespace kestrand {

// Sample frames per piece: a sample of fewer than twice as many is one piece,
// analysed exactly as a whole.
inline constexpr std::int64_t kAnalysisPieceFrames = std::int64_t{1} << 18;

class SamplePieces {
public:
    // The pieces of a loaded sample for window length N and step Step; each
    // piece has between pieceFrames and 2 x pieceFrames sample frames.
    SamplePieces(const LoadedSample& sample, int windowLength, int frameStep, int threadCount,
                 std::int64_t pieceFrames = kAnalysisPieceFrames);

    std::int64_t frames() const { return frames_; }      // sound frames of the whole sample
    std::int64_t listSize() const { return listSize_; }  // frames / Step + 1
    int count() const { return count_; }

    // The list frames of piece p: firstIndex(p) .. firstIndex(p + 1) - 1.
    std::int64_t firstIndex(int piece) const;
    int pieceOf(std::int64_t index) const;

    // The setup of a piece, prepared unless it is the one in hand (null when
    // the sample cannot be analysed); its position 0 is the sample frame
    // origin(). Its loudest level is the whole sample's once
    // settleLoudestLevel has run.
    const FramePitchSetup* prepare(int piece);
    std::int64_t origin() const { return origin_; }
    // Working storage of the piece in hand for the calling thread.
    FramePitchScratch& scratch() { return *scratch_; }

    // The loudest level of the whole sample: the largest of the pieces'
    // (levels near a piece's edges only leave samples out, so they are never
    // above the true ones). Prepares every piece once when there are several.
    void settleLoudestLevel();

private:
    const LoadedSample& sample_;
    int windowLength_;
    int frameStep_;
    int threadCount_;
    std::int64_t frames_ = 0;
    std::int64_t listSize_ = 0;
    int count_ = 1;
    std::int64_t margin_ = 0;
    int current_ = -1;
    std::int64_t origin_ = 0;
    std::unique_ptr<FramePitchSetup> setup_;
    std::unique_ptr<FramePitchScratch> scratch_;
    double loudestLevel_ = -1.0;  // below 0 until settled
};

}  // namespace kestrand
