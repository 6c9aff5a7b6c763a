// The memo of sequences: keys made of exactly a sequence's bytes, and two
// slots a set, the one used least recently taken by a new sequence.
#include "decode/sequence_memo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace vorsk {
namespace {

// The key of a sequence whose bytes are followed by others, as in the
// input or in a record's array.
MemoKey key_of(const std::string& sequence, char after = 'X') {
    std::uint8_t bytes[16];
    std::memset(bytes, after, sizeof bytes);
    std::memcpy(bytes, sequence.data(), sequence.size());
    return memo_key(bytes, sequence.size());
}

bool same(const MemoKey& a, const MemoKey& b) {
    return a.size == b.size && a.words[0] == b.words[0] && a.words[1] == b.words[1];
}

TEST(SequenceMemo, AKeyIsTheSequencesBytesAndNoMore) {
    for (const std::string s : {"M", "[K", "[1;31m", "[38;5;196m", "[?1049h", "[12;34;56;78H"}) {
        SCOPED_TRACE(s);
        EXPECT_TRUE(same(key_of(s, 'X'), key_of(s, '\0')));
        EXPECT_FALSE(same(key_of(s), key_of(s + "m")));
        std::string other = s;
        other.back() = static_cast<char>(other.back() + 1);
        EXPECT_FALSE(same(key_of(s), key_of(other)));
    }
}

TEST(SequenceMemo, ANewSequenceTakesTheSlotUsedLeastRecently) {
    // Three sequences that fall on one set.
    std::vector<std::string> keys;
    const std::size_t set = memo_set(key_of("[1H"));
    for (int row = 1; keys.size() < 3; ++row) {
        const std::string s = "[" + std::to_string(row) + "H";
        if (memo_set(key_of(s)) == set) keys.push_back(s);
    }
    auto memo = std::make_unique<SequenceMemo>();
    const auto keep = [&](const std::string& s) {
        memo_keep(*memo, key_of(s), s.data(), s.size());
    };
    const auto lines = [&](const std::string& s) {
        const MemoSlot* slot = memo_find(*memo, key_of(s));
        return slot == nullptr ? std::string("-") : std::string(slot->text, slot->text_size);
    };
    keep(keys[0]);
    keep(keys[1]);
    EXPECT_EQ(lines(keys[0]), keys[0]);  // the first is now the one used last
    keep(keys[2]);
    EXPECT_EQ(lines(keys[0]), keys[0]);
    EXPECT_EQ(lines(keys[1]), "-");
    EXPECT_EQ(lines(keys[2]), keys[2]);
    // Lines longer than a slot are not kept.
    const std::string long_lines(MEMO_TEXT_SIZE + 1, 'x');
    memo_keep(*memo, key_of("[2J"), long_lines.data(), long_lines.size());
    EXPECT_EQ(memo_find(*memo, key_of("[2J")), nullptr);
}

}  // namespace
}  // namespace vorsk
