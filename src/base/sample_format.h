// The stored sample encodings of audio data, in one place: which encoding a
// format tag and depth stand for and how many bytes one sample takes.
#pragma once

#include <cstdint>

namespace kestrand {

// How stored samples are encoded: 8-bit unsigned, 16- and 24-bit signed,
// 32-bit signed integer or IEEE single, 64-bit IEEE double. None for every
// other depth (such samples read as silence).
enum class SampleType { None, U8, S16, S24, S32, F32, F64 };

// The encoding for a (sub)format tag and depth: 32 bits are integers when
// the tag is 1 and floats otherwise; 64 bits are always doubles.
inline SampleType sampleTypeOf(std::uint16_t formatTag, std::uint16_t bitsPerSample) {
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
inline int sampleTypeBytes(SampleType type) {
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

}  // namespace kestrand
