#include "HuffmanBuilder.h"

#include <algorithm>

namespace qv::payload::lh5 {

namespace {

constexpr int kMaxLength = kMaxCodeLength;
constexpr uint32_t kCodeSpace = 1u << kMaxLength;

// Moves heap[i] down; on equal frequencies the left child wins and the
// moving entry stops in front of an equal child.
void SiftDown(uint16_t* heap, int heapSize, int i, const uint16_t* freq) {
    const uint16_t moving = heap[i];
    for (int child = 2 * i; child <= heapSize; child = 2 * i) {
        if (child < heapSize && freq[heap[child]] > freq[heap[child + 1]]) ++child;
        if (freq[moving] <= freq[heap[child]]) break;
        heap[i] = heap[child];
        i = child;
    }
    heap[i] = moving;
}

// Leaves per depth, depths past the limit counted at the limit.
void CountLeafDepths(int n, int root, const HuffmanScratch& s, uint32_t (&count)[kMaxLength + 1]) {
    struct Entry {
        uint16_t node;
        uint16_t depth;
    };
    Entry stack[NC];
    int top = 0;
    stack[top++] = {static_cast<uint16_t>(root), 0};
    while (top > 0) {
        const Entry e = stack[--top];
        if (e.node < n) {
            ++count[std::min<int>(e.depth, kMaxLength)];
            continue;
        }
        const auto next = static_cast<uint16_t>(e.depth + 1);
        stack[top++] = {s.right[e.node], next};
        stack[top++] = {s.left[e.node], next};
    }
}

// Clamping deep leaves to the limit overfills the code space; each excess
// code is taken from the limit and paid for by lengthening the longest
// shorter code.
void LimitLengths(uint32_t (&count)[kMaxLength + 1]) {
    uint32_t used = 0;
    for (int len = 1; len <= kMaxLength; ++len)
        used += count[len] << (kMaxLength - len);
    if (used <= kCodeSpace) return;
    const uint32_t excess = used - kCodeSpace;
    count[kMaxLength] -= excess;
    for (uint32_t e = 0; e < excess; ++e) {
        for (int len = kMaxLength - 1; len > 0; --len) {
            if (count[len] != 0) {
                --count[len];
                count[len + 1] += 2;
                break;
            }
        }
    }
}

void AssignCanonicalCodes(int n, const uint8_t* lengths, uint16_t* codes) {
    uint32_t count[kMaxLength + 1] = {};
    for (int i = 0; i < n; ++i)
        ++count[lengths[i]];
    uint16_t start[kMaxLength + 1] = {};
    uint32_t next = 0;
    for (int len = 1; len <= kMaxLength; ++len) {
        start[len] = static_cast<uint16_t>(next);
        next += count[len] << (kMaxLength - len);
    }
    for (int i = 0; i < n; ++i) {
        const int len = lengths[i];
        if (len == 0) {
            codes[i] = 0;
            continue;
        }
        codes[i] = start[len];
        start[len] = static_cast<uint16_t>(start[len] + (1u << (kMaxLength - len)));
    }
}

} // namespace

int BuildHuffmanCode(int n, uint16_t* freq, uint8_t* lengths, uint16_t* codes,
                     HuffmanScratch& scratch) {
    uint16_t* heap = scratch.heap;
    int heapSize = 0;
    heap[1] = 0;
    for (int i = 0; i < n; ++i) {
        lengths[i] = 0;
        if (freq[i] != 0) heap[++heapSize] = static_cast<uint16_t>(i);
    }
    if (heapSize < 2) {
        codes[heap[1]] = 0;
        return heap[1];
    }
    for (int i = heapSize / 2; i >= 1; --i)
        SiftDown(heap, heapSize, i, freq);

    int leaves = 0;
    int node = n;
    do {
        const uint16_t first = heap[1];
        if (first < n) scratch.leafOrder[leaves++] = first;
        heap[1] = heap[heapSize--];
        SiftDown(heap, heapSize, 1, freq);
        const uint16_t second = heap[1];
        if (second < n) scratch.leafOrder[leaves++] = second;
        freq[node] = static_cast<uint16_t>(freq[first] + freq[second]);
        scratch.left[node] = first;
        scratch.right[node] = second;
        heap[1] = static_cast<uint16_t>(node);
        SiftDown(heap, heapSize, 1, freq);
        ++node;
    } while (heapSize > 1);
    const int root = node - 1;

    uint32_t count[kMaxLength + 1] = {};
    CountLeafDepths(n, root, scratch, count);
    LimitLengths(count);
    // The symbols that left the heap first get the longest codes.
    const uint16_t* order = scratch.leafOrder;
    for (int len = kMaxLength; len > 0; --len)
        for (uint32_t k = 0; k < count[len]; ++k)
            lengths[*order++] = static_cast<uint8_t>(len);
    AssignCanonicalCodes(n, lengths, codes);
    return root;
}

} // namespace qv::payload::lh5
