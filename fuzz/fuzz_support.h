// What the libFuzzer targets share: a scratch file of their own, the input as
// an in-memory stream or split into arguments, and the consistency checks of
// a filled render job. A broken expectation stops the run with a trap, so
// that the fuzzer keeps the input.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bend/pitch_curve.h"
#include "render/render_job.h"

namespace kestrand::fuzz {

// The scratch file of this process: $TMPDIR (or /tmp) / name_<process id>extension.
// The first call decides the name.
inline const std::string& scratchPath(const char* name, const char* extension) {
    static const std::string path = [&] {
        const char* folder = std::getenv("TMPDIR");
        return std::string(folder != nullptr ? folder : "/tmp") + "/" + name + "_" + std::to_string(::getpid()) +
               extension;
    }();
    return path;
}

// Writes the bytes as the whole content of a fresh file; false when it cannot
// be created.
inline bool writeScratch(const std::string& path, const void* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
    return true;
}

// The input as a stream to read from (null when it cannot be opened or is
// empty); the caller closes it.
inline std::FILE* memoryStream(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return nullptr;
    return ::fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
}

// Sends the readers' console messages to /dev/null, once per process.
inline void quietStandardOutput() {
    static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
}

// The input split at NUL bytes into at most `most` pieces (the last piece
// runs to the end, or to the next NUL).
inline std::vector<std::string_view> splitAtNul(const std::uint8_t* data, std::size_t size, std::size_t most) {
    std::vector<std::string_view> pieces;
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (pieces.size() < most && start <= all.size()) {
        const std::size_t end = std::min(all.find('\0', start), all.size());
        pieces.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

// A number list as hosts send it: element 0 counts the values behind it.
inline void checkNumberList(const std::vector<float>& list) {
    if (list.empty() || static_cast<std::size_t>(list[0]) != list.size() - 1) __builtin_trap();
}

// The curves of a job stay within their limit.
inline void checkCurves(const RenderJob& job) {
    for (const auto* curve : {&job.pitchBend, &job.intensity}) {
        if (*curve && (*curve)->values.size() > kMaxPitchCurveValues) __builtin_trap();
    }
}

}  // namespace kestrand::fuzz
