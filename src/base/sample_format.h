// The stored sample encodings of audio data, in one place: which encoding a
// format tag and depth stand for, how many bytes one sample takes, how each
// encoding is read and written, and the scale conventions of the readers and
// writers, side by side.
//
// Every reader turns a stored sample into "sixteen-bit scale" (full scale
// that of a signed 16-bit integer). The integer encodings are scaled alike
// everywhere; the float encodings and the 8-bit centre differ between the
// places on purpose, and each place must keep its own convention to the bit:
//
//   reading        8-bit          16  24     32 int   32 float     64 float
//   engine         256 v - 32640  v   v/256  v/65536  v x 32768    v x 32768
//   analysis       256 v - 32640  v   v/256  v/65536  v x 32768    v (as stored)
//   files, appends 256 v - 32640  v   v/256  v/65536  v x 32767.5  v x 32767.5
//   amplitude      256 v - 32640  v   v/256  v/65536  v x 32768    0
//
//   writing        integers                         8-bit centre   floats
//   WAV writer     limited, then truncated          v/256 + 128.5  v / 32767.5, infinite beyond the single range
//   appends        truncated, then limited          v/256 + 127.5  v / 32767.5, limited to the single range
//
// 256 v - 32640 is 256 (v - 127.5): 8-bit samples are centred on 127.5 when
// read. The engine and the analysis apply their scale to a normalised kernel
// sum of stored values as well as to single stored values, so the order of
// the operations above is part of the convention.
#pragma once

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

#include "base/little_endian.h"
#include "base/number_text.h"

namespace kestrand {

// How stored samples are encoded: 8-bit unsigned, 16- and 24-bit signed,
// 32-bit signed integer or IEEE single, 64-bit IEEE double. None for every
// other depth (such samples read as silence).
enum class SampleType { None, U8, S16, S24, S32, F32, F64 };

// The encoding for a (sub)format tag and depth: 32 bits are integers when
// the tag is 1 and floats otherwise; 64 bits are always doubles.
constexpr SampleType sampleTypeOf(std::uint16_t formatTag, std::uint16_t bitsPerSample) {
    switch (bitsPerSample) {
        case 8: return SampleType::U8;
        case 16: return SampleType::S16;
        case 24: return SampleType::S24;
        case 32: return formatTag == 1 ? SampleType::S32 : SampleType::F32;
        case 64: return SampleType::F64;
        default: return SampleType::None;
    }
}

// Bytes of one stored sample of the encoding (0 for None).
constexpr int sampleTypeBytes(SampleType type) {
    switch (type) {
        case SampleType::U8: return 1;
        case SampleType::S16: return 2;
        case SampleType::S24: return 3;
        case SampleType::S32:
        case SampleType::F32: return 4;
        case SampleType::F64: return 8;
        case SampleType::None: break;
    }
    return 0;
}

// ---- Reading ---------------------------------------------------------------

// The number one stored sample holds, unscaled: the byte 0 .. 255 for U8, the
// signed integer for S16, S24 and S32, the IEEE value for F32 and F64 (0 for
// None). `p` points at the sample's first byte.
template <SampleType T>
inline double storedValue(const std::uint8_t* p) {
    if constexpr (T == SampleType::U8) {
        return static_cast<double>(p[0]);
    } else if constexpr (T == SampleType::S16) {
        return static_cast<double>(loadS16(p));
    } else if constexpr (T == SampleType::S24) {
        return static_cast<double>(loadS24(p));
    } else if constexpr (T == SampleType::S32) {
        return static_cast<double>(loadS32(p));
    } else if constexpr (T == SampleType::F32) {
        return static_cast<double>(loadF32(p));
    } else if constexpr (T == SampleType::F64) {
        return loadF64(p);
    } else {
        return 0.0;
    }
}

// The factors that turn stored floats into sixteen-bit scale, one set per
// reading convention (see the table at the top).
struct FloatScales {
    double single;  // 32-bit floats
    double dbl;     // 64-bit floats
};
// The engine's sample reads (sample view, windowed-sinc reads).
inline constexpr FloatScales kEngineScales{32768.0, 32768.0};
// The pitch analysis: doubles stay as stored.
inline constexpr FloatScales kAnalysisScales{32768.0, 1.0};
// Format conversions of whole files and the appends, reading and writing.
inline constexpr FloatScales kFileScales{32767.5, 32767.5};

// A stored value, or a normalised kernel sum of stored values, in sixteen-bit
// scale: 8-bit 256 v - 32640, 16-bit v, 24-bit v / 256, 32-bit integers
// v / 65536, floats times the convention's factor; None 0.
template <SampleType T>
inline double toSixteenBit(double v, FloatScales scales) {
    if constexpr (T == SampleType::U8) {
        return 256.0 * v - 32640.0;
    } else if constexpr (T == SampleType::S16) {
        return v;
    } else if constexpr (T == SampleType::S24) {
        return v / 256.0;
    } else if constexpr (T == SampleType::S32) {
        return v / 65536.0;
    } else if constexpr (T == SampleType::F32) {
        return v * scales.single;
    } else if constexpr (T == SampleType::F64) {
        return v * scales.dbl;
    } else {
        return 0.0;
    }
}

// One stored sample in sixteen-bit scale under a convention.
template <SampleType T>
inline double readSixteenBit(const std::uint8_t* p, FloatScales scales) {
    return toSixteenBit<T>(storedValue<T>(p), scales);
}

// ---- Writing ---------------------------------------------------------------

// One sample in sixteen-bit scale stored as the WAV writer stores it at `p`:
// 8-bit v / 256 + 128.5 limited to 0 .. 255, then truncated; 16-bit limited,
// then truncated; 24-bit v x 256 and 32-bit integers v x 65536 likewise; NaN
// writes silence at the integer depths. Floats v / 32767.5, singles beyond
// their range as infinities. None writes nothing.
template <SampleType T>
inline void storeForWaveWriter(double v, std::uint8_t* p) {
    const double finite = std::isnan(v) ? 0.0 : v;
    if constexpr (T == SampleType::U8) {
        p[0] = static_cast<std::uint8_t>(std::clamp(finite * 0.00390625 + 128.5, 0.0, 255.0));
    } else if constexpr (T == SampleType::S16) {
        storeU16(p, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp(finite, -32768.0, 32767.0))));
    } else if constexpr (T == SampleType::S24) {
        storeU24(p, static_cast<std::uint32_t>(
                        static_cast<std::int32_t>(std::clamp(finite * 256.0, -8388608.0, 8388607.0))));
    } else if constexpr (T == SampleType::S32) {
        storeU32(p, static_cast<std::uint32_t>(
                        static_cast<std::int32_t>(std::clamp(finite * 65536.0, -2147483648.0, 2147483647.0))));
    } else if constexpr (T == SampleType::F32) {
        const double x = v / kFileScales.single;
        constexpr double kMax = std::numeric_limits<float>::max();
        const float single = x > kMax    ? std::numeric_limits<float>::infinity()
                             : x < -kMax ? -std::numeric_limits<float>::infinity()
                                         : static_cast<float>(x);
        storeU32(p, std::bit_cast<std::uint32_t>(single));
    } else if constexpr (T == SampleType::F64) {
        storeU64(p, std::bit_cast<std::uint64_t>(v / kFileScales.dbl));
    }
}

