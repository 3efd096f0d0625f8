#include "reading/line_feeds.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <bit>
#include <cstring>

namespace velk {

std::uint64_t lineFeedMaskInWords(const char* bytes) {
  constexpr std::uint64_t kFeeds = 0x0a0a0a0a0a0a0a0aULL;
  constexpr std::uint64_t kLow7 = 0x7f7f7f7f7f7f7f7fULL;
  std::uint64_t mask = 0;
  for (int word = 0; word < 8; ++word) {
    std::uint64_t chunk;
    std::memcpy(&chunk, bytes + 8 * word, 8);
    if constexpr (std::endian::native == std::endian::big) chunk = __builtin_bswap64(chunk);
    const std::uint64_t x = chunk ^ kFeeds;  // a zero byte where the line feeds are
    // The high bit of each byte set exactly where the byte is zero (no carries between
    // bytes), then gathered into the low 8 bits.
    const std::uint64_t zeros = ~(((x & kLow7) + kLow7) | x | kLow7);
    mask |= ((zeros >> 7) * 0x0102040810204080ULL >> 56) << (8 * word);
  }
  return mask;
}

std::uint64_t lineFeedMask(const char* bytes) {
#if defined(__SSE2__)
  const __m128i feed = _mm_set1_epi8('\n');
  std::uint64_t mask = 0;
  for (int part = 0; part < 4; ++part) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
    mask |= static_cast<std::uint64_t>(
                static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, feed))))
            << (16 * part);
  }
  return mask;
#else
  return lineFeedMaskInWords(bytes);
#endif
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] void findLineFeedMasksWithAvx2(const char* bytes, std::size_t chunks,
                                                       std::uint64_t* masks) {
  const __m256i feed = _mm256_set1_epi8('\n');
  for (std::size_t chunk = 0; chunk < chunks; ++chunk, bytes += 64) {
    const auto low = static_cast<std::uint32_t>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes)), feed)));
    const auto high = static_cast<std::uint32_t>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 32)), feed)));
    masks[chunk] = low | static_cast<std::uint64_t>(high) << 32;
  }
}
#endif

void findLineFeedMasks(const char* bytes, std::size_t chunks, std::uint64_t* masks) {
#if defined(__x86_64__)
  static const bool has_avx2 = __builtin_cpu_supports("avx2");
  if (has_avx2) {
    findLineFeedMasksWithAvx2(bytes, chunks, masks);
    return;
  }
#endif
  for (std::size_t chunk = 0; chunk < chunks; ++chunk) masks[chunk] = lineFeedMask(bytes + 64 * chunk);
}

}  // namespace velk
