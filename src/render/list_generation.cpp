#include "render/list_generation.h"

#include "f0/list_names.h"
#include "f0/pitch_analysis.h"
#include "input/load_input.h"
#include "platform/files.h"

namespace kestrand {

namespace {

std::optional<FrequencyList> analyseLoaded(const LoadedSample& sample, int threadCount = 0) {
    const AnalysisSize size = analysisSizeForRate(sample.info.samplesPerSec);
    return analyseFrequencies(sample, size.windowLength, size.frameStep, threadCount);
}

}  // namespace

std::optional<FrequencyList> obtainFrequencyList(const std::wstring& inputText, const LoadedSample& sample) {
    // An input too long for a list name is analysed every time and never stored.
    const auto names = frequencyListNamesFor(inputText);
    if (names) {
        if (names->decoder) makeDirectory(names->cacheDirectory);
        auto stored = loadFrequencyList(names->first);
        if (!stored && names->decoder) stored = loadFrequencyList(names->second);
        if (stored) return stored;
    }
    auto list = analyseLoaded(sample);
    if (list && names) saveFrequencyList(names->decoder ? names->second : names->first, *list);
    return list;
}

bool generateFrequencyList(const std::wstring& samplePath, std::int32_t tailFrames) {
    const auto sample = loadInput(samplePath, tailFrames);
    if (!sample) return false;
    return generateFrequencyListFor(samplePath, *sample, 0).list.has_value();
}

GeneratedList generateFrequencyListFor(const std::wstring& samplePath, const LoadedSample& sample, int threadCount) {
    GeneratedList result;
    result.list = analyseLoaded(sample, threadCount);
    if (!result.list) return result;
    // A decoder or module input keeps its list in the decoder's cache folder,
    // where a render stores and finds it; a plain sample keeps it beside itself.
    const auto names = frequencyListNamesFor(samplePath);
    if (names && names->decoder) makeDirectory(names->cacheDirectory);
    result.saved = saveFrequencyList(generatedListPath(samplePath), *result.list) == 1;
    return result;
}

std::wstring generatedListPath(const std::wstring& samplePath) {
    const auto names = frequencyListNamesFor(samplePath);
    if (names && names->decoder) return names->second;
    return frequencyListFileName(samplePath);
}

}  // namespace kestrand
