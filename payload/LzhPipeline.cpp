#include "LzhPipeline.h"
#include "LzhPositionCode.h"

#include <utility>

namespace qv::payload::lzh {

TLzhPipeline::TLzhPipeline(TCompThreadSafety& state) : output_(state) {
    model_.Init();
}

TLzhPipeline::~TLzhPipeline() {
    StopCoder();
}

void TLzhPipeline::SendSymbol(int symbol) {
    const TLzhModel::Code code = model_.CodeOf(symbol);
    output_.Put(code.bits, code.length);
    model_.Update(symbol);
}

void TLzhPipeline::SendPosition(int position) {
    const int upper = position >> kPositionLowBits;
    output_.Put(kPositionTables.code[upper], kPositionTables.length[upper]);
    output_.Put(static_cast<unsigned>(position) & (kPositionGroups - 1), kPositionLowBits);
}

void TLzhPipeline::Code(const TLzhItems& items) {
    for (int i = 0; i < items.size;) {
        const int symbol = items.entries[i++];
        SendSymbol(symbol);
        if (symbol >= 256) SendPosition(items.entries[i++]);
    }
}

// The other buffer is free once it is coded; until then the parse waits, so
// at most one buffer is ahead of the bits.
void TLzhPipeline::HandOver() {
    if (!coder_.joinable()) coder_ = std::thread(&TLzhPipeline::CoderLoop, this);
    WaitForCoder();
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        handed_ = filling_;
    }
    changed_.notify_all();
    filling_ = filling_ == &stores_[0] ? &stores_[1] : &stores_[0];
    filling_->size = 0;
}

void TLzhPipeline::WaitForCoder() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return handed_ == nullptr; });
    if (coderError_) std::rethrow_exception(std::exchange(coderError_, nullptr));
}

void TLzhPipeline::StopCoder() {
    if (!coder_.joinable()) return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    coder_.join();
}

void TLzhPipeline::Finish() {
    if (coder_.joinable()) {
        WaitForCoder();
        StopCoder();
    }
    Code(*filling_);
    filling_->size = 0;
    output_.Finish();
}

// After an error the remaining hand-overs are only acknowledged: the parse
// raises the error and stops.
void TLzhPipeline::CoderLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return handed_ != nullptr || stopping_; });
        if (handed_ == nullptr) return;
        const TLzhItems* items = handed_;
        const bool failed = coderError_ != nullptr;
        lock.unlock();
        std::exception_ptr error;
        if (!failed) {
            try {
                Code(*items);
            } catch (...) {
                error = std::current_exception();
            }
        }
        lock.lock();
        if (error) coderError_ = error;
        handed_ = nullptr;
        changed_.notify_all();
    }
}

} // namespace qv::payload::lzh
