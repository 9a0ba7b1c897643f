// The "LZH" method: LZ77 over a 4096-byte window, literals and match lengths
// in the adaptive Huffman model, match positions in the fixed position code.
#include "LzhMatchTree.h"
#include "LzhModel.h"
#include "LzhPipeline.h"
#include "LzhPositionCode.h"
#include "payload/codec/BitReader.h"
#include "payload/codec/Codecs.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace qv::payload {

using namespace lzh;

namespace {

// Expansion writes into a flat buffer that keeps the last window's worth of
// output in front of the new bytes, so a match copy never wraps.
constexpr size_t kExpandChunk = 32768;
constexpr size_t kCopySlack = 8; // word copies may run this far past a match
constexpr size_t kExpandBufferSize = kWindowSize + kExpandChunk + kMaxMatch + kCopySlack;
// The initial window as seen from the first output byte: the 60 positions
// behind the start (never written before) and then the 4036 spaces.
constexpr size_t kUnsetInitialBytes = kWindowSize - kStartPosition;

// Two tree levels per lookup: for each pair of sibling nodes (indexed by the
// first one's index / 2) and the next two bits, the son entry reached. When
// the first bit already ends at a leaf, the entry carries kOneBit. The model
// reports every swap, and only the entries that read a changed son entry are
// refreshed, so the cache always matches the tree.
class TTwoLevelTable {
public:
    static constexpr uint16_t kOneBit = 0x8000;

    void RefreshAll(const TLzhModel& m) {
        for (unsigned first = 0; first < static_cast<unsigned>(kRoot); first += 2)
            RefreshPair(m, first);
    }
    // son[c] and son[l] changed: their own pairs and their parents' pairs.
    void Swapped(const TLzhModel& m, unsigned c, unsigned l) {
        RefreshPair(m, c & ~1u);
        RefreshPair(m, l & ~1u);
        RefreshParentOf(m, c);
        RefreshParentOf(m, l);
    }
    uint16_t Lookup(unsigned first, unsigned twoBits) const {
        return entries_[first >> 1][twoBits];
    }

private:
    // The root's own pair slot is never read (the walk starts at its sons), and
    // the root has no sibling whose son entry could be read for it.
    void RefreshParentOf(const TLzhModel& m, unsigned node) {
        const unsigned parent = m.prnt[node];
        if (parent != static_cast<unsigned>(kRoot)) RefreshPair(m, parent & ~1u);
    }
    // Without branches: whether a son is a leaf is as good as random here.
    void RefreshPair(const TLzhModel& m, unsigned first) {
        uint16_t* e = entries_[first >> 1];
        for (unsigned b1 = 0; b1 < 2; ++b1) {
            const unsigned s = m.son[first + b1];
            const bool leaf = IsLeaf(s);
            const unsigned inner = leaf ? 0u : s;
            const auto asLeaf = static_cast<uint16_t>(s | kOneBit);
            e[2 * b1] = leaf ? asLeaf : m.son[inner];
            e[2 * b1 + 1] = leaf ? asLeaf : m.son[inner + 1];
        }
    }

    uint16_t entries_[kSymbolCount][4];
};

// The decoder refills only at or below this many bits, and then to more of
// them: the engine's buffer is read on once that many are left.
constexpr uint32_t kRefillLevel = 56;

void Refill(TCompThreadSafety& state, TBitReader& in) {
    if (in.count > kRefillLevel) return;
    in = RefilledBits(state, in, kRefillLevel + 1);
}

struct TExpandState {
    TLzhModel model;
    TTwoLevelTable table;
    uint8_t buffer[kExpandBufferSize];
};

int DecodeSymbol(TCompThreadSafety& state, TBitReader& in, const TLzhModel& model,
                 const TTwoLevelTable& table) {
    Refill(state, in);
    unsigned c = model.son[kRoot];
    for (;;) {
        if (in.count < 2) Refill(state, in); // longer than any code; kept for safety
        const uint16_t e = table.Lookup(c, static_cast<unsigned>(in.window >> 62));
        if (e & TTwoLevelTable::kOneBit) {
            in.window <<= 1;
            in.count -= 1;
            return static_cast<int>(e & ~TTwoLevelTable::kOneBit) - kLeafBase;
        }
        in.window <<= 2;
        in.count -= 2;
        c = e;
        if (IsLeaf(c)) return static_cast<int>(c) - kLeafBase;
    }
}

unsigned DecodePosition(TCompThreadSafety& state, TBitReader& in) {
    constexpr uint32_t kLongest = kPositionPeekBits + kPositionLowBits;
    if (in.count < kLongest) Refill(state, in);
    const unsigned peek = static_cast<unsigned>(in.window >> (64 - kPositionPeekBits));
    const unsigned upper = kPositionTables.upperOf[peek];
    const int used = kPositionTables.lengthOf[peek] + kPositionLowBits;
    const unsigned low = static_cast<unsigned>(in.window >> (64 - used)) & (kPositionGroups - 1);
    in.window <<= used;
    in.count -= static_cast<uint32_t>(used);
    return (upper << kPositionLowBits) | low;
}

// Copies a match that may overlap its own output.
void CopyMatch(uint8_t* out, unsigned distance, int length) {
    const uint8_t* from = out - distance;
    if (distance >= kCopySlack) {
        for (int k = 0; k < length; k += static_cast<int>(kCopySlack))
            std::memcpy(out + k, from + k, kCopySlack);
    } else {
        for (int k = 0; k < length; ++k)
            out[k] = from[k];
    }
}

void WriteExpanded(TCompThreadSafety& state, uint8_t* buffer, const uint8_t* out) {
    const uint8_t* start = buffer + kWindowSize;
    state.WriteDestBytes(start, static_cast<size_t>(out - start));
}

// Hands the new bytes to the engine and keeps the last window's worth in front.
uint8_t* FlushExpanded(TCompThreadSafety& state, uint8_t* buffer, uint8_t* out) {
    WriteExpanded(state, buffer, out);
    std::memmove(buffer, out - kWindowSize, kWindowSize);
    return buffer + kWindowSize;
}

} // namespace

