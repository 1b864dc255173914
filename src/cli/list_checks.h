// Signs that a frequency list is wrong, for a person checking a voice folder:
// every note that uses a sample inherits the faults of its list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "f0/frequency_list.h"

namespace kestrand {

enum class ListConcern {
    DoesNotFitSample,      // the list was made for another length, rate or step
    NoPitch,               // no frame has a pitch at all
    LoudWithoutPitch,      // a loud stretch where the analysis found no pitch
    OctaveJumps,           // neighbouring voiced frames an octave (or more) apart
    AverageFarFromMedian,  // the average lies far from the other samples' in the folder
};

struct ListFlag {
    ListConcern concern;
    std::string text;  // one line in English, with the figures
};

struct ListReview {
    std::vector<ListFlag> flags;
    double score = 0;                      // higher is worse; 0 when nothing looks wrong
    std::vector<std::int32_t> jumpFrames;  // the later frame of each octave jump
    std::int32_t loudFirst = -1;           // the longest loud stretch without pitch,
    std::int32_t loudLast = -1;            // first and last frame; -1 when there is none
};

// A jump counts when two neighbouring voiced frames are this many semitones
// apart or more, and both reach this share of the list's largest amplitude
// (40 dB below it): in near silence (a fade, dither) the analysis finds stray
// pitches now and then that no note lets anyone hear.
inline constexpr double kJumpSemitones = 9.0;
inline constexpr double kAudibleShare = 0.01;
// A frame is loud when its amplitude reaches this share of the list's largest one,
inline constexpr double kLoudShare = 0.4;
// and a loud stretch without pitch counts when it lasts this long; up to this
// many voiced frames inside it do not break it.
inline constexpr double kLoudStretchMs = 50.0;
inline constexpr int kBridgedFrames = 2;
// An average counts as far when it is this many semitones from the folder's median.
inline constexpr double kFarSemitones = 6.0;

// Reviews one list. `fitsSample` tells whether the list fits its sample;
// `folderMedian` is the median average frequency of the folder's samples
// (nothing when there is no other sample to compare with).
ListReview reviewList(const FrequencyList& list, bool fitsSample, std::optional<double> folderMedian);

// True when at least one frame of the list has a pitch.
bool hasPitch(const FrequencyList& list);

// The median of the values; nothing for none.
std::optional<double> medianOf(std::vector<double> values);

}  // namespace kestrand
