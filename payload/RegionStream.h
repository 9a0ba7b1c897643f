#pragma once
// A read-only view of the first bytes of a stream: what the archive reader
// sees of an executable whose signature follows the payload.

#include "payload/codec/Stream.h"

#include <memory>

namespace qv::payload {

class TRegionStream : public TStream {
public:
    TRegionStream(std::unique_ptr<TStream> whole, int64_t end);
    int32_t Read(void* buffer, int32_t count) override;
    // The view is for reading; writing raises EFileStreamError.
    void Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override { return end_; }

private:
    std::unique_ptr<TStream> whole_;
    int64_t end_;
};

} // namespace qv::payload
