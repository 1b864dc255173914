// Inputs that are not plain WAV or AIFF files: outside decoder programs,
// .uri downloads and decoder plug-in modules. Each returns the raw PCM with
// `slack` further zero bytes behind the data, or nothing on failure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audio/wave_info.h"

namespace kestrand {

std::optional<LoadedSample> loadCommandOutput(const std::wstring& commandText, std::int32_t slack);
std::optional<LoadedSample> loadByExtension(const std::wstring& path, std::int32_t slack);
std::optional<LoadedSample> loadUriInput(const std::wstring& path, std::int32_t slack);
std::optional<LoadedSample> loadFromPlugin(const std::wstring& inputText, std::int32_t slack);

}  // namespace kestrand
