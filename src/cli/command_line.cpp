#include "cli/command_line.h"

#include <algorithm>
#include <cmath>
#include <cwctype>

#include "base/number_text.h"
#include "bend/pitch_bend.h"
#include "bend/pitch_codec.h"
#include "platform/console.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kestrand {

namespace {

float readFloat(std::wstring_view text) { return static_cast<float>(parseDecimal(text)); }

// True when argument 1 is a command line or a module with its argument
// rather than a sample: it holds ".exe " or ".dll " and is not the name of an
// existing file (a sample's name may hold anything).
bool namesCommandOrModule(const std::wstring& argument) {
    return (argument.find(L".exe ") != std::wstring::npos || argument.find(L".dll ") != std::wstring::npos) &&
           !isRegularFile(argument);
}

// Argument 1 as the loaders see it: the loadmodule prefix, or the cut of
// double extensions such as ".mp3.wav" (hosts append ".wav" to any name).
std::wstring composeInputText(const std::wstring& argument) {
    const auto module = getEnvironment(L"loadmodule");
    if (module && !namesCommandOrModule(argument)) {
        const std::size_t slash = argument.rfind(kPathSeparator);
        const std::wstring name = slash == std::wstring::npos ? argument : argument.substr(slash + 1);
        return *module + L" " + name;
    }
    static const std::wstring_view kCuts[][2] = {
        {L".mp3.wav", L".mp3"}, {L".ogg.wav", L".ogg"}, {L".uri.wav", L".uri"}, {L".flac.wav", L".flac"}};
    for (const auto& cut : kCuts) {
        const std::size_t at = argument.find(cut[0]);
        if (at != std::wstring::npos) return argument.substr(0, at + cut[1].size());
    }
    return argument;
}

// Pitch argument: a note name, a transposition in semitones, or a number.
float parsePitch(const std::wstring& text) {
    if (text.empty()) return 0.0f;
    const wchar_t first = text[0];
    if (first >= L'A' && first <= L'G') return noteNameToFrequency(text);
    if (first == L'+' || first == L'-') return static_cast<float>(std::pow(2.0, parseDecimal(text) / 12.0));
    return readFloat(text);
}

// The text after the first occurrence of a flag letter, or nothing.
std::optional<std::wstring_view> flagValueText(std::wstring_view flags, wchar_t letter) {
    const std::size_t at = flags.find(letter);
    if (at == std::wstring_view::npos) return std::nullopt;
    return flags.substr(at + 1);
}

void applyFlags(RenderJob& job, const std::wstring& flags) {
    if (flags.find(L'N') != std::wstring::npos) job.noFormant = 1;
    if (auto v = flagValueText(flags, L'g')) job.gender = readFloat(*v);
    if (auto v = flagValueText(flags, L'B')) job.breathy = readFloat(*v);
    if (auto v = flagValueText(flags, L'a')) job.alpha = readFloat(*v);
    if (flags.find(L'R') != std::wstring::npos) job.reverse = 1;
    if (auto v = flagValueText(flags, L'i')) job.voiceFixed2 = readFloat(*v);
    if (auto v = flagValueText(flags, L'v')) job.velocity2 = readFloat(*v);
    if (auto v = flagValueText(flags, L't')) {
        const std::int32_t cents = parseInteger(*v);
        if (cents >= -200 && cents < 200) job.tone = static_cast<float>(job.tone * std::pow(2.0, cents / 1200.0));
    }
}

// A codec marker after "*" in a tempo argument: the codec and its parameter.
struct CodecMarker {
    CodecMode codec = CodecMode::Other;
    int parameter = 0;
};

std::optional<CodecMarker> findCodecMarker(std::wstring_view tempoText) {
    const std::size_t star = tempoText.find(L'*');
    if (star == std::wstring_view::npos) return std::nullopt;
    CodecMarker marker;
    const std::wstring_view rest = tempoText.substr(star + 1);
    if (rest.size() >= 3) {
        const std::wstring_view name = rest.substr(0, 3);
        if (name == L"hff")
            marker.codec = CodecMode::Hff;
        else if (name == L"cmp")
            marker.codec = CodecMode::Cmp;
        else if (name == L"enc")
            marker.codec = CodecMode::Enc;
        marker.parameter = parseInteger(rest.substr(3));
    }
    return marker;
}

std::optional<PitchCurve> decodeCurve(std::wstring_view markerText, const std::wstring& curveText) {
    if (const auto marker = findCodecMarker(markerText)) {
        return decodePitchCodec(curveText, marker->parameter, marker->codec);
    }
    return decodePitchBend(curveText);
}

// Hosts that send one decimal argument per pitch step format the numbers in
// their user's locale, so a decimal comma reads like a point.
double parseLocaleDecimal(std::wstring_view text, std::size_t* consumed = nullptr) {
    std::wstring copy(text);
    std::replace(copy.begin(), copy.end(), L',', L'.');
    return parseDecimal(copy, consumed);
}

// The older decimal form starts with "<cents>Q<tempo>" in argument 12, for
// example "-200.00Q120". Returns the tempo text's position after "Q" when the
// argument has that shape.
std::optional<std::size_t> decimalFormTempoAt(std::wstring_view argument) {
    std::size_t used = 0;
    parseLocaleDecimal(argument, &used);
    if (used == 0 || used + 1 >= argument.size() || argument[used] != L'Q') return std::nullopt;
    const wchar_t next = argument[used + 1];
    if (next < L'0' || next > L'9') return std::nullopt;
    return used + 1;
}

std::int16_t wholeCents(double cents) {
    if (std::isnan(cents)) return 0;
    return static_cast<std::int16_t>(std::clamp(std::round(cents), -32768.0, 32767.0));
}

// Arguments 12 onward of the decimal form: the tempo after "Q", and every
// argument as one pitch step in whole cents.
void parseDecimalForm(RenderJob& job, const std::vector<std::wstring>& args, std::size_t tempoAt) {
    job.tempo = static_cast<float>(parseDecimal(std::wstring_view(args[12]).substr(tempoAt)));
    PitchCurve curve;
    for (std::size_t i = 12; i < args.size() && curve.values.size() < kMaxPitchCurveValues; ++i) {
        curve.values.push_back(wholeCents(parseLocaleDecimal(args[i])));
    }
    job.pitchBend = std::move(curve);
}

}  // namespace

