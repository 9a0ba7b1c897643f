#pragma once
// The codec engine shared by every method: buffered byte source and sink on
// the two streams, the archive key, the running checksums, the output budget
// and the progress callback. The per-byte paths are inline so a codec never
// pays a call per byte; fast codecs use the bulk forms, which keep the same
// byte-level rules applied a buffer at a time.

#include "CompressErrors.h"
#include "Stream.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace qv::payload {

// The host may set PercentageDone to -1 to cancel.
using TShowProgressEvent = std::function<void(int32_t& PercentageDone)>;

enum TCodecDirection : uint8_t { kDirectionCompress = 0, kDirectionExpand = 1 };

class TCompThreadSafety {
public:
    static constexpr int32_t kBufferSize = 8192;

    TCompThreadSafety() = default;
    TCompThreadSafety(const TCompThreadSafety&) = delete;
    TCompThreadSafety& operator=(const TCompThreadSafety&) = delete;

    // Engine fields, in their documented order.
    bool atStart = false;
    bool sourceEnded = false;
    bool inRun = false;
    std::unique_ptr<uint8_t[]> sourceBuffer;
    std::unique_ptr<uint8_t[]> destBuffer;
    uint8_t* sourceEnd = nullptr;
    uint8_t* sourceCursor = nullptr;
    uint8_t* destEnd = nullptr;
    uint8_t* destCursor = nullptr;
    TStream* source = nullptr;
    TStream* dest = nullptr;
    uint8_t previousByte = 0;
    int32_t runCount = 0;
    uint32_t sumRead = 0;
    uint32_t sumWritten = 0;
    int32_t sourceRemaining = 0;
    int32_t chunkSize = kBufferSize;
    int32_t sourceConsumed = 0;
    int32_t bytesWritten = 0;
    bool removeKeyOnRead = false;
    bool applyKeyOnWrite = false;
    uint8_t keyBytes[4] = {0, 0, 0, 0};
    int16_t keyIndex = 0;
    int32_t outputBudget = 0;
    const TShowProgressEvent* progressHandler = nullptr;

    // Sets up the engine fields for one RunCodec call.
    void Begin(TStream* destination, TStream* sourceStream, int32_t sourceSize, bool compressing,
               int32_t key, bool keyFlag, const TShowProgressEvent* handler);
    // Writes what the destination buffer holds and releases both buffers.
    void Finish();
    // Releases both buffers without writing (an exception is leaving).
    void Release();

    // One source byte. When sourceEnded is set afterwards the value is not data.
    uint8_t ReadSourceByte() {
        if (sourceCursor == sourceEnd && !RefillSource()) return 0;
        return *sourceCursor++;
    }

    // Refills the source buffer when it is used up (reading the next chunk,
    // removing the key and summing it, reporting progress). Returns false
    // when no byte is available: the source has ended or was cancelled.
    bool RefillSource();

    // Bytes left in the source buffer before the next refill.
    size_t SourceAvailable() const { return static_cast<size_t>(sourceEnd - sourceCursor); }

    void WriteDestByte(uint8_t b) {
        if (outputBudget <= 0) RaiseUnableToCompress();
        --outputBudget;
        if (destCursor == destEnd) FlushFullDest();
        if (applyKeyOnWrite) {
            b ^= keyBytes[keyIndex];
            keyIndex = static_cast<int16_t>((keyIndex + 1) & 3);
        }
        *destCursor++ = b;
        sumWritten += b;
        bytesWritten = static_cast<int32_t>(static_cast<uint32_t>(bytesWritten) + 1u);
    }

    // The same as n calls of WriteDestByte, a buffer at a time.
    void WriteDestBytes(const uint8_t* bytes, size_t count);

private:
    [[noreturn]] static void RaiseUnableToCompress();
    void FlushFullDest();
};

// The engine's progress figure: done x 100 / total, or done / (total / 100)
// above 100,000 bytes, in signed 32-bit arithmetic.
int32_t ProgressPercent(int32_t done, int32_t remaining);
// Adds the bytes as 0..255 to a 32-bit wrapping sum.
uint32_t SumBytes(const uint8_t* bytes, size_t count);
// XORs the bytes with the four key bytes cycling from keyIndex; returns the next index.
int16_t ApplyKey(uint8_t* bytes, size_t count, const uint8_t keyBytes[4], int16_t keyIndex);

} // namespace qv::payload
