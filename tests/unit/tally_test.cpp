// The tally's table holds a bounded number of rows whatever the input: what
// finds it full is still counted, on the "other" row of its kind.
#include "decode/tally.h"

#include <gtest/gtest.h>

#include <memory>

namespace vorsk {
namespace {

TEST(Tally, DistinctModesBeyondTheTableGoToTheOtherRow) {
    std::unique_ptr<Tally, void (*)(Tally*)> t(tally_new(), [](Tally* p) {
        std::free(p->slots);
        std::free(p);
    });
    ASSERT_NE(nullptr, t);
    const auto s = std::make_unique<Sequence>();
    s->kind = CSI_SEQUENCE;
    s->marker = '?';
    s->final_byte = 'h';
    s->n_params = 1;
    constexpr std::uint32_t N = 20000;
    for (std::uint32_t mode = 0; mode < N; ++mode) {
        s->params[0] = {mode + 100000, true, 'h'};
        tally_sequence(*t, *s, lookup_csi_function(*s, true), mode);
    }
    // Three quarters of the slots at most; one of them is the row of SM.
    EXPECT_EQ(TALLY_SLOTS / 4 * 3, t->used);
    EXPECT_EQ(N - (t->used - 1), t->other[ROW_PRIVATE_MODE].count);
    EXPECT_EQ(N, t->sequences);
    // A mode seen before the table filled is still counted on its own row.
    s->params[0] = {100000, true, 'h'};
    tally_sequence(*t, *s, lookup_csi_function(*s, true), N);
    EXPECT_EQ(N - (t->used - 1), t->other[ROW_PRIVATE_MODE].count);

    MemorySink memory;
    LineWriter* w = writer_new(Sink{.memory = &memory}, OutputConfig{});
    t->format = SUMMARY_JSON;
    write_summary(*t, *w);
    writer_free(w);
    const std::string json(memory.data, memory.size);
    memory_sink_release(memory);
    EXPECT_NE(std::string::npos,
              json.find("{\"kind\":\"private mode\",\"label\":\"(other)\",\"description\":\"more "
                        "kinds than the summary's table holds\",\"count\":" +
                        std::to_string(N - (TALLY_SLOTS / 4 * 3 - 1)) + ","));
}

}  // namespace
}  // namespace vorsk
