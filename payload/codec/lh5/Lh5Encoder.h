#pragma once
// Layout of the lh5 encoder's text window, shared by the match trie and the
// scan loop.

#include "Lh5Format.h"

#include <cstdint>

namespace qv::payload::lh5 {

// text[] holds 8192 bytes of history, 8192 bytes being coded and 256 bytes
// of look-ahead. Positions run 8192..16383; at 16384 the upper part slides
// down by 8192.
inline constexpr int32_t kTextPositions = 2 * kWindowSize;         // 16384
inline constexpr int32_t kTextSize = kTextPositions + kMaxMatch;   // 16640
inline constexpr int32_t kFirstPosition = kWindowSize + kMaxMatch; // 8448
inline constexpr int32_t kSlideKeep = kWindowSize + kMaxMatch;     // 8448 bytes moved
// Reads beyond the look-ahead by whole words stay inside the allocation.
inline constexpr int32_t kTextPadding = 16;

} // namespace qv::payload::lh5
