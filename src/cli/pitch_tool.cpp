#include "cli/pitch_tool.h"

#include <cmath>
#include <optional>
#include <string_view>

#include "base/number_text.h"
#include "bend/pitch_bend.h"
#include "bend/pitch_codec.h"
#include "cli/program_info.h"
#include "platform/console.h"
#include "platform/text.h"

namespace kestrand {

namespace {

constexpr std::string_view kUsage =
    "usage: kestrandpitch encode MODE ORDER        (numbers on standard input)\n"
    "       kestrandpitch decode MODE ORDER TEXT\n"
    "MODE is std, enc, cmp or hff. ORDER is the order of differencing of the\n"
    "codecs: 0 to 3, larger orders act as 3 and negative ones as 0; enc cannot\n"
    "encode orders above 4. std does not use it.\n";

// The standard two-character text, or one of the codecs.
struct PitchTextForm {
    bool standard = false;
    CodecMode codec = CodecMode::Enc;
};

std::optional<PitchTextForm> formNamed(std::wstring_view name) {
    if (name == L"std") return PitchTextForm{true, CodecMode::Enc};
    if (name == L"enc") return PitchTextForm{false, CodecMode::Enc};
    if (name == L"cmp") return PitchTextForm{false, CodecMode::Cmp};
    if (name == L"hff") return PitchTextForm{false, CodecMode::Hff};
    return std::nullopt;
}

// A whole integer text: every order the codecs take (they give orders
// beyond 0 to 3 their own meaning).
std::optional<int> orderNamed(std::wstring_view text) {
    std::size_t consumed = 0;
    const std::int32_t order = parseInteger(text, &consumed);
    if (text.empty() || consumed != text.size()) return std::nullopt;
    return order;
}

std::string readAll(std::FILE* input) {
    std::string bytes;
    if (input == nullptr) return bytes;
    char block[4096];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, input)) > 0) bytes.append(block, got);
    return bytes;
}

// A token as a message shows it: at most 40 bytes, cut before a whole character.
std::string shown(std::string_view token) {
    if (token.size() <= 40) return std::string(token);
    std::size_t length = 40;
    while (length > 0 && (static_cast<unsigned char>(token[length]) & 0xC0) == 0x80) --length;
    return std::string(token.substr(0, length)) + "...";
}

bool isAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Reads the whitespace-separated numbers of the input into a curve, or puts a
// message naming the first bad one into `error`.
std::optional<PitchCurve> readCurve(std::string_view input, std::string& error) {
    PitchCurve curve;
    std::size_t position = 0;
    while (true) {
        while (position < input.size() && isAsciiSpace(input[position])) ++position;
        if (position == input.size()) return curve;
        std::size_t end = position;
        while (end < input.size() && !isAsciiSpace(input[end])) ++end;
        const std::string_view token = input.substr(position, end - position);
        position = end;
        const std::wstring wide = widen(token);
        std::size_t consumed = 0;
        const double rounded = std::floor(parseDecimal(wide, &consumed) + 0.5);
        if (consumed == 0 || consumed != wide.size()) {
            error = "kestrandpitch: \"" + shown(token) + "\" is not a number.\n";
            return std::nullopt;
        }
        if (!(rounded >= -32768.0 && rounded <= 32767.0)) {
            error = "kestrandpitch: " + shown(token) + " is outside -32768..32767.\n";
            return std::nullopt;
        }
        if (curve.values.size() == kMaxPitchCurveValues) {
            error = "kestrandpitch: more than 32767 values.\n";
            return std::nullopt;
        }
        curve.values.push_back(static_cast<std::int16_t>(rounded));
    }
}

std::optional<PitchCurve> decodeText(std::wstring_view text, PitchTextForm form, int order) {
    return form.standard ? decodePitchBend(text) : decodePitchCodec(text, order, form.codec);
}

std::string valuesLine(const std::optional<PitchCurve>& curve) {
    std::string line;
    if (curve) {
        for (const std::int16_t value : curve->values) {
            if (!line.empty()) line += ' ';
            line += std::to_string(value);
        }
    }
    return line + "\n";
}

PitchToolResult usageError() { return {2, {}, std::string(kUsage)}; }

}  // namespace

PitchToolResult runPitchTool(const std::vector<std::wstring>& args, std::FILE* input) {
    if (args.size() < 4) return usageError();
    const std::wstring_view command = args[1];
    const auto form = formNamed(args[2]);
    if (!form) return usageError();
    // std carries no order, so any text stands in its place.
    const auto order = form->standard ? std::optional<int>(0) : orderNamed(args[3]);
    if (!order) return usageError();

    if (command == L"decode" && args.size() == 5) {
        return {0, valuesLine(decodeText(args[4], *form, *order)), {}};
    }
    if (command != L"encode" || args.size() != 4) return usageError();

    PitchToolResult result;
    const auto curve = readCurve(readAll(input), result.err);
    if (!curve) {
        result.exitCode = 1;
        return result;
    }
    // An empty list has the empty text.
    const auto text = curve->values.empty() ? std::nullopt
                      : form->standard      ? encodePitchBend(*curve)
                                            : encodePitchCodec(*curve, *order, form->codec);
    if (!curve->values.empty() && !text) {
        // The codec refused the order and said why on standard error.
        result.exitCode = 1;
        return result;
    }
    const std::wstring encoded = text.value_or(std::wstring());
    result.out = narrow(encoded) + "\n";
    const auto back = decodeText(encoded, *form, *order);
    if (!curve->values.empty() && (!back || back->values != curve->values)) {
        result.err = form->standard ? "kestrandpitch: warning: the text keeps values only within -2048..2047.\n"
                                    : "kestrandpitch: warning: enc and cmp keep differences only within -2048..2047; "
                                      "the text does not decode back to these values.\n";
    }
    return result;
}

int kestrandPitchMain(const std::vector<std::wstring>& args) {
    if (answerHelpOrVersion(ProgramKind::Pitch, args)) return 0;
    const PitchToolResult result = runPitchTool(args, stdin);
    if (!result.out.empty()) writeOut(result.out);
    if (!result.err.empty()) writeErr(result.err);
    return result.exitCode;
}

}  // namespace kestrand