float noteNameToFrequency(const std::wstring& name) {
    if (name.empty()) return static_cast<float>(440.0 * std::pow(2.0, (12.0 - 69.0) / 12.0));
    int semitone = 0;
    switch (std::towupper(name[0])) {
        case L'C': semitone = 0; break;
        case L'D': semitone = 2; break;
        case L'E': semitone = 4; break;
        case L'F': semitone = 5; break;
        case L'G': semitone = 7; break;
        case L'A': semitone = 9; break;
        case L'B': semitone = 11; break;
        default: semitone = 0; break;
    }
    std::size_t at = 1;
    int accidental = 0;
    if (name.size() > 1 && (name[1] == L'#' || name[1] == L'b')) {
        accidental = name[1] == L'#' ? 1 : -1;
        at = 2;
    }
    const std::wstring_view rest = at < name.size() ? std::wstring_view(name).substr(at) : std::wstring_view();
    std::size_t used = 0;
    const std::int32_t octave = parseInteger(rest, &used);
    std::int32_t cents = 0;
    if (used < rest.size()) cents = parseInteger(rest.substr(used));
    const float note = static_cast<float>(semitone + accidental + 12.0 * octave + 12.0 + cents * 0.01);
    return static_cast<float>(440.0 * std::pow(2.0, (static_cast<double>(note) - 69.0) / 12.0));
}

std::vector<float> parseNumberList(const std::optional<std::wstring>& text) {
    std::vector<float> list{0.0f};
    if (!text) return list;
    std::wstring_view rest = *text;
    if (!rest.empty() && rest.front() == L'"') rest.remove_prefix(1);
    while (!rest.empty()) {
        std::size_t used = 0;
        const double value = parseDecimal(rest, &used);
        if (used == 0) break;
        list.push_back(static_cast<float>(value));
        rest.remove_prefix(std::min(rest.size(), used + 1));
    }
    list[0] = static_cast<float>(list.size() - 1);
    return list;
}

int parseCommandLine(RenderJob& job, const std::vector<std::wstring>& args) {
    const int count = static_cast<int>(args.size());
    if (count < 2) return 1;
    const auto has = [&](int index) { return index < count; };

    const std::wstring input = composeInputText(args[1]);
    if (characterCount(input) > kMaxInputTextLength) {
        printErr("kestrand: the input name is longer than %zu characters; nothing is rendered.\n", kMaxInputTextLength);
        return 1;
    }
    job.voiceFile = input;
    if (has(2)) job.outFile = args[2];
    if (has(3)) job.tone = parsePitch(args[3]);
    if (has(4)) {
        job.velocity1 = readFloat(args[4]);
        const std::size_t slash = args[4].find(L'/');
        job.velocity2 =
            slash == std::wstring::npos ? job.velocity1 : readFloat(std::wstring_view(args[4]).substr(slash + 1));
    }
    if (has(5)) {
        job.flags = args[5];
        applyFlags(job, args[5]);
    }
    if (has(6)) job.voiceOffset = readFloat(args[6]);
    if (has(7)) job.lengthRequire = readFloat(args[7]);
    if (has(8)) {
        job.voiceFixed1 = readFloat(args[8]);
        const std::size_t slash = args[8].find(L'/');
        if (slash != std::wstring::npos) job.voiceFixed2 = readFloat(std::wstring_view(args[8]).substr(slash + 1));
    }
    if (has(9)) job.voiceLength = -readFloat(args[9]);
    if (has(10)) job.volume = readFloat(args[10]);
    if (has(11)) job.modulation = readFloat(args[11]);
    if (has(12)) {
        if (const auto tempoAt = decimalFormTempoAt(args[12])) {
            parseDecimalForm(job, args, *tempoAt);
            return count;
        }
    }
    if (has(13)) {
        const std::wstring_view tempoText = args[12];
        job.tempo = tempoText.empty() ? 0.0f : readFloat(tempoText.substr(1));
        job.pitchBend = decodeCurve(tempoText, args[13]);
    }
    if (has(15)) job.intensity = decodeCurve(args[14], args[15]);
    return count;
}

}  // namespace kestrand
