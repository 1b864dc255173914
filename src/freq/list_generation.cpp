#include "freq/list_generation.h"

namespace kestrand {

std::optional<FrequencyList> obtainFrequencyList(const std::wstring&, const LoadedSample&) { return std::nullopt; }
int generateFrequencyList(const std::wstring&) { return 0; }

}  // namespace kestrand
