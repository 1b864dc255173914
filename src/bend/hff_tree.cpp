// The hff encoder's tree and its selection sorts, with the exact tie rules of
// the straightforward quadratic versions but in n log n time.
#include <queue>
#include <utility>

#include "bend/hff_codec.h"

namespace kestrand {

std::vector<std::size_t> selectionSortOrder(const std::vector<int>& keys, bool highestFirst) {
    const std::size_t n = keys.size();
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    if (n < 2) return order;
    // A tournament tree over the positions; each node holds the position of
    // the best key below it, the leftmost one among equals.
    std::size_t size = 1;
    while (size < n) size *= 2;
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::vector<std::size_t> tree(2 * size, kNone);
    const auto better = [&](std::size_t a, std::size_t b) {  // a, b are positions; a left of b
        if (a == kNone) return b;
        if (b == kNone) return a;
        const int ka = keys[order[a]];
        const int kb = keys[order[b]];
        if (highestFirst ? kb > ka : kb < ka) return b;
        return a;
    };
    for (std::size_t i = 0; i < n; ++i) tree[size + i] = i;
    for (std::size_t i = size - 1; i >= 1; --i) tree[i] = better(tree[2 * i], tree[2 * i + 1]);
    const auto refresh = [&](std::size_t position, bool present) {
        std::size_t node = size + position;
        tree[node] = present ? position : kNone;
        for (node /= 2; node >= 1; node /= 2) tree[node] = better(tree[2 * node], tree[2 * node + 1]);
    };
    for (std::size_t i = 0; i + 1 < n; ++i) {
        // Positions before i have left the tree, so the root is the best of i..n-1.
        const std::size_t best = tree[1];
        std::swap(order[i], order[best]);
        refresh(best, true);
        refresh(i, false);
    }
    return order;
}

std::vector<int> huffmanCodeLengths(const std::vector<int>& frequencies) {
    const std::size_t leaves = frequencies.size();
    std::vector<int> lengths(leaves, 0);
    if (leaves < 2) return lengths;
    // Lowest frequency first; among equal frequencies the highest index.
    using Entry = std::pair<long long, std::size_t>;
    const auto after = [](const Entry& a, const Entry& b) {
        if (a.first != b.first) return a.first > b.first;
        return a.second < b.second;
    };
    std::priority_queue<Entry, std::vector<Entry>, decltype(after)> parentless(after);
    for (std::size_t i = 0; i < leaves; ++i) parentless.push({frequencies[i], i});
    std::vector<std::size_t> parent(leaves, static_cast<std::size_t>(-1));
    while (parentless.size() >= 2) {
        const Entry first = parentless.top();
        parentless.pop();
        const Entry second = parentless.top();
        parentless.pop();
        const std::size_t node = parent.size();
        parent.push_back(static_cast<std::size_t>(-1));
        parent[first.second] = node;
        parent[second.second] = node;
        parentless.push({first.first + second.first, node});
    }
    // Parents come after their children, so depths fill in from the root down.
    std::vector<int> depth(parent.size(), 0);
    for (std::size_t i = parent.size(); i-- > 0;) {
        if (parent[i] != static_cast<std::size_t>(-1)) depth[i] = depth[parent[i]] + 1;
    }
    for (std::size_t i = 0; i < leaves; ++i) lengths[i] = depth[i];
    return lengths;
}

}  // namespace kestrand
