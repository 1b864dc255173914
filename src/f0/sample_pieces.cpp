#include "f0/sample_pieces.h"

#include <algorithm>
#include <cmath>

namespace kestrand {

SamplePieces::SamplePieces(const LoadedSample& sample, int windowLength, int frameStep, int threadCount,
                           std::int64_t pieceFrames)
    : sample_(sample), windowLength_(windowLength), frameStep_(std::max(frameStep, 1)), threadCount_(threadCount) {
    const std::size_t available = std::min<std::size_t>(sample.bytes.size(), sample.dataBytes);
    frames_ = sample.info.blockAlign == 0 ? 0 : static_cast<std::int64_t>(available / sample.info.blockAlign);
    listSize_ = frames_ / frameStep_ + 1;
    count_ = static_cast<int>(std::clamp<std::int64_t>(frames_ / std::max<std::int64_t>(pieceFrames, 1), 1,
                                                       std::max<std::int64_t>(listSize_ / 2, 1)));
    // Reads reach about 1.25 N + 2 beyond a frame and N before it, the
    // low-pass reader 2 x its width further; twice that, in whole steps, so
    // that the pieces' positions stay on the list's grid.
    const double width = sample.info.samplesPerSec / 920;
    const auto widthReach = static_cast<std::int64_t>(std::ceil(2.0 * std::max(width, 1.0)));
    const std::int64_t reach = 4 * std::int64_t{windowLength} + 4 * frameStep_ + 2 * widthReach + 64;
    margin_ = (reach + frameStep_ - 1) / frameStep_ * frameStep_;
}

std::int64_t SamplePieces::firstIndex(int piece) const { return static_cast<std::int64_t>(piece) * listSize_ / count_; }

int SamplePieces::pieceOf(std::int64_t index) const {
    int piece = static_cast<int>(std::min<std::int64_t>(index * count_ / listSize_, count_ - 1));
    while (piece > 0 && firstIndex(piece) > index) --piece;
    while (piece + 1 < count_ && firstIndex(piece + 1) <= index) ++piece;
    return piece;
}

const FramePitchSetup* SamplePieces::prepare(int piece) {
    if (piece == current_ && setup_) return setup_.get();
    scratch_.reset();
    setup_.reset();
    current_ = -1;
    if (count_ == 1) {
        origin_ = 0;
        setup_ = prepareFramePitch(sample_, windowLength_, frameStep_, threadCount_);
    } else {
        const std::int64_t first = firstIndex(piece) * frameStep_;
        origin_ = std::max<std::int64_t>(0, first - margin_);
        const std::int64_t end =
            piece + 1 == count_ ? frames_ : std::min(frames_, firstIndex(piece + 1) * frameStep_ + margin_);
        const std::size_t align = sample_.info.blockAlign;
        const std::size_t available = std::min<std::size_t>(sample_.bytes.size(), sample_.dataBytes);
        const std::size_t from = static_cast<std::size_t>(origin_) * align;
        // The last piece keeps any bytes of a partial frame at the end, as the whole sample does.
        const std::size_t to = piece + 1 == count_ ? available : static_cast<std::size_t>(end) * align;
        LoadedSample part;
        part.info = sample_.info;
        part.bytes.assign(sample_.bytes.begin() + static_cast<std::ptrdiff_t>(from),
                          sample_.bytes.begin() + static_cast<std::ptrdiff_t>(to));
        part.dataBytes = static_cast<std::uint32_t>(to - from);
        setup_ = prepareFramePitch(part, windowLength_, frameStep_, threadCount_);
    }
    if (!setup_) return nullptr;
    if (loudestLevel_ >= 0.0) setup_->loudestLevel = loudestLevel_;
    scratch_ = std::make_unique<FramePitchScratch>(*setup_);
    current_ = piece;
    return setup_.get();
}

void SamplePieces::settleLoudestLevel() {
    if (count_ == 1) return;  // the whole sample's setup has it already
    double loudest = 0.0;
    for (int piece = 0; piece < count_; ++piece) {
        const FramePitchSetup* setup = prepare(piece);
        if (setup) loudest = std::max(loudest, setup->loudestLevel);
    }
    loudestLevel_ = loudest;
    if (setup_) setup_->loudestLevel = loudest;
}

}  // namespace kestrand