void ExpandLZH(TCompThreadSafety& state, int32_t destSize) {
    if (destSize <= 0) return;
    auto work = std::make_unique<TExpandState>();
    TLzhModel& model = work->model;
    model.Init();
    TTwoLevelTable& table = work->table;
    table.RefreshAll(model);
    uint8_t* const buffer = work->buffer;
    std::memset(buffer, 0, kUnsetInitialBytes);
    std::memset(buffer + kUnsetInitialBytes, kInitialFill, kStartPosition);

    uint8_t* out = buffer + kWindowSize;
    uint8_t* const flushAt = out + kExpandChunk;
    int64_t remaining = destSize;
    TBitReader in = StartBitReader(state);
    while (remaining > 0) {
        const int symbol = DecodeSymbol(state, in, model, table);
        if (symbol < 256) {
            *out++ = static_cast<uint8_t>(symbol);
            --remaining;
        } else {
            const int length = MatchLength(symbol);
            CopyMatch(out, DecodePosition(state, in) + 1, length);
            out += length;
            remaining -= length; // a last match is copied whole, even past the size
        }
        if (out >= flushAt) out = FlushExpanded(state, buffer, out);
        const auto swapped = [&](unsigned c, unsigned l) { table.Swapped(model, c, l); };
        if (model.Update(symbol, swapped)) table.RefreshAll(model);
    }
    WriteExpanded(state, buffer, out);
    FinishBitReader(state, in);
}

namespace {

// Everything one member needs, in one allocation released on every exit.
struct TCompressState {
    explicit TCompressState(TCompThreadSafety& state) : pipeline(state) {}
    uint8_t text[kTextSize];
    TLzhMatchTree tree{text};
    TLzhPipeline pipeline;
};
static_assert(sizeof(TCompressState) < (1 << 20), "the encoder's state stays under 1 MiB");

// The engine's source with a sticky end: after the end or a cancel no more
// bytes are asked for.
class TSourceBytes {
public:
    explicit TSourceBytes(TCompThreadSafety& state) : state_(state) {}
    bool Next(uint8_t& b) {
        if (state_.sourceCursor == state_.sourceEnd) {
            if (ended_ || !state_.RefillSource()) {
                ended_ = true;
                return false;
            }
        }
        b = *state_.sourceCursor++;
        return true;
    }

private:
    TCompThreadSafety& state_;
    bool ended_ = false;
};

class TLzhEncoder {
public:
    TLzhEncoder(TCompThreadSafety& state, TCompressState& work)
        : source_(state), text_(work.text), tree_(work.tree), pipeline_(work.pipeline) {}

    void Run();

private:
    void StoreByte(int at, uint8_t b) {
        text_[at] = b;
        if (at < kMaxMatch - 1) text_[at + kWindowSize] = b;
    }

    TSourceBytes source_;
    uint8_t* text_;
    TLzhMatchTree& tree_;
    TLzhPipeline& pipeline_;
};

void TLzhEncoder::Run() {
    tree_.Clear();
    std::memset(text_, 0, kTextSize);
    std::memset(text_, kInitialFill, kStartPosition);
    int s = 0;
    int r = kStartPosition;
    int lookAhead = 0;
    uint8_t b;
    while (lookAhead < kMaxMatch && source_.Next(b))
        StoreByte(r + lookAhead++, b);
    if (lookAhead == 0) return;
    // The spaces before the start are in the trees, so a leading run of
    // spaces is sent as a match.
    for (int back = kMaxMatch; back >= 1; --back)
        tree_.Insert(r - back);
    tree_.Insert(r);
    do {
        int length = std::min(tree_.matchLength, lookAhead);
        if (length < kMinMatch) {
            length = 1;
            pipeline_.AddLiteral(text_[r]);
        } else {
            pipeline_.AddMatch(MatchSymbol(length), tree_.matchPosition);
        }
        int advanced = 0;
        for (; advanced < length && source_.Next(b); ++advanced) {
            tree_.Remove(s);
            StoreByte(s, b);
            s = (s + 1) & kWindowMask;
            r = (r + 1) & kWindowMask;
            tree_.Insert(r);
        }
        for (; advanced < length; ++advanced) {
            tree_.Remove(s);
            s = (s + 1) & kWindowMask;
            r = (r + 1) & kWindowMask;
            if (--lookAhead > 0) tree_.Insert(r);
        }
    } while (lookAhead > 0);
    pipeline_.Finish();
}

} // namespace

void CompressLZH(TCompThreadSafety& state) {
    auto work = std::make_unique<TCompressState>(state);
    auto encoder = std::make_unique<TLzhEncoder>(state, *work);
    encoder->Run();
}

} // namespace qv::payload
