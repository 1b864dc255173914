#include "render/output_settings.h"

#include "base/number_text.h"
#include "platform/environment.h"

namespace kestrand {

namespace {

// Reads one setting: an unset variable keeps the current value; a value
// outside [low, high] (or no number) gives the fallback.
void readSetting(const wchar_t* name, std::int32_t low, std::int32_t high, std::int32_t fallback, std::int32_t& value) {
    const auto text = getEnvironment(name);
    if (!text) return;
    const std::int32_t parsed = parseInteger(*text);
    value = parsed >= low && parsed <= high ? parsed : fallback;
}

}  // namespace

std::int32_t frameSizeForRate(std::int32_t rate) {
    if (rate >= 64000) return 2048;
    if (rate >= 32000) return 1024;
    if (rate >= 16000) return 512;
    return 256;
}

OutputSettings readOutputSettings(OutputSettings previous) {
    OutputSettings settings = previous;
    readSetting(L"OUTPUT_SAMPLES_PER_SEC", 4000, 384000, 44100, settings.sampleRate);
    readSetting(L"OUTPUT_BITS_PER_SAMPLE", 8, 64, 16, settings.bitsPerSample);
    settings.frameSize = frameSizeForRate(settings.sampleRate);
    settings.hopSize = settings.frameSize / 4;
    return settings;
}

}  // namespace kestrand
