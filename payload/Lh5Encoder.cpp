// LH5 compression: placeholder until the encoder lands.
#include "Codecs.h"

namespace qv::payload {
void CompressLH5(TCompThreadSafety&) {}
} // namespace qv::payload
