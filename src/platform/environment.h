// Environment variables by wide name.
#pragma once

#include <optional>
#include <string>

namespace kestrand {

// The value of an environment variable, or nothing when it is not set.
std::optional<std::wstring> getEnvironment(const std::wstring& name);

}  // namespace kestrand
