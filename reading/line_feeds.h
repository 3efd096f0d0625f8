#pragma once

// Internal to reading/: the line-feed search of LineReader, declared here so that the tests
// can hold the processor's comparisons to the word arithmetic.

#include <cstddef>
#include <cstdint>

namespace velk {

// The line feeds among the 64 bytes at `bytes`, as a mask: bit i is set where bytes[i] is
// a line feed. The processor's comparisons of 16 bytes at a time are used where it has
// them (SSE2), the word arithmetic of lineFeedMaskInWords otherwise.
std::uint64_t lineFeedMask(const char* bytes);

// The line-feed mask of the 64 bytes at `bytes` by the zero-byte word test on eight bytes at a time, which every machine
// can run: after an exclusive or with 0x0a in every byte, a byte is zero exactly where a
// line feed was, and ~(((x & 0x7f..) + 0x7f..) | x | 0x7f..) sets the high bit of exactly
// those bytes without carries between them (Warren, "Hacker's Delight", 2nd ed., 6-1;
// the "haszero" test of Anderson's "Bit Twiddling Hacks").
std::uint64_t lineFeedMaskInWords(const char* bytes);

// The masks of `chunks` consecutive chunks of 64 bytes from `bytes` on, into `masks`. The
// bytes are compared 32 at a time on the processors that have AVX2 (asked once, at the
// first call), else as lineFeedMask does.
void findLineFeedMasks(const char* bytes, std::size_t chunks, std::uint64_t* masks);

}  // namespace velk
