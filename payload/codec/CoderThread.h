#pragma once
// Two item buffers and a coder thread, shared by the encoders whose match
// finding never depends on their coding: the caller fills one buffer while
// the thread codes the other. Buffers are coded one at a time and in order,
// so the output is that of coding every item in turn on one thread. The
// thread starts at the first hand-over, so a member that fits in one buffer
// never starts it. An error of the coder is raised on the caller's side at
// the next hand-over or at Drain.

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace qv::payload {

template <class Items> class TCoderThread {
public:
    using CodeFunction = std::function<void(Items&)>;

    explicit TCoderThread(CodeFunction code) : code_(std::move(code)) {}
    ~TCoderThread() { StopCoder(); }
    TCoderThread(const TCoderThread&) = delete;
    TCoderThread& operator=(const TCoderThread&) = delete;

    Items& Filling() { return *filling_; }

    // The full buffer goes to the coder; the caller gets the other one, empty,
    // once its contents are coded, so at most one buffer is ahead.
    void HandOver() {
        if (!coder_.joinable()) coder_ = std::thread(&TCoderThread::CoderLoop, this);
        WaitForCoder();
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            handed_ = filling_;
        }
        changed_.notify_all();
        filling_ = filling_ == &stores_[0] ? &stores_[1] : &stores_[0];
        filling_->size = 0;
    }

    // Waits until every buffer handed over is coded and ends the thread; the
    // caller then codes the buffer being filled itself.
    void Drain() {
        if (!coder_.joinable()) return;
        WaitForCoder();
        StopCoder();
    }

private:
    void WaitForCoder() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return handed_ == nullptr; });
        if (coderError_) std::rethrow_exception(std::exchange(coderError_, nullptr));
    }

    void StopCoder() {
        if (!coder_.joinable()) return;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        coder_.join();
    }

    // After an error the remaining hand-overs are only acknowledged: the
    // caller raises the error and stops.
    void CoderLoop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return handed_ != nullptr || stopping_; });
            if (handed_ == nullptr) return;
            Items* items = handed_;
            const bool failed = coderError_ != nullptr;
            lock.unlock();
            std::exception_ptr error;
            if (!failed) {
                try {
                    code_(*items);
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

    CodeFunction code_;
    Items stores_[2];
    Items* filling_ = &stores_[0];

    std::thread coder_;
    std::mutex mutex_;
    std::condition_variable changed_;
    Items* handed_ = nullptr; // waiting for or in coding
    bool stopping_ = false;
    std::exception_ptr coderError_;
};

} // namespace qv::payload
