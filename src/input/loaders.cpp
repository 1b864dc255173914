#include "input/loaders.h"

namespace kestrand {

// Not built yet: these inputs arrive with the inputs work.
std::optional<LoadedSample> loadCommandOutput(const std::wstring&, std::int32_t) { return std::nullopt; }
std::optional<LoadedSample> loadByExtension(const std::wstring&, std::int32_t) { return std::nullopt; }
std::optional<LoadedSample> loadUriInput(const std::wstring&, std::int32_t) { return std::nullopt; }
std::optional<LoadedSample> loadFromPlugin(const std::wstring&, std::int32_t) { return std::nullopt; }

}  // namespace kestrand
