// The hff value layer: canonical Huffman codes of the differences.
#include "bend/hff_codec.h"

#include <algorithm>
#include <array>
#include <map>
#include <unordered_map>

#include "bend/codec_stream.h"
#include "bend/pitch_bend.h"
#include "platform/console.h"

namespace kestrand {

namespace {

// More entries than there are 16-bit symbols, or codes longer than any tree
// over at most 32767 values can give, mark a malformed header.
constexpr std::uint32_t kMaxEntries = 65536;
constexpr int kMaxCodeLength = 31;
// The end mark drops at most 7 + 3 bits from the end of the text.
constexpr std::size_t kEndMarkBits = 10;

// The bits of a source's characters, expanded only as far as reading needs
// them. The stream ends P + 3 bits before the end of the text, P being the
// number in its last three bits, so the reader always keeps enough bits ahead
// to know whether a bit is still inside the stream.
class LazyBits {
public:
    explicit LazyBits(CharSource& source) : source_(source) {}

    // Bit i of the stream (0 or 1), or -1 when i lies beyond its end.
    int at(std::size_t i) {
        if (i + kEndMarkBits >= bitCount()) {
            while (!ended_ && bitCount() <= i + kEndMarkBits) pull();
            if (ended_ && i >= end_) return -1;
        }
        return (digits_[i / 6] >> (5 - i % 6)) & 1;
    }

    // The 32 bits from position i on as a number, first bit highest; bits
    // beyond the stream read as 0. `available` receives how many of them lie
    // inside the stream.
    std::uint32_t window(std::size_t i, int& available) {
        constexpr std::size_t kWidth = 32;
        while (!ended_ && bitCount() <= i + kWidth + kEndMarkBits) pull();
        const std::size_t limit = ended_ ? end_ : bitCount();
        available = limit > i ? static_cast<int>(std::min(kWidth, limit - i)) : 0;
        std::uint64_t bits = 0;
        int have = 0;
        std::size_t digit = i / 6;
        int skip = static_cast<int>(i % 6);
        while (have < static_cast<int>(kWidth) + 6 && digit < digits_.size()) {
            bits = (bits << (6 - skip)) | (digits_[digit] & ((1u << (6 - skip)) - 1));
            have += 6 - skip;
            skip = 0;
            ++digit;
        }
        bits = have >= 32 ? bits >> (have - 32) : bits << (32 - have);
        if (available < 32) bits &= ~((std::uint64_t{1} << (32 - available)) - 1);
        return static_cast<std::uint32_t>(bits);
    }

private:
    std::size_t bitCount() const { return 6 * digits_.size(); }

    void pull() {
        wchar_t c = 0;
        if (!source_.next(c)) {
            ended_ = true;
            const std::size_t n = bitCount();
            if (n < 3) {
                end_ = 0;
            } else {
                const std::size_t mark = static_cast<std::size_t>(digits_.back() & 7);
                end_ = n >= mark + 3 ? n - mark - 3 : 0;
            }
            return;
        }
        const int digit = pitchDigitValue(c);
        digits_.push_back(static_cast<std::uint8_t>(digit < 0 ? 63 : digit));
    }

    CharSource& source_;
    std::vector<std::uint8_t> digits_;  // six bits each
    bool ended_ = false;
    std::size_t end_ = 0;
};

std::optional<std::uint32_t> readExpGolomb(LazyBits& bits, int order, std::size_t& position) {
    std::size_t zeros = 0;
    while (true) {
        const int bit = bits.at(position + zeros);
        if (bit < 0) return std::nullopt;  // the prefix runs to the end
        if (bit == 1) break;
        if (++zeros + static_cast<std::size_t>(order) + 1 > 32) return std::nullopt;
    }
    const std::size_t significant = zeros + static_cast<std::size_t>(order) + 1;
    std::uint64_t y = 0;
    for (std::size_t i = 0; i < significant; ++i) y = (y << 1) | (bits.at(position + zeros + i) == 1 ? 1u : 0u);
    position += zeros + significant;
    return static_cast<std::uint32_t>(y - (std::uint64_t{1} << order));
}

struct TableEntry {
    std::int16_t symbol = 0;
    int length = 0;
    std::uint32_t code = 0;  // the low `length` bits are the code
};

// Gives each entry its canonical code: a counter, shifted left whenever the
// length grows, written in as many bits as the entry's length.
void assignCanonicalCodes(std::vector<TableEntry>& table) {
    std::uint64_t counter = 0;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (i > 0 && table[i].length > table[i - 1].length) counter <<= (table[i].length - table[i - 1].length);
        const std::uint64_t mask =
            table[i].length >= 32 ? ~std::uint64_t{0} : (std::uint64_t{1} << table[i].length) - 1;
        table[i].code = static_cast<std::uint32_t>(counter & mask);
        ++counter;
    }
}

}  // namespace

