// A region of a voice sample: the sample file and its timing in milliseconds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrand {

struct VoiceEntry {
    std::optional<std::wstring> wave;
    std::int32_t offset = 0;
    std::int32_t length = 0;
    std::int32_t fix1 = 0;
    std::int32_t fix2 = 0;
    std::int32_t overlap = 0;
    std::int32_t preuttr = 0;
};

// Reads a voice-entry text file (key=value lines); nothing when the file cannot be opened.
std::optional<VoiceEntry> readVoiceEntry(const std::wstring& path);

// Applies one key and value to the entry ("wave", "offset", "length", "fix1",
// "fix2", "overlap", "preuttr"; exact case; other keys are ignored).
void setVoiceEntryField(VoiceEntry& entry, const std::wstring& key, const std::wstring& value);

}  // namespace kestrand
