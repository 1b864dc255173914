// Sample conversions of the append routines: one stored sample of a target
// file to and from a double in sixteen-bit scale, by the file reading and the
// append writing conventions of base/sample_format.h. They differ from the WAV
// writer on purpose: 8-bit samples are written centred on 127.5 (so that
// reading and rewriting an 8-bit file reproduces its bytes exactly) and
// integer depths truncate before they are limited.
#pragma once

#include <cstdint>
#include <span>

namespace kestrand {

// Decodes one stored sample: 8 bits (u - 127.5) x 256; 16 bits the value;
// 24 bits the value / 256; 32 bits with tag 1 the integer / 65536, otherwise
// the IEEE single x 32767.5; 64 bits the IEEE double x 32767.5; any other
// depth 0. `bytes` holds at least bits / 8 bytes.
double decodeAppendSample(std::span<const std::uint8_t> bytes, std::uint16_t formatTag, std::uint16_t bits);

// Encodes one value into bits / 8 bytes: tag 1 truncates (8 bits after
// scaling by 1/256 and adding 127.5, 24 bits after scaling by 256, 32 bits
// after scaling by 65536) and limits to the depth's range; other tags write
// the value / 32767.5 as an IEEE single (32 bits) or double (64 bits). Writes
// nothing for a depth it does not handle.
void encodeAppendSample(double value, std::uint16_t formatTag, std::uint16_t bits, std::span<std::uint8_t> out);

}  // namespace kestrand
