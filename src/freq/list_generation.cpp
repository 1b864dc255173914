#include "freq/list_generation.h"

#include "audio/aiff_reader.h"
#include "audio/wave_reader.h"
#include "entry/render_settings.h"
#include "freq/list_names.h"
#include "freq/pitch_analysis.h"
#include "input/loaders.h"
#include "platform/files.h"

namespace kestrand {

namespace {

std::wstring lowerAscii(std::wstring text) {
    for (auto& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

std::optional<FrequencyList> analyseLoaded(const LoadedSample& sample) {
    const AnalysisSize size = analysisSizeForRate(sample.info.samplesPerSec);
    return analyseFrequencies(sample, size.windowLength, size.frameStep);
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

int generateFrequencyList(const std::wstring& samplePath) {
    const std::int32_t tailFrames = 4 * renderSettings().frameSize;
    const auto dot = samplePath.rfind(L'.');
    const std::wstring extension = dot == std::wstring::npos ? std::wstring() : lowerAscii(samplePath.substr(dot));
    std::optional<LoadedSample> sample;
    if (extension == L".wav")
        sample = readWaveBytes(samplePath, tailFrames);
    else if (extension == L".aif" || extension == L".aiff")
        sample = readAiffBytes(samplePath, tailFrames);
    else
        sample = loadByExtension(samplePath, tailFrames);
    if (!sample) return 0;
    const auto list = analyseLoaded(*sample);
    if (!list) return 0;
    saveFrequencyList(samplePath, *list);
    return 1;
}

}  // namespace kestrand
