#pragma once
// TBurnDataModule: the recording data module. For now it only takes its
// place in the start-up; the burn thread, the progress watcher and the job
// record join it with the recording work.

#include <cstdint>

namespace qv::recording {

class TBurnDataModule {
public:
    TBurnDataModule() = default;
    TBurnDataModule(const TBurnDataModule&) = delete;
    TBurnDataModule& operator=(const TBurnDataModule&) = delete;

    // The recorder's test-write flag for the coming burn.
    void SetTestWrite(bool testWrite) { testWrite_ = testWrite; }
    bool TestWrite() const { return testWrite_; }

    // Starts the burn thread; false when it did not start. No thread exists
    // yet, so nothing starts.
    bool StartBurn(uint8_t writeMode);
    bool HasBurnThread() const { return false; }
    void AbortBurn() {}

private:
    bool testWrite_ = false;
};

} // namespace qv::recording
