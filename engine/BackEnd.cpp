#include "Recorder.h"
#include "VirtualRecorder.h"

namespace qv::engine {

// The virtual recorder is the only back end so far; a real-drive one is
// chosen here once it exists.
Recorder& ActiveRecorder() {
    static VirtualRecorder recorder;
    return recorder;
}

} // namespace qv::engine
