// The accounts of recent escape sequences. What an escape sequence's lines
// say depends on its bytes and the options alone, and a real stream sends a
// few thousand distinct sequences over and over: the lines of each are kept
// when it is first written and copied when it comes again. A table of
// slots chosen by a hash of the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vorsk {

inline constexpr std::size_t MEMO_SETS = 256;     // a power of two
inline constexpr std::size_t MEMO_WAYS = 2;       // slots a sequence may take
inline constexpr std::size_t MEMO_KEY_SIZE = 14;  // the longest sequence kept, after ESC
inline constexpr std::size_t MEMO_TEXT_SIZE = 176;

// The bytes after ESC, read as two words with zeros after the last.
struct MemoKey {
    std::uint64_t words[2] = {};
    std::size_t size = 0;
};

struct MemoSlot {
    std::uint64_t words[2] = {};
    std::uint8_t key_size = 0;  // 0: the slot is empty
    std::uint8_t text_size = 0;
    char text[MEMO_TEXT_SIZE] = {};  // the lines the sequence made
};

// Each sequence falls on one set of slots, and a new one takes the slot of
// the set used least recently.
struct SequenceMemo {
    MemoSlot slots[MEMO_SETS][MEMO_WAYS];
    std::uint8_t recent[MEMO_SETS] = {};  // the way of each set used last
};

static_assert((MEMO_SETS & (MEMO_SETS - 1)) == 0 && MEMO_WAYS == 2);
static_assert(MEMO_KEY_SIZE < 2 * sizeof(std::uint64_t));
static_assert(MEMO_TEXT_SIZE <= UINT8_MAX && MEMO_TEXT_SIZE % 16 == 0);

// The key of the n bytes at `bytes`, n at most MEMO_KEY_SIZE, where 16
// bytes may be read.
inline MemoKey memo_key(const std::uint8_t* bytes, std::size_t n) {
    MemoKey key;
    std::memcpy(key.words, bytes, sizeof key.words);
    const unsigned bits = static_cast<unsigned>(n) * 8;
    if (bits < 64) {
        key.words[0] &= (std::uint64_t{1} << bits) - 1;
        key.words[1] = 0;
    } else {
        key.words[1] &= (std::uint64_t{1} << (bits - 64)) - 1;
    }
    key.size = n;
    return key;
}

// The set of a key in a table of `sets` sets, a power of two.
inline std::size_t memo_set(const MemoKey& key, std::size_t sets = MEMO_SETS) {
    const std::uint64_t hash =
        (key.words[0] * 0x9E3779B97F4A7C15u) ^ (key.words[1] * 0xC2B2AE3D27D4EB4Fu);
    return (hash >> 40) & (sets - 1);
}

// A slot of any table of two ways keyed by a MemoKey: words, key_size.
template <typename Slot>
inline bool memo_holds(const Slot& slot, const MemoKey& key) {
    return slot.key_size == key.size && slot.words[0] == key.words[0] &&
           slot.words[1] == key.words[1];
}

// The slot of a table that holds the key, or nullptr; it becomes its set's
// most recent.
template <typename Slot, std::size_t Sets>
inline Slot* memo_find_slot(Slot (&slots)[Sets][MEMO_WAYS], std::uint8_t (&recent)[Sets],
                            const MemoKey& key) {
    const std::size_t set = memo_set(key, Sets);
    for (std::uint8_t way = 0; way < MEMO_WAYS; ++way) {
        if (memo_holds(slots[set][way], key)) {
            recent[set] = way;
            return &slots[set][way];
        }
    }
    return nullptr;
}

// The slot a new key takes, the one of its set used least recently, with
// the key in it.
template <typename Slot, std::size_t Sets>
inline Slot& memo_take_slot(Slot (&slots)[Sets][MEMO_WAYS], std::uint8_t (&recent)[Sets],
                            const MemoKey& key) {
    const std::size_t set = memo_set(key, Sets);
    const auto way = static_cast<std::uint8_t>(recent[set] ^ 1);
    Slot& slot = slots[set][way];
    recent[set] = way;
    slot.words[0] = key.words[0];
    slot.words[1] = key.words[1];
    slot.key_size = static_cast<std::uint8_t>(key.size);
    return slot;
}

// The slot that holds the sequence's lines, or nullptr.
inline const MemoSlot* memo_find(SequenceMemo& memo, const MemoKey& key) {
    return memo_find_slot(memo.slots, memo.recent, key);
}

// Keeps the lines of the sequence, when they fit.
inline void memo_keep(SequenceMemo& memo, const MemoKey& key, const char* text, std::size_t size) {
    if (size > MEMO_TEXT_SIZE) return;
    MemoSlot& slot = memo_take_slot(memo.slots, memo.recent, key);
    slot.text_size = static_cast<std::uint8_t>(size);
    std::memcpy(slot.text, text, size);
}

}  // namespace vorsk
