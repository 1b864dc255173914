// The key table of parameter jobs and the value forms of its keys.
#include <array>
#include <cstdint>

#include "base/number_text.h"
#include "bend/pitch_bend.h"
#include "bend/pitch_codec.h"
#include "cli/command_line.h"
#include "cli/parameter_job.h"

namespace kestrand {

namespace {

enum class Kind { Text, Number, Tone, Velocity, Switch, Flags, PitchBend, Envelope, Intensity, Integer };

struct KeyEntry {
    std::wstring_view name;
    bool exactCase;
    Kind kind;
    float RenderJob::*number = nullptr;
    std::optional<std::wstring> RenderJob::*text = nullptr;
    std::uint8_t RenderJob::*toggle = nullptr;
};

constexpr KeyEntry text(std::wstring_view name, std::optional<std::wstring> RenderJob::*field) {
    return {name, false, Kind::Text, nullptr, field, nullptr};
}
constexpr KeyEntry number(std::wstring_view name, float RenderJob::*field, bool exactCase = false) {
    return {name, exactCase, Kind::Number, field, nullptr, nullptr};
}
constexpr KeyEntry special(std::wstring_view name, Kind kind, bool exactCase = false) {
    return {name, exactCase, kind, nullptr, nullptr, nullptr};
}
constexpr KeyEntry toggle(std::wstring_view name, std::uint8_t RenderJob::*field, bool exactCase = false) {
    return {name, exactCase, Kind::Switch, nullptr, nullptr, field};
}

// Tried in this order; the first match wins.
const std::array kKeys{
    text(L"voicefile", &RenderJob::voiceFile),
    text(L"fi", &RenderJob::voiceFile),
    number(L"voiceoffset", &RenderJob::voiceOffset),
    number(L"voff", &RenderJob::voiceOffset),
    number(L"voicefixed1", &RenderJob::voiceFixed1),
    number(L"vfx1", &RenderJob::voiceFixed1),
    number(L"voicefixed2", &RenderJob::voiceFixed2),
    number(L"vfx2", &RenderJob::voiceFixed2),
    number(L"voicelength", &RenderJob::voiceLength),
    number(L"vlen", &RenderJob::voiceLength),
    text(L"outfile", &RenderJob::outFile),
    text(L"fo", &RenderJob::outFile),
    number(L"length_require", &RenderJob::lengthRequire),
    number(L"lo", &RenderJob::lengthRequire, true),
    number(L"length", &RenderJob::length),
    number(L"l", &RenderJob::length, true),
    special(L"tone", Kind::Tone),
    special(L"t", Kind::Tone, true),
    number(L"volume", &RenderJob::volume),
    number(L"v", &RenderJob::volume, true),
    special(L"velocity", Kind::Velocity),
    number(L"velocity1", &RenderJob::velocity1),
    number(L"vel1", &RenderJob::velocity1),
    number(L"velocity2", &RenderJob::velocity2),
    number(L"vel2", &RenderJob::velocity2),
    number(L"modulation", &RenderJob::modulation),
    number(L"mod", &RenderJob::modulation),
    number(L"gender", &RenderJob::gender),
    number(L"gen", &RenderJob::gender),
    number(L"G", &RenderJob::gender, true),
    number(L"breathy", &RenderJob::breathy),
    number(L"bre", &RenderJob::breathy),
    number(L"alpha", &RenderJob::alpha),
    toggle(L"noformant", &RenderJob::noFormant),
    toggle(L"N", &RenderJob::noFormant, true),
    special(L"flags", Kind::Flags),
    number(L"tempo", &RenderJob::tempo),
    number(L"T", &RenderJob::tempo, true),
    text(L"pitchcomp", &RenderJob::pitchComp),
    text(L"comp", &RenderJob::pitchComp),
    special(L"pitchbend", Kind::PitchBend),
    special(L"pit", Kind::PitchBend),
    text(L"cachefile", &RenderJob::cacheFile),
    text(L"targetfile", &RenderJob::targetFile),
    text(L"ft", &RenderJob::targetFile),
    number(L"fileoffset", &RenderJob::fileOffset),
    number(L"trim", &RenderJob::fileOffset),
    number(L"overlap", &RenderJob::overlap),
    number(L"ovr", &RenderJob::overlap),
    special(L"envelope", Kind::Envelope),
    special(L"env", Kind::Envelope),
    special(L"intensity", Kind::Intensity),
    special(L"int", Kind::Intensity),
    number(L"endpos", &RenderJob::endPos),
    special(L"samples", Kind::Integer),
    special(L"S", Kind::Integer, true),
    toggle(L"reverse", &RenderJob::reverse),
    toggle(L"rev", &RenderJob::reverse),
};

wchar_t asciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool keyMatches(const KeyEntry& entry, std::wstring_view key) {
    if (entry.exactCase) return key == entry.name;
    if (key.size() != entry.name.size()) return false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (asciiLower(key[i]) != asciiLower(entry.name[i])) return false;
    }
    return true;
}

float numberOf(std::wstring_view value) { return static_cast<float>(parseDecimal(value)); }

// Two characters X and Y, a comma and the curve text. A letter X selects a
// codec (A enc, B cmp, C hff; later letters act as enc) with the digit Y as
// its parameter; anything else the standard decoder. Without a comma nothing
// changes.
void setPitchBend(RenderJob& job, std::wstring_view value) {
    const std::size_t comma = value.find(L',');
    if (comma == std::wstring_view::npos) return;
    const std::wstring_view curveText = value.substr(comma + 1);
    const int x = static_cast<int>(value[0]);
    if (x > 64) {
        const int y = value.size() > 1 ? static_cast<int>(value[1]) : 0;
        job.pitchBend = decodePitchCodec(curveText, y - L'0', static_cast<CodecMode>(x - 64));
    } else {
        job.pitchBend = decodePitchBend(curveText);
    }
}

// With "*": a codec name (hff, cmp, anything else enc) in the three
// characters after it, the parameter four characters after it and the curve
// text six characters after it; fewer than six characters after the "*"
// give no curve. Without "*": the standard text from the third character on.
void setIntensity(RenderJob& job, std::wstring_view value) {
    const std::size_t star = value.find(L'*');
    if (star == std::wstring_view::npos) {
        job.intensity = value.size() < 2 ? std::nullopt : decodePitchBend(value.substr(2));
        return;
    }
    const std::wstring_view marker = value.substr(star + 1);
    if (marker.size() < 6) {
        job.intensity = std::nullopt;
        return;
    }
    const std::wstring_view name = marker.substr(0, 3);
    const CodecMode mode = name == L"hff" ? CodecMode::Hff : name == L"cmp" ? CodecMode::Cmp : CodecMode::Enc;
    job.intensity = decodePitchCodec(marker.substr(5), parseInteger(marker.substr(3)), mode);
}

void apply(RenderJob& job, const KeyEntry& entry, std::wstring_view value) {
    switch (entry.kind) {
        case Kind::Text: job.*entry.text = std::wstring(value); break;
        case Kind::Number: job.*entry.number = numberOf(value); break;
        case Kind::Tone:
            job.tone = !value.empty() && value[0] >= L'A' && value[0] <= L'G' ? noteNameToFrequency(std::wstring(value))
                                                                              : numberOf(value);
            break;
        case Kind::Velocity: job.velocity1 = job.velocity2 = numberOf(value); break;
        case Kind::Switch: job.*entry.toggle = 1; break;
        case Kind::Flags: job.flags = appendText(std::move(job.flags), value); break;
        case Kind::PitchBend: setPitchBend(job, value); break;
        case Kind::Envelope: job.volumeEnvelope = parseNumberList(std::wstring(value)); break;
        case Kind::Intensity: setIntensity(job, value); break;
        case Kind::Integer: job.samples = parseInteger(value); break;
    }
}

}  // namespace

RenderJob newRenderJob() {
    RenderJob job;
    job.volume = 100;
    job.velocity1 = 100;
    job.velocity2 = 100;
    job.breathy = 40;
    job.alpha = 0;
    job.flags = std::nullopt;
    return job;
}

bool setJobParameter(RenderJob& job, std::wstring_view key, std::wstring_view value) {
    for (const KeyEntry& entry : kKeys) {
        if (keyMatches(entry, key)) {
            apply(job, entry, value);
            return true;
        }
    }
    return false;
}

}  // namespace kestrand
