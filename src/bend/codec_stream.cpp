#include "bend/codec_stream.h"

#include "bend/pitch_bend.h"

#include <algorithm>
#include <string>

namespace kestrand {

bool TextSource::next(wchar_t& out) {
    if (position_ >= text_.size()) return false;
    out = text_[position_++];
    return true;
}

int readDigit(CharSource& source) {
    wchar_t c = 0;
    return source.next(c) ? pitchDigitValue(c) : -1;
}

std::wstring drain(CharSource& source, std::size_t maxLength) {
    std::wstring text;
    wchar_t c = 0;
    while (text.size() < maxLength && source.next(c)) text.push_back(c);
    return text;
}

}  // namespace kestrand
