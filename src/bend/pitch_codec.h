// The compact pitch-text codecs enc, cmp and hff. A codec text has three
// layers: copy references ("[", "]", "{", "}" and two digits) outermost, then
// runs of the letter "A" ("$" and one digit, "#" and two digits), then the
// value layer of the codec, which carries differences of a chosen order.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "bend/pitch_curve.h"

namespace kestrand {

// 1 enc, 2 cmp, 3 hff; any other value selects enc.
enum class CodecMode : int { Other = 0, Enc = 1, Cmp = 2, Hff = 3 };

// The longest text the public layer expanders return unless asked for less.
inline constexpr std::size_t kMaxExpandedTextLength = std::size_t{1} << 22;

// Decodes a codec text with its parameter (the order of differencing: 0 to 3,
// larger orders act as 3, negative ones as 0). Peels the copy and run layers,
// then decodes the value layer of the mode. Expansion is lazy and stops once
// kMaxPitchCurveValues values are decoded, so hostile copies and runs cost time
// linear in the text. No curve when no value is decoded.
std::optional<PitchCurve> decodePitchCodec(std::wstring_view text, int parameter, CodecMode codec);

// Encodes a curve: the value layer of the mode, then runs, then copy
// references. No text for an empty curve (or an order above 4 for enc).
std::optional<std::wstring> encodePitchCodec(const PitchCurve& curve, int parameter, CodecMode codec);

// Value layers on their own: differences of the given order, integrated in
// wrapping 16-bit arithmetic. No curve when no value is decoded.
std::optional<PitchCurve> decodeEnc(std::wstring_view text, int order);
std::optional<PitchCurve> decodeCmp(std::wstring_view text, int order);

// Value encoders. encpitch prints "encpitch: Argument 2 ist anomal.\n" on
// standard error and gives no text for an order above 4. No text for an empty
// curve. Runs of zero differences longer than one code can hold are written as
// several codes.
std::optional<std::wstring> encpitch(const PitchCurve& curve, int order);
std::optional<std::wstring> encodeCmp(const PitchCurve& curve, int order);

// Outer layers as text-to-text steps. The expanders stop at the first
// malformed marker (and at a copy reaching before the start of the text) and
// return at most maxLength characters. The packers give no text for an empty
// input.
std::wstring expandCopies(std::wstring_view text, std::size_t maxLength = kMaxExpandedTextLength);
std::optional<std::wstring> packCopies(std::wstring_view text);
std::wstring expandRuns(std::wstring_view text, std::size_t maxLength = kMaxExpandedTextLength);
std::optional<std::wstring> packRuns(std::wstring_view text);

// Codes of single values: the low 16 bits of the value as a signed number,
// clamped to -2048..2047, as an enc or cmp code.
std::wstring encValueCode(int value);
std::wstring cmpValueCode(int value);
// Two digits of a run count, low digit first, after clamping it to -2048..2047.
std::wstring runCountCode(int count);

// Text-to-text entries for tools. encodePitchList reads decimal numbers one
// after another (blanks between them; it stops at the first text that is not a
// number), rounds each to the nearest integer (halves upward, limited to the
// 16-bit range) and encodes them; decodePitchList decodes a codec text and
// writes the values as decimal integers separated by single blanks. Both copy
// at most buffer.size() characters of the result into the buffer, fill the
// rest of it with zeros (no terminator when the result fills it) and return the
// length of the whole result, 0 when there is none.
std::size_t encodePitchList(std::wstring_view numbers, std::span<wchar_t> buffer, int parameter, CodecMode mode);
std::size_t decodePitchList(std::wstring_view text, std::span<wchar_t> buffer, int parameter, CodecMode mode);

}  // namespace kestrand
