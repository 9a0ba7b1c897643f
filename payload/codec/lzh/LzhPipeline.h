#pragma once
// The "LZH" encoder's coding stage. The parse never depends on the adaptive
// model, so it fills one item buffer while a coder thread sends the other
// through the model into the engine's sink. Buffers are coded one at a time
// and in order, so the bits are those of coding every item in turn. A member
// that fits in one buffer never starts the thread.

#include "LzhItems.h"
#include "LzhModel.h"
#include "payload/codec/BitWriter.h"
#include "payload/codec/CodecEngine.h"
#include "payload/codec/CoderThread.h"

namespace qv::payload::lzh {

class TLzhPipeline {
public:
    explicit TLzhPipeline(TCompThreadSafety& state);
    TLzhPipeline(const TLzhPipeline&) = delete;
    TLzhPipeline& operator=(const TLzhPipeline&) = delete;

    void AddLiteral(uint8_t byte) {
        if (coder_.Filling().Full()) coder_.HandOver();
        TLzhItems& items = coder_.Filling();
        items.entries[items.size++] = byte;
    }
    // symbol is 256..313; position is the window position of the match.
    void AddMatch(int symbol, int position) {
        if (coder_.Filling().Full()) coder_.HandOver();
        TLzhItems& items = coder_.Filling();
        items.entries[items.size++] = static_cast<uint16_t>(symbol);
        items.entries[items.size++] = static_cast<uint16_t>(position);
    }

    // Codes every buffer handed over, then the one being filled, and pads
    // the last byte. An error of the coder thread is raised here or at the
    // next hand-over.
    void Finish();

private:
    // Coder side: only the coder thread touches these once it runs.
    void Code(const TLzhItems& items);
    void SendSymbol(int symbol);
    void SendPosition(int position);

    TLzhModel model_;
    TBitWriter output_;
    // Uses the model and the output on its thread, and ends first.
    TCoderThread<TLzhItems> coder_;
};

} // namespace qv::payload::lzh
