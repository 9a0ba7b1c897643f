#include "Lh5BlockPipeline.h"

#include <utility>

namespace qv::payload::lh5 {

Lh5BlockPipeline::~Lh5BlockPipeline() {
    StopCoder();
}

// The other buffer is free once its block is coded; until then the scan
// waits, so at most one block is ahead of the bits.
void Lh5BlockPipeline::HandOver() {
    if (!coder_.joinable()) coder_ = std::thread(&Lh5BlockPipeline::CoderLoop, this);
    WaitForCoder();
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        handed_ = filling_;
    }
    changed_.notify_all();
    filling_ = filling_ == &stores_[0] ? &stores_[1] : &stores_[0];
    filling_->size = 0;
}

void Lh5BlockPipeline::WaitForCoder() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return handed_ == nullptr; });
    if (coderError_) std::rethrow_exception(std::exchange(coderError_, nullptr));
}

void Lh5BlockPipeline::StopCoder() {
    if (!coder_.joinable()) return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    coder_.join();
}

void Lh5BlockPipeline::Finish() {
    if (coder_.joinable()) {
        WaitForCoder();
        StopCoder();
    }
    writer_.SendBlock(*filling_);
}

// After an error the remaining hand-overs are only acknowledged: the scan
// raises the error and stops.
void Lh5BlockPipeline::CoderLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return handed_ != nullptr || stopping_; });
        if (handed_ == nullptr) return;
        Lh5BlockItems* items = handed_;
        const bool failed = coderError_ != nullptr;
        lock.unlock();
        std::exception_ptr error;
        if (!failed) {
            try {
                writer_.SendBlock(*items);
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

} // namespace qv::payload::lh5
