#pragma once
// A deliberately plain lh5 decoder written straight from the format's
// description (16-bit bit window, spare byte, overflow trees, ring window),
// used as the oracle for the fast decoder: both must agree on every input.

#include "tests/unit/TestSupport.h"

#include <cstdint>

namespace qv::test::lh5 {

// Decodes until at least destSize bytes are produced (a final match is kept
// whole). Raises ELZHBadDecodeTable on a corrupt table.
Bytes ReferenceExpand(const Bytes& stream, int32_t destSize);

} // namespace qv::test::lh5