std::vector<std::int16_t> decodeHffValues(CharSource& source, int order) {
    std::vector<std::int16_t> values;
    LazyBits bits(source);
    std::size_t position = 0;
    const auto count = readExpGolomb(bits, 4, position);
    if (!count || *count > kMaxEntries) return values;
    std::vector<TableEntry> table(*count);
    int length = 0;
    for (TableEntry& entry : table) {
        const auto symbol = readExpGolomb(bits, 3, position);
        if (!symbol) return values;
        const auto step = readExpGolomb(bits, 0, position);
        if (!step || *step > static_cast<std::uint32_t>(kMaxCodeLength - length)) return values;
        length += static_cast<int>(*step);
        entry.symbol = unzigzag(*symbol);
        entry.length = length;
    }
    assignCanonicalCodes(table);

    // Within one length the codes are consecutive counter values, so the
    // earliest entry of a length with a given code is found by arithmetic.
    // Table order is by length, so the first matching entry is the earliest one
    // of the shortest length that matches.
    struct LengthGroup {
        int length = 0;
        std::size_t first = 0;  // index of its first entry
        std::size_t count = 0;
        std::uint32_t base = 0;  // code of its first entry
    };
    std::vector<LengthGroup> groups;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (groups.empty() || groups.back().length != table[i].length) {
            groups.push_back(LengthGroup{table[i].length, i, 0, table[i].code});
        }
        ++groups.back().count;
    }
    Integrator integrator(values, order);
    while (!integrator.full() && bits.at(position) >= 0) {
        // A code of no bits would match forever without reading anything.
        if (!table.empty() && table.front().length == 0) break;
        std::optional<std::int16_t> symbol;
        int available = 0;
        const std::uint32_t next = bits.window(position, available);
        int read = 0;
        for (const LengthGroup& group : groups) {
            if (group.length > available) break;  // the payload ends inside the code
            const std::uint32_t code = next >> (32 - group.length);
            const std::uint32_t mask = (std::uint32_t{1} << group.length) - 1;
            const std::size_t index = (code - group.base) & mask;
            if (index < group.count) {
                symbol = table[group.first + index].symbol;
                read = group.length;
                break;
            }
        }
        if (!symbol) {
            printErr("[Huffman-Code ist kaputt!]");
            break;
        }
        integrator.push(*symbol);
        position += static_cast<std::size_t>(read);
    }
    return values;
}

std::optional<PitchCurve> decodeHff(std::wstring_view text, int order) {
    TextSource source(untilTerminator(text));
    PitchCurve curve{decodeHffValues(source, order < 0 ? 0 : order)};
    if (curve.values.empty()) return std::nullopt;
    return curve;
}

std::optional<std::wstring> encodeHff(const PitchCurve& curve, int order) {
    if (curve.values.empty()) return std::nullopt;
    const std::size_t n = std::min(curve.values.size(), kMaxPitchCurveValues);
    std::vector<std::int16_t> differences(n);
    for (std::size_t i = 0; i < n; ++i) {
        differences[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(orderDifference(curve.values, i, order)));
    }

    // One leaf per difference that occurs, in increasing order of value.
    std::map<std::int16_t, int> counts;
    for (const std::int16_t d : differences) ++counts[d];
    std::vector<std::int16_t> leafSymbols;
    std::vector<int> leafCounts;
    for (const auto& [symbol, frequency] : counts) {
        leafSymbols.push_back(symbol);
        leafCounts.push_back(frequency);
    }
    if (leafSymbols.size() == 1) {
        // A single code would have no bits and the payload would not carry the
        // number of values; an unused second entry gives both codes one bit.
        leafSymbols.push_back(leafSymbols[0] == 0 ? std::int16_t{1} : std::int16_t{0});
        leafCounts.push_back(0);
    }

    // Leaves by frequency, highest first; the tree; then by code length.
    const std::vector<std::size_t> byFrequency = selectionSortOrder(leafCounts, true);
    std::vector<int> sortedCounts;
    for (const std::size_t i : byFrequency) sortedCounts.push_back(leafCounts[i]);
    const std::vector<int> lengths = huffmanCodeLengths(sortedCounts);
    const std::vector<std::size_t> byLength = selectionSortOrder(lengths, false);

    std::vector<TableEntry> table;
    for (const std::size_t i : byLength) {
        table.push_back(TableEntry{leafSymbols[byFrequency[i]], lengths[i], 0});
    }
    assignCanonicalCodes(table);

    std::string bits = expGolombCode(static_cast<std::uint32_t>(table.size()), 4);
    std::unordered_map<std::int16_t, const TableEntry*> codeOf;
    int previous = 0;
    for (const TableEntry& entry : table) {
        bits += expGolombCode(zigzag(entry.symbol), 3);
        bits += expGolombCode(static_cast<std::uint32_t>(entry.length - previous), 0);
        previous = entry.length;
        codeOf.emplace(entry.symbol, &entry);
    }
    for (const std::int16_t d : differences) {
        const TableEntry* entry = codeOf.at(d);
        bits += bitText(entry->code, entry->length);
    }
    return packBitsWithEndMark(bits);
}

}  // namespace kestrand
