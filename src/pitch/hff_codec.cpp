// The hff value layer: canonical Huffman codes of the differences.
#include "pitch/hff_codec.h"

#include <algorithm>
#include <array>
#include <map>
#include <unordered_map>

#include "pitch/codec_stream.h"
#include "pitch/pitch_bend.h"
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
        while (!ended_ && bits_.size() <= i + kEndMarkBits) pull();
        if (ended_ && i >= end_) return -1;
        return bits_[i];
    }

private:
    void pull() {
        wchar_t c = 0;
        if (!source_.next(c)) {
            ended_ = true;
            const std::size_t n = bits_.size();
            if (n < 3) {
                end_ = 0;
            } else {
                const std::size_t mark = static_cast<std::size_t>(4 * bits_[n - 3] + 2 * bits_[n - 2] + bits_[n - 1]);
                end_ = n >= mark + 3 ? n - mark - 3 : 0;
            }
            return;
        }
        const int digit = pitchDigitValue(c);
        const int value = digit < 0 ? 63 : digit;
        for (int b = 5; b >= 0; --b) bits_.push_back(static_cast<std::uint8_t>((value >> b) & 1));
    }

    CharSource& source_;
    std::vector<std::uint8_t> bits_;
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
        const std::uint64_t mask = table[i].length >= 32 ? ~std::uint64_t{0} : (std::uint64_t{1} << table[i].length) - 1;
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

    // Table order is by length, so the first entry that matches is the one of
    // the shortest matching length and, within it, the earliest.
    std::array<std::unordered_map<std::uint32_t, std::int16_t>, kMaxCodeLength + 1> byLength;
    std::vector<int> lengths;
    for (const TableEntry& entry : table) {
        if (byLength[static_cast<std::size_t>(entry.length)].emplace(entry.code, entry.symbol).second &&
            (lengths.empty() || lengths.back() != entry.length)) {
            lengths.push_back(entry.length);
        }
    }
    Integrator integrator(values, order);
    while (!integrator.full() && bits.at(position) >= 0) {
        // A code of no bits would match forever without reading anything.
        if (!table.empty() && table.front().length == 0) break;
        std::optional<std::int16_t> symbol;
        std::uint32_t code = 0;
        int read = 0;
        for (const int wanted : lengths) {
            bool complete = true;
            for (; read < wanted; ++read) {
                const int bit = bits.at(position + static_cast<std::size_t>(read));
                if (bit < 0) {
                    complete = false;
                    break;
                }
                code = (code << 1) | static_cast<std::uint32_t>(bit);
            }
            if (!complete) break;
            const auto& codes = byLength[static_cast<std::size_t>(wanted)];
            if (const auto found = codes.find(code); found != codes.end()) {
                symbol = found->second;
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
