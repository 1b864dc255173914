// The header of a file that the append routines may extend: a mono WAV file
// with the plain 44-byte header ("RIFF", "WAVE", a 16-byte "fmt " chunk, then
// "data") whose sound data runs exactly to the end of the file, in a format
// the writers of this program produce.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kestrand {

inline constexpr std::size_t kAppendHeaderBytes = 44;

struct AppendTargetHeader {
    std::array<std::uint8_t, kAppendHeaderBytes> bytes{};  // the header as stored
    std::uint32_t riffSize = 0;                            // offset 4
    std::uint16_t formatTag = 0;                           // offset 20
    std::uint16_t channels = 0;                            // offset 22
    std::uint32_t sampleRate = 0;                          // offset 24
    std::uint16_t blockAlign = 0;                          // offset 32
    std::uint16_t bitsPerSample = 0;                       // offset 34
    std::uint32_t dataBytes = 0;                           // offset 40
};

// Which sample formats a caller accepts.
enum class AppendFormats { Any, Int16Only };

// Reads and checks the header of a target whose total length is `fileLength`
// bytes. Accepted: one channel, tag 1 with 8, 16, 24 or 32 bits or tag 3 with
// 32 or 64 bits (with Int16Only: tag 1 with 16 bits only), block align and
// byte rate that follow from them, a RIFF size of 36 + data size, a data size
// that is a whole number of frames and a file of exactly 44 + data size bytes.
// Nothing when refused; `reason` then says why in a few words.
std::optional<AppendTargetHeader> parseAppendTargetHeader(std::span<const std::uint8_t> bytes, std::uint64_t fileLength,
                                                          AppendFormats formats, std::string& reason);

// The header with new RIFF and data sizes written into its bytes.
std::array<std::uint8_t, kAppendHeaderBytes> withSizes(const AppendTargetHeader& header, std::uint32_t riffSize,
                                                       std::uint32_t dataBytes);

}  // namespace kestrand
