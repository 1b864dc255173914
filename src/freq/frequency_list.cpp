#include "freq/frequency_list.h"

namespace kestrand {

std::wstring frequencyListFileName(const std::wstring& baseName) { return baseName + L".frq"; }
std::optional<FrequencyList> loadFrequencyList(const std::wstring&) { return std::nullopt; }
int saveFrequencyList(const std::wstring&, const FrequencyList&) { return 0; }

}  // namespace kestrand
