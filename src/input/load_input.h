// Choosing the loader for an input text and loading it: the one place that
// decides how every kind of voice-sample input is read, shared by the
// synthesis driver and the frequency-list generation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audio/wave_info.h"

namespace kestrand {

enum class LoaderKind {
    Wave,           // readWaveBytes
    Aiff,           // readAiffBytes
    CommandOutput,  // loadCommandOutput: a command line containing ".exe "
    Plugin,         // loadFromPlugin: a module path ending in ".dll " and its argument
    Uri,            // loadUriInput
    ByExtension,    // loadByExtension: compressed files through decoder programs
};

// The loader for an input text, first match wins:
//  1. ".exe " or ".exe" + quote + blank anywhere in the text: CommandOutput;
//  2. ".dll " or ".dll" + quote + blank: Plugin;
//  3. the text from its last "." is ".wav" (any case): Wave;
//  4. ".aif" or ".aiff": Aiff;  5. ".uri": Uri;  6. anything else: ByExtension.
// Steps 1 and 2 apply only when the text does not name an existing regular
// file: a sample whose name holds ".exe " or ".dll " is read by its extension
// like any other. The markers come before the extensions so that a module put
// in front of a sample name such as "a.wav" reaches the module rather than
// the WAV reader.
LoaderKind chooseLoader(const std::wstring& inputText);

// Loads the input with the loader chooseLoader picks. The sound data is
// followed by tailFrames zero frames whatever the loader. Nothing on failure
// (the loader has printed its own message, if any).
std::optional<LoadedSample> loadInput(const std::wstring& inputText, std::int32_t tailFrames);

}  // namespace kestrand
