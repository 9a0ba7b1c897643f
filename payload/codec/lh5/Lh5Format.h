#pragma once
// Constants of the lh5 bit stream, shared by the decoder and the encoder.

#include <cstdint>

namespace qv::payload::lh5 {

// LZ77 window: 13-bit distances; the window starts filled with spaces.
inline constexpr int kWindowBits = 13;
inline constexpr int32_t kWindowSize = 1 << kWindowBits; // 8192
inline constexpr uint8_t kWindowFill = 0x20;

// Symbol alphabet: 0..255 literal bytes, 256..509 match lengths 3..256.
inline constexpr int kLiteralCount = 256;
inline constexpr int kMinMatch = 3;
inline constexpr int kMaxMatch = 256;
inline constexpr int NC = kLiteralCount + kMaxMatch - kMinMatch + 1; // 510
// Symbol s >= 256 codes the match length s - kMatchLengthBias.
inline constexpr int kMatchLengthBias = kLiteralCount - kMinMatch; // 253

// Distance classes: class 0 is distance value 0, class j (1..13) is
// 2^(j-1) plus j - 1 extra bits.
inline constexpr int NP = kWindowBits + 1; // 14
// Code-length alphabet: 0..2 are zero runs, 3..18 are lengths 1..16.
inline constexpr int NT = 16 + 3; // 19

inline constexpr int kMaxCodeLength = 16;
// Lookup table widths of the decoder.
inline constexpr int kSymbolTableBits = 12;
inline constexpr int kSmallTableBits = 8;

// Widths of the block header fields.
inline constexpr int kBlockCountBits = 16;
inline constexpr int kCodeLengthCountBits = 5; // TBIT
inline constexpr int kSymbolCountBits = 9;     // CBIT
inline constexpr int kDistanceCountBits = 4;   // PBIT

// Code lengths in the small tables: 3-bit values, 7 escapes to a unary tail.
inline constexpr int kLengthFieldBits = 3;
inline constexpr int kLengthEscape = 7;
// After the third code-length entry a 2-bit zero run follows.
inline constexpr int kZeroRunAfter = 3;
inline constexpr int kZeroRunBits = 2;

// Code-length symbols 0..2: one zero, a short run, a long run.
inline constexpr int kShortRunBits = 4;
inline constexpr int kShortRunBase = 3; // 3..18 zeros
inline constexpr int kLongRunBits = 9;
inline constexpr int kLongRunBase = 20;     // 20..531 zeros
inline constexpr int kLengthSymbolBias = 2; // symbol v >= 3 is length v - 2

// A block holds at most this many symbols; the 16-bit count 0 stands for it.
inline constexpr int32_t kMaxBlockSymbols = 65536;

} // namespace qv::payload::lh5
