// Runs of bytes that need no look of their own, found sixteen bytes at a
// time: the dispatcher's printable text and the page's plain content.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vorsk {

using ByteBlock = std::uint8_t __attribute__((vector_size(16)));

// The length of the run at the start of bytes[0, n) of bytes that `stops`
// (a block in, all ones in each byte that ends the run out) passes, and
// `passes` (one byte) for the last bytes, or all of them on a big-endian
// machine.
template <typename Stops, typename Passes>
[[gnu::always_inline]] inline std::size_t byte_run(const std::uint8_t* bytes, std::size_t n,
                                                   Stops stops, Passes passes) {
    std::size_t run = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; run + sizeof(ByteBlock) <= n; run += sizeof(ByteBlock)) {
            ByteBlock block;
            std::memcpy(&block, bytes + run, sizeof block);
            const auto stop = stops(block);
            std::uint64_t halves[2];
            std::memcpy(halves, &stop, sizeof halves);
            if ((halves[0] | halves[1]) == 0) continue;
            return run + (halves[0] != 0
                              ? static_cast<std::size_t>(std::countr_zero(halves[0])) / 8
                              : 8 + static_cast<std::size_t>(std::countr_zero(halves[1])) / 8);
        }
    }
    while (run < n && passes(bytes[run])) ++run;
    return run;
}

}  // namespace vorsk
