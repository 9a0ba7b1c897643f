#include "Lh5BlockPipeline.h"

namespace qv::payload::lh5 {

void Lh5BlockPipeline::Finish() {
    coder_.Drain();
    writer_.SendBlock(coder_.Filling());
}

} // namespace qv::payload::lh5
