// The hff value layer: order-k differences Huffman coded with a canonical code
// whose table travels in the text, six bits to a base64 character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bend/pitch_curve.h"

namespace kestrand {

// Decodes an hff value-layer text (after the outer layers) with the order of
// differencing. Payload bits that match no code print "[Huffman-Code ist
// kaputt!]" on standard error and keep the values decoded before. A malformed
// header (an Exp-Golomb prefix running to the end, more than 65536 entries, a
// code longer than 31 bits) gives no curve; so does a text without values.
std::optional<PitchCurve> decodeHff(std::wstring_view text, int order);

// Encodes a curve as an hff value-layer text; no text for an empty curve. A
// curve whose differences are all one value gets a second, unused table entry
// so that its payload carries every value.
std::optional<std::wstring> encodeHff(const PitchCurve& curve, int order);

// The low `bits` bits of a value as "0"/"1" characters, most significant
// first; empty for a count of 0 or less (counts up to 64 are handled).
std::string bitText(std::uint64_t value, int bits);

// The Exp-Golomb code of order k for a value, as bit text.
std::string expGolombCode(std::uint32_t value, int order);
// Its length in bits: 2L - k - 1 with L the significant bits of value + 2^k.
int expGolombLength(std::uint32_t value, int order);
// Reads an order-k Exp-Golomb code from a bit text at `position` and moves it
// past the code (bits beyond the text count as "0"). Nothing when no "1" ends
// the prefix or the value would not fit 32 bits.
std::optional<std::uint32_t> expGolombRead(std::string_view bits, int order, std::size_t& position);
// The length of the code at the start of a bit text: 2z + k + 1, with z the
// zeros before the first "1"; nothing when there is no "1".
std::optional<std::size_t> expGolombLengthAt(std::string_view bits, int order);

// The zigzag map of a 16-bit symbol (0, -1, 1, -2 ... to 0, 1, 2, 3 ...) and back.
std::uint16_t zigzag(std::int16_t symbol);
std::int16_t unzigzag(std::uint32_t code);

// The bit text of a value-layer text: six bits per character, most significant
// first; a character outside the alphabet gives six "1" bits.
std::string textBits(std::wstring_view text);
// Packs a bit stream six bits to a character and adds the end mark, so that
// the last three bits of the text tell how many bits to drop from its end.
std::wstring packBitsWithEndMark(std::string_view bits);

// The encoder's tree over the leaves in array order: the code length of each
// leaf. The two nodes joined next are the parentless ones of lowest frequency,
// among equal frequencies the one latest in the array (inner nodes are appended
// behind the leaves). One leaf alone has length 0.
std::vector<int> huffmanCodeLengths(const std::vector<int>& frequencies);

// The order a selection sort with swaps leaves the keys in: for each position
// the first remaining key that is best (highest when highestFirst, else lowest)
// is swapped into it. Returns the original indices in the sorted order.
std::vector<std::size_t> selectionSortOrder(const std::vector<int>& keys, bool highestFirst);

}  // namespace kestrand
