// The outer layer of a codec text: copy references to text produced earlier.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "bend/codec_stream.h"
#include "bend/pitch_bend.h"
#include "bend/pitch_codec.h"

namespace kestrand {

namespace {

constexpr std::size_t kMaxDistance = 128;
constexpr std::size_t kMinLength = 4;
constexpr std::size_t kMaxLength = 131;

bool isCopyMarker(wchar_t c) { return c == L'[' || c == L']' || c == L'{' || c == L'}'; }

}  // namespace

bool CopyExpander::next(wchar_t& out) {
    wchar_t c = 0;
    if (remaining_ == 0) {
        if (stopped_) return false;
        if (!input_.next(c)) {
            stopped_ = true;
            return false;
        }
        if (isCopyMarker(c)) {
            wchar_t first = 0;
            wchar_t second = 0;
            const bool valid = input_.next(first) && pitchDigitValue(first) >= 0 && input_.next(second) &&
                               pitchDigitValue(second) >= 0;
            const std::size_t distance =
                valid ? static_cast<std::size_t>(pitchDigitValue(first)) + (c == L']' || c == L'}' ? 65 : 1) : 0;
            // A reference reaching before the start of the text is as malformed
            // as a missing digit: the text ends there.
            if (!valid || distance > produced_) {
                stopped_ = true;
                return false;
            }
            distance_ = distance;
            remaining_ = static_cast<std::size_t>(pitchDigitValue(second)) + (c == L'{' || c == L'}' ? 68 : 4);
        }
    }
    if (remaining_ > 0) {
        // One character at a time, so a copy longer than its distance repeats itself.
        c = recent_[(produced_ - distance_) % recent_.size()];
        --remaining_;
    }
    recent_[produced_ % recent_.size()] = c;
    ++produced_;
    out = c;
    return true;
}

std::wstring expandCopies(std::wstring_view text, std::size_t maxLength) {
    TextSource source(untilTerminator(text));
    CopyExpander copies(source);
    return drain(copies, maxLength);
}

std::optional<std::wstring> packCopies(std::wstring_view input) {
    const std::wstring_view text = untilTerminator(input);
    if (text.empty()) return std::nullopt;
    const std::size_t n = text.size();
    // Only a distance whose first four characters match can give a reference,
    // so the candidates are the earlier starts of the same four characters,
    // found through chains of a small hash, nearest first.
    constexpr std::size_t kHashSize = 1 << 14;
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    const auto hashAt = [&](std::size_t q) {
        std::uint32_t h = 0;
        for (std::size_t j = 0; j < kMinLength; ++j) h = h * 0x9E3779B1u + static_cast<std::uint32_t>(text[q + j]);
        return static_cast<std::size_t>(h >> 18);
    };
    std::vector<std::size_t> head(kHashSize, kNone);
    std::vector<std::size_t> previous(n, kNone);
    std::size_t inserted = 0;  // starts below this are in the chains
    // For every distance, the end of the stretch from the last search on in
    // which text[k] == text[k - distance]; it only moves forward.
    std::array<std::size_t, kMaxDistance + 1> matchEnd{};
    std::wstring out;
    out.reserve(n);
    std::size_t p = 0;
    while (p < n) {
        while (inserted < p && inserted + kMinLength <= n) {
            const std::size_t h = hashAt(inserted);
            previous[inserted] = head[h];
            head[h] = inserted;
            ++inserted;
        }
        std::size_t bestLength = 0;
        std::size_t bestDistance = 0;
        if (p + kMinLength <= n) {
            for (std::size_t q = head[hashAt(p)]; q != kNone && p - q <= kMaxDistance; q = previous[q]) {
                const std::size_t d = p - q;
                std::size_t& end = matchEnd[d];
                if (end < p) {
                    end = p;
                    while (end < n && text[end] == text[end - d]) ++end;
                }
                const std::size_t length = end - p;
                if (length > bestLength) {  // equal lengths keep the nearer distance
                    bestLength = length;
                    bestDistance = d;
                }
            }
        }
        if (bestLength < kMinLength) {
            out.push_back(text[p]);
            ++p;
            continue;
        }
        const std::size_t length = std::min(bestLength, kMaxLength);
        const bool far = bestDistance > 64;
        const bool long_ = length > 67;
        out.push_back(far ? (long_ ? L'}' : L']') : (long_ ? L'{' : L'['));
        out.push_back(pitchDigitChar(static_cast<int>(bestDistance - (far ? 65 : 1))));
        out.push_back(pitchDigitChar(static_cast<int>(length - (long_ ? 68 : 4))));
        p += length;
    }
    return out;
}

}  // namespace kestrand
