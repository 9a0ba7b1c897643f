// LH5 expansion: placeholder until the decoder lands.
#include "Codecs.h"

namespace qv::payload {
void ExpandLH5(TCompThreadSafety&, int32_t) {}
} // namespace qv::payload
