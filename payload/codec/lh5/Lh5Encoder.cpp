// LH5 compression: the scan over the text window with a one-step lazy match
// rule, feeding the block stage.
#include "Lh5Encoder.h"
#include "Lh5BlockPipeline.h"
#include "Lh5MatchTrie.h"
#include "payload/codec/BitWriter.h"
#include "payload/codec/Codecs.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace qv::payload {

namespace {

using namespace lh5;

// Everything one member needs, in one allocation released on every exit.
struct EncoderState {
    explicit EncoderState(TCompThreadSafety& engine) : bits(engine), blocks(bits) {}
    Lh5MatchTrie trie{};
    TBitWriter bits;
    Lh5BlockPipeline blocks;
};
static_assert(sizeof(EncoderState) < (1 << 20), "the encoder's state stays under 1 MiB");

class Lh5Scanner {
public:
    Lh5Scanner(TCompThreadSafety& engine, EncoderState& state)
        : engine_(engine), trie_(state.trie), blocks_(state.blocks) {}

    // Returns false for an empty member: nothing is to be written.
    bool Start() {
        trie_.Clear();
        pos_ = kFirstPosition;
        remainder_ = ReadSource(trie_.text + kFirstPosition, kWindowSize);
        std::memset(trie_.text + kFirstPosition + remainder_, kWindowFill,
                    static_cast<size_t>(kWindowSize - remainder_));
        if (remainder_ == 0) return false;
        trie_.Insert(pos_);
        return true;
    }

    void Run() {
        while (remainder_ > 0) {
            const int32_t lastLength = trie_.matchLength;
            const int32_t lastPosition = trie_.matchPosition;
            Advance();
            CutToRemainder();
            if (trie_.matchLength > lastLength || lastLength < kMinMatch) {
                blocks_.AddLiteral(trie_.text[pos_ - 1]);
                continue;
            }
            // The match belongs to pos - 1.
            blocks_.AddMatch(lastLength + kMatchLengthBias,
                             (pos_ - lastPosition - 2) & (kWindowSize - 1));
            for (int32_t i = lastLength - 1; i > 0; --i)
                Advance();
            CutToRemainder();
        }
    }

private:
    // Takes up to max bytes straight from the engine's source buffer, which
    // is already summed and unkeyed. Once the source has ended (or the
    // transfer was cancelled) it is never asked again.
    int32_t ReadSource(uint8_t* out, int32_t max) {
        int32_t got = 0;
        while (got < max && !sourceDone_) {
            if (engine_.SourceAvailable() == 0 && !engine_.RefillSource()) {
                sourceDone_ = true;
                break;
            }
            const auto n = std::min(static_cast<int32_t>(engine_.SourceAvailable()), max - got);
            std::memcpy(out + got, engine_.sourceCursor, static_cast<size_t>(n));
            engine_.sourceCursor += n;
            got += n;
        }
        return got;
    }

    void Advance() {
        --remainder_;
        if (++pos_ == kTextPositions) Slide();
        trie_.Replace(pos_);
    }

    // The history half moves down; stale look-ahead past the end of the
    // source is never used since matches are cut to the bytes left.
    void Slide() {
        std::memmove(trie_.text, trie_.text + kWindowSize, kSlideKeep);
        remainder_ += ReadSource(trie_.text + kSlideKeep, kWindowSize);
        pos_ = kWindowSize;
    }

    void CutToRemainder() { trie_.matchLength = std::min(trie_.matchLength, remainder_); }

    TCompThreadSafety& engine_;
    Lh5MatchTrie& trie_;
    Lh5BlockPipeline& blocks_;
    int32_t pos_ = 0;
    int32_t remainder_ = 0;
    bool sourceDone_ = false;
};

} // namespace

void CompressLH5(TCompThreadSafety& engine) {
    auto state = std::make_unique<EncoderState>(engine);
    Lh5Scanner scanner(engine, *state);
    if (!scanner.Start()) return;
    scanner.Run();
    state->blocks.Finish();
    state->bits.Finish();
}

} // namespace qv::payload