// One sample in sixteen-bit scale stored as the appends store it at `p`: the
// integer depths truncate before they limit (8-bit v / 256 + 127.5, so that
// reading and rewriting an 8-bit file reproduces its bytes; 24-bit v x 256;
// 32-bit v x 65536), floats v / 32767.5 limited to the single range. None
// writes nothing.
template <SampleType T>
inline void storeForAppend(double v, std::uint8_t* p) {
    if constexpr (T == SampleType::U8) {
        p[0] = static_cast<std::uint8_t>(std::clamp(truncateToInt32(v * 0.00390625 + 127.5), 0, 255));
    } else if constexpr (T == SampleType::S16) {
        storeU16(p, static_cast<std::uint16_t>(std::clamp(truncateToInt32(v), -32768, 32767)));
    } else if constexpr (T == SampleType::S24) {
        storeU24(p, static_cast<std::uint32_t>(std::clamp(truncateToInt32(v * 256.0), -8388608, 8388607)));
    } else if constexpr (T == SampleType::S32) {
        // truncateToInt32 limits to the 32-bit range before it truncates.
        storeU32(p, static_cast<std::uint32_t>(truncateToInt32(v * 65536.0)));
    } else if constexpr (T == SampleType::F32) {
        // Kept inside the float range so that the narrowing is always defined.
        const double scaled =
            std::clamp(v / kFileScales.single, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX));
        storeU32(p, std::bit_cast<std::uint32_t>(static_cast<float>(scaled)));
    } else if constexpr (T == SampleType::F64) {
        storeU64(p, std::bit_cast<std::uint64_t>(v / kFileScales.dbl));
    }
}

// Calls f.template operator()<T>() for the encoding T of `type` (None
// included) and gives its result, so that a loop over samples can be
// instantiated once per encoding.
template <class F>
inline decltype(auto) withSampleType(SampleType type, F&& f) {
    switch (type) {
        case SampleType::U8: return f.template operator()<SampleType::U8>();
        case SampleType::S16: return f.template operator()<SampleType::S16>();
        case SampleType::S24: return f.template operator()<SampleType::S24>();
        case SampleType::S32: return f.template operator()<SampleType::S32>();
        case SampleType::F32: return f.template operator()<SampleType::F32>();
        case SampleType::F64: return f.template operator()<SampleType::F64>();
        case SampleType::None: break;
    }
    return f.template operator()<SampleType::None>();
}

// storedValue and toSixteenBit with the encoding chosen at run time.
inline double storedValue(SampleType type, const std::uint8_t* p) {
    return withSampleType(type, [p]<SampleType T>() { return storedValue<T>(p); });
}

inline double toSixteenBit(SampleType type, double v, FloatScales scales) {
    return withSampleType(type, [v, scales]<SampleType T>() { return toSixteenBit<T>(v, scales); });
}

// The amplitude of the pitch analysis: a stored value in the analysis scale,
// except that doubles contribute 0.
inline double amplitudeSixteenBit(SampleType type, double stored) {
    return type == SampleType::F64 ? 0.0 : toSixteenBit(type, stored, kAnalysisScales);
}

}  // namespace kestrand
