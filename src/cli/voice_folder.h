// The samples of a voice folder that the programs can load.
#pragma once

#include <string>
#include <vector>

namespace kestrand {

// True when the program can load a file of this name by itself: ".wav",
// ".aif" and ".aiff" (any case) always, the extensions of the decoder table
// (".flac", ".mp3", ...) when their decoder variable is set.
bool isLoadableSampleName(const std::wstring& name);

struct VoiceSearch {
    std::vector<std::wstring> samples;     // sorted, each once
    std::vector<std::wstring> unreadable;  // folders that could not be listed
};

// Every loadable sample under the given paths: a folder is searched
// recursively (links to folders are not followed), a file counts when its
// name is loadable.
VoiceSearch findVoiceSamples(const std::vector<std::wstring>& paths);

}  // namespace kestrand
