// Mixing a rendered note into an existing WAV file that grows note by note.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kestrand {

// Mixes the first `count` samples of the note (sixteen-bit scale, modified in
// place) into the target file with an overlap of `overlap` ms.
void mixIntoWaveSamples(const std::wstring& targetPath, std::span<double> note, std::int32_t count, float overlap,
                        float endPos);

}  // namespace kestrand
