#include "paramfile/voice_entry.h"

namespace kestrand {

std::optional<VoiceEntry> readVoiceEntry(const std::wstring&) { return std::nullopt; }
void setVoiceEntryField(VoiceEntry&, const std::wstring&, const std::wstring&) {}

}  // namespace kestrand
