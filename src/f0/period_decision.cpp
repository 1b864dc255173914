#include "f0/period_decision.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kestrand {

namespace {

// The related lags of a refined lag that are worth refining: its parts
// (while at least lowestLag) that the low-passed frame nearly repeats after,
// as nearly as after the best of them, and its multiples (while at most
// highestLag) that it repeats after better than after the chosen lag.
std::vector<int> promisingRelatedLags(const FramePitchSetup& setup, FramePitchScratch& scratch, double chosen,
                                      int chosenLag, int lowestLag, int highestLag) {
    std::vector<int> parts;
    std::vector<int> multiples;
    const double shortest = std::max(lowestLag, 1);
    for (int k = 2; chosen / k >= shortest; ++k) parts.push_back(static_cast<int>(std::lround(chosen / k)));
    for (int k = 2; std::lround(chosen * k) <= highestLag; ++k)
        multiples.push_back(static_cast<int>(std::lround(chosen * k)));

    // The coarse differences (2 outside the range) of the chosen lag, the
    // parts and the multiples, measured together.
    std::vector<int> lags{chosenLag};
    lags.insert(lags.end(), parts.begin(), parts.end());
    lags.insert(lags.end(), multiples.begin(), multiples.end());
    std::vector<double> coarse(lags.size());
    wholeLagDifferences(setup, scratch, lags, lowestLag, highestLag, coarse.data());
    const double chosenCoarse = coarse[0];
    const std::vector<double> partCoarse(coarse.begin() + 1,
                                         coarse.begin() + 1 + static_cast<std::ptrdiff_t>(parts.size()));
    const std::vector<double> multipleCoarse(coarse.begin() + 1 + static_cast<std::ptrdiff_t>(parts.size()),
                                             coarse.end());
    double bestCoarse = chosenCoarse;
    for (const double value : partCoarse) bestCoarse = std::min(bestCoarse, value);
    for (const double value : multipleCoarse) bestCoarse = std::min(bestCoarse, value);

    std::vector<int> promising;
    for (std::size_t i = 0; i < parts.size(); ++i)
        if (partCoarse[i] <= bestCoarse + kScreeningMargin) promising.push_back(parts[i]);
    for (std::size_t i = 0; i < multiples.size(); ++i)
        if (multipleCoarse[i] < chosenCoarse) promising.push_back(multiples[i]);
    return promising;
}

}  // namespace

PeriodChoice decidePeriod(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position,
                          int chosenLag, int lowestLag, int highestLag, bool judgeRelated) {
    std::vector<LagRefinement> judged;
    judged.push_back(beginRefinement(chosenLag));
    continueRefinement(setup, scratch, position, judged.front(), kJudgingWidth);
    if (judgeRelated) {
        for (const int lag :
             promisingRelatedLags(setup, scratch, judged.front().lag(), chosenLag, lowestLag, highestLag))
            judged.push_back(beginRefinement(lag));
        continueRefinements(setup, scratch, position, std::span<LagRefinement>(judged).subspan(1), kJudgingWidth);
    }
    double smallest = judged.front().normalisedDifference();
    for (const LagRefinement& r : judged) smallest = std::min(smallest, r.normalisedDifference());
    // The shortest lag about as good as the best (the first one on a tie),
    // when the best shows that the frame repeats at all.
    std::size_t pick = 0;
    if (smallest <= kRepeatingDifference) {
        for (std::size_t i = 1; i < judged.size(); ++i) {
            if (judged[i].normalisedDifference() > smallest + kPeriodTolerance) continue;
            if (judged[pick].normalisedDifference() > smallest + kPeriodTolerance ||
                judged[i].lag() < judged[pick].lag())
                pick = i;
        }
    }
    LagRefinement& winner = judged[pick];
    PeriodChoice choice;
    choice.difference = winner.normalisedDifference();
    choice.chosenDifference = judged.front().normalisedDifference();
    continueRefinement(setup, scratch, position, winner, 0.0);
    choice.lag = winner.lag();
    return choice;
}

}  // namespace kestrand
