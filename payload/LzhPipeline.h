#pragma once
// The "LZH" encoder's coding stage. The parse never depends on the adaptive
// model, so it fills one item buffer while a coder thread sends the other
// through the model into the engine's sink. Buffers are coded one at a time
// and in order, so the bits are those of coding every item in turn. A member
// that fits in one buffer never starts the thread.

#include "CodecEngine.h"
#include "LzhBitIO.h"
#include "LzhItems.h"
#include "LzhModel.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace qv::payload::lzh {

class TLzhPipeline {
public:
    explicit TLzhPipeline(TCompThreadSafety& state);
    ~TLzhPipeline();
    TLzhPipeline(const TLzhPipeline&) = delete;
    TLzhPipeline& operator=(const TLzhPipeline&) = delete;

    void AddLiteral(uint8_t byte) {
        if (filling_->Full()) HandOver();
        filling_->entries[filling_->size++] = byte;
    }
    // symbol is 256..313; position is the window position of the match.
    void AddMatch(int symbol, int position) {
        if (filling_->Full()) HandOver();
        filling_->entries[filling_->size++] = static_cast<uint16_t>(symbol);
        filling_->entries[filling_->size++] = static_cast<uint16_t>(position);
    }

    // Codes every buffer handed over, then the one being filled, and pads
    // the last byte. An error of the coder thread is raised here or at the
    // next hand-over.
    void Finish();

private:
    void HandOver();
    void WaitForCoder();
    void StopCoder();
    void CoderLoop();

    // Coder side: only the coder thread touches these once it runs.
    void Code(const TLzhItems& items);
    void SendSymbol(int symbol);
    void SendPosition(int position);

    TLzhModel model_;
    TBitOutput output_;

    TLzhItems stores_[2];
    TLzhItems* filling_ = &stores_[0];

    std::thread coder_;
    std::mutex mutex_;
    std::condition_variable changed_;
    TLzhItems* handed_ = nullptr; // waiting for or in coding
    bool stopping_ = false;
    std::exception_ptr coderError_;
};

} // namespace qv::payload::lzh
