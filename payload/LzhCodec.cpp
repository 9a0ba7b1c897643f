// LZH codec: placeholder until the codec lands.
#include "Codecs.h"

namespace qv::payload {
void CompressLZH(TCompThreadSafety&) {}
void ExpandLZH(TCompThreadSafety&, int32_t) {}
} // namespace qv::payload
