#include "output/json.h"

#include <cstdint>
#include <cstring>

namespace vorsk {

char* json_escape(char* out, std::string_view text) {
    constexpr char hex[] = "0123456789abcdef";
    const char* bytes = text.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        // A run of bytes that stay as they are, in one copy: sixteen bytes
        // at a time, then one by one.
        std::size_t run = i;
        using Block = std::uint8_t __attribute__((vector_size(16)));
        while (run + sizeof(Block) <= n) {
            Block block;
            std::memcpy(&block, bytes + run, sizeof block);
            const Block stop = (block < 0x20) | (block == '"') | (block == '\\');
            std::uint64_t halves[2];
            std::memcpy(halves, &stop, sizeof halves);
            if ((halves[0] | halves[1]) != 0) break;
            run += sizeof(Block);
        }
        // Eight at a time: no byte below 0x20, no quote, no backslash.
        while (run + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, bytes + run, sizeof word);
            constexpr std::uint64_t ones = 0x0101010101010101u;
            constexpr std::uint64_t highs = 0x8080808080808080u;
            const std::uint64_t quote = word ^ (ones * '"');
            const std::uint64_t backslash = word ^ (ones * '\\');
            // A byte below 0x20 (among bytes below 0x80), or one equal to either.
            const std::uint64_t low = (word & ~highs) - ones * 0x20;
            const std::uint64_t stop =
                ((low & ~word) | ((quote - ones) & ~quote) | ((backslash - ones) & ~backslash)) &
                highs;
            if (stop != 0) break;
            run += 8;
        }
        while (run < n) {
            const auto b = static_cast<unsigned char>(bytes[run]);
            if (b < 0x20 || b == '"' || b == '\\') break;
            ++run;
        }
        std::memcpy(out, bytes + i, run - i);
        out += run - i;
        if (run == n) break;
        const auto b = static_cast<unsigned char>(bytes[run]);
        *out++ = '\\';
        if (b == '"' || b == '\\') {
            *out++ = static_cast<char>(b);
        } else {
            std::memcpy(out, "u00", 3);
            out[3] = hex[b >> 4];
            out[4] = hex[b & 0xf];
            out += 5;
        }
        i = run + 1;
    }
    return out;
}

char* json_hex(char* out, std::string_view bytes) {
    constexpr char hex[] = "0123456789abcdef";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = hex[b >> 4];
        *out++ = hex[b & 0xf];
    }
    return out;
}

}  // namespace vorsk
