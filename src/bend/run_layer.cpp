// The middle layer of a codec text: runs of the letter "A".
#include <algorithm>

#include "bend/codec_stream.h"
#include "bend/pitch_bend.h"
#include "bend/pitch_codec.h"

namespace kestrand {

namespace {

// The longest run one "#" code holds: the count field is clamped to 2047.
constexpr std::size_t kLongestRunCode = 2047 + 67;

}  // namespace

bool RunExpander::next(wchar_t& out) {
    if (pending_ > 0) {
        --pending_;
        out = L'A';
        return true;
    }
    if (stopped_) return false;
    wchar_t c = 0;
    if (!input_.next(c)) {
        stopped_ = true;
        return false;
    }
    if (c != L'$' && c != L'#') {
        out = c;
        return true;
    }
    wchar_t low = 0;
    if (!input_.next(low) || pitchDigitValue(low) < 0) {
        stopped_ = true;
        return false;
    }
    std::size_t run = static_cast<std::size_t>(pitchDigitValue(low)) + 3;
    if (c == L'#') {
        wchar_t high = 0;
        if (!input_.next(high) || pitchDigitValue(high) < 0) {
            stopped_ = true;
            return false;
        }
        run =
            static_cast<std::size_t>(pitchDigitValue(low)) + 64 * static_cast<std::size_t>(pitchDigitValue(high)) + 67;
    }
    pending_ = run - 1;
    out = L'A';
    return true;
}

std::wstring expandRuns(std::wstring_view text, std::size_t maxLength) {
    TextSource source(untilTerminator(text));
    RunExpander runs(source);
    return drain(runs, maxLength);
}

std::wstring runCountCode(int count) {
    const int clamped = std::clamp(count, -2048, 2047);
    return std::wstring{pitchDigitChar(clamped), pitchDigitChar(clamped >> 6)};
}

void appendRunCode(std::wstring& text, std::size_t run) {
    while (run > kLongestRunCode) {
        text += L'#';
        text += runCountCode(2047);
        run -= kLongestRunCode;
    }
    if (run == 0) return;
    if (run <= 2) {
        text.append(run, L'A');
    } else if (run <= 66) {
        text += L'$';
        text += pitchDigitChar(static_cast<int>(run - 3));
    } else {
        text += L'#';
        text += runCountCode(static_cast<int>(run - 67));
    }
}

std::optional<std::wstring> packRuns(std::wstring_view input) {
    const std::wstring_view text = untilTerminator(input);
    if (text.empty()) return std::nullopt;
    std::wstring out;
    out.reserve(text.size());
    std::size_t run = 0;
    for (const wchar_t c : text) {
        if (c == L'A') {
            ++run;
            continue;
        }
        appendRunCode(out, run);
        run = 0;
        out.push_back(c);
    }
    appendRunCode(out, run);
    return out;
}

}  // namespace kestrand
