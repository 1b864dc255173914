#include <atomic>
#include <chrono>
#include <random>
#include <string>

#include "platform/files.h"

namespace kestrand {

std::wstring temporarySiblingPath(const std::wstring& path) {
    static std::atomic<unsigned> counter{0};
    static const unsigned long long seed = [] {
        std::random_device device;
        return (static_cast<unsigned long long>(device()) << 32) ^ device() ^
               static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    const unsigned long long unique = seed + counter.fetch_add(1);
    return path + L".tmp" + std::to_wstring(unique % 1000000000000ULL);
}

}  // namespace kestrand
