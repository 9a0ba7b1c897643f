#include "CodecEngine.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace qv::payload {

namespace {
// A zero-length sleep: lets other threads run during long members.
void YieldProcessor() {
    std::this_thread::yield();
}

constexpr int32_t kUnlimitedBudget = 0x7FFFFFFF;
constexpr int32_t kExactPercentLimit = 100000;
} // namespace

uint32_t SumBytes(const uint8_t* bytes, size_t count) {
    uint32_t sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return sum;
}

int16_t ApplyKey(uint8_t* bytes, size_t count, const uint8_t keyBytes[4], int16_t keyIndex) {
    size_t i = 0;
    unsigned k = static_cast<unsigned>(keyIndex) & 3u;
    for (; i < count && k != 0; ++i, k = (k + 1) & 3u)
        bytes[i] ^= keyBytes[k];
    // Aligned to the first key byte now: four at a time.
    uint32_t word;
    std::memcpy(&word, keyBytes, 4);
    for (; i + 4 <= count; i += 4) {
        uint32_t v;
        std::memcpy(&v, bytes + i, 4);
        v ^= word;
        std::memcpy(bytes + i, &v, 4);
    }
    for (; i < count; ++i, k = (k + 1) & 3u)
        bytes[i] ^= keyBytes[k];
    return static_cast<int16_t>(k);
}

void TCompThreadSafety::Begin(TStream* destination, TStream* sourceStream, int32_t sourceSize,
                              bool compressing, int32_t key, bool keyFlag,
                              const TShowProgressEvent* handler) {
    progressHandler = handler;
    dest = destination;
    source = sourceStream;
    sourceBuffer = std::make_unique<uint8_t[]>(kBufferSize);
    destBuffer = std::make_unique<uint8_t[]>(kBufferSize);
    sourceCursor = sourceEnd = sourceBuffer.get();
    destCursor = destBuffer.get();
    destEnd = destBuffer.get() + kBufferSize;
    sourceEnded = false;
    inRun = false;
    previousByte = 0;
    runCount = 0;
    sumRead = 0;
    sumWritten = 0;
    sourceConsumed = 0;
    atStart = true;
    sourceRemaining = sourceSize;
    chunkSize = kBufferSize;
    outputBudget = compressing ? sourceSize : kUnlimitedBudget;
    applyKeyOnWrite = compressing && key != 0;
    removeKeyOnRead = !compressing && key != 0 && keyFlag;
    const auto k = static_cast<uint32_t>(key);
    for (int i = 0; i < 4; ++i)
        keyBytes[i] = static_cast<uint8_t>(k >> (8 * i));
    keyIndex = 0;
    bytesWritten = 0;
}

void TCompThreadSafety::Finish() {
    const auto pending = static_cast<int32_t>(destCursor - destBuffer.get());
    if (pending > 0) dest->Write(destBuffer.get(), pending);
    Release();
}

void TCompThreadSafety::Release() {
    sourceBuffer.reset();
    destBuffer.reset();
    sourceCursor = sourceEnd = nullptr;
    destCursor = destEnd = nullptr;
}

int32_t ProgressPercent(int32_t done, int32_t remaining) {
    const int32_t total = done + remaining;
    if (total <= 0) return 0;
    if (total <= kExactPercentLimit) return done * 100 / total;
    return done / (total / 100);
}

bool TCompThreadSafety::RefillSource() {
    if (sourceCursor != sourceEnd) return true;
    sourceEnded = true;
    if (sourceRemaining <= 0) return false;
    chunkSize = std::min(chunkSize, sourceRemaining);
    const int32_t got = source->Read(sourceBuffer.get(), chunkSize);
    if (got <= 0) return false;
    sourceRemaining -= got;
    if (progressHandler && *progressHandler) {
        sourceConsumed += got;
        int32_t percent = ProgressPercent(sourceConsumed, sourceRemaining);
        (*progressHandler)(percent);
        if (percent == -1) {
            // Cancelled: the chunk is never taken (so never summed), and the
            // source stays ended for every codec, however it reads.
            sourceRemaining = 0;
            return false;
        }
    }
    sourceCursor = sourceBuffer.get();
    sourceEnd = sourceCursor + got;
    // The whole chunk is summed and unkeyed at once; every codec consumes what
    // it reads, so the sums and key positions equal those of byte-wise work.
    sumRead += SumBytes(sourceCursor, static_cast<size_t>(got));
    if (removeKeyOnRead)
        keyIndex = ApplyKey(sourceCursor, static_cast<size_t>(got), keyBytes, keyIndex);
    YieldProcessor();
    sourceEnded = false;
    return true;
}

void TCompThreadSafety::RaiseUnableToCompress() {
    throw EUnableToCompress();
}

void TCompThreadSafety::FlushFullDest() {
    YieldProcessor();
    dest->Write(destBuffer.get(), kBufferSize);
    destCursor = destBuffer.get();
}

void TCompThreadSafety::WriteDestBytes(const uint8_t* bytes, size_t count) {
    while (count > 0) {
        if (outputBudget <= 0) RaiseUnableToCompress();
        if (destCursor == destEnd) FlushFullDest();
        size_t n = std::min(count, static_cast<size_t>(destEnd - destCursor));
        n = std::min(n, static_cast<size_t>(outputBudget));
        std::memcpy(destCursor, bytes, n);
        if (applyKeyOnWrite) keyIndex = ApplyKey(destCursor, n, keyBytes, keyIndex);
        sumWritten += SumBytes(destCursor, n);
        destCursor += n;
        outputBudget -= static_cast<int32_t>(n);
        bytesWritten =
            static_cast<int32_t>(static_cast<uint32_t>(bytesWritten) + static_cast<uint32_t>(n));
        bytes += n;
        count -= n;
    }
}

} // namespace qv::payload
