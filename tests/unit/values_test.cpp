// The values the families read and the screen they are applied to: the
// parameter groups, the SGR items of both modes, and the screen's
// operations where golden cases reach them poorly (scrolling within a
// region, resizing, the bounds of its size).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "parse/params.h"
#include "screen/screen.h"
#include "vocab/screen_apply.h"
#include "vocab/sgr.h"

namespace vorsk {
namespace {

// Parameters as the parser leaves them: "38:2::1:2:3;4" is
// {38 ':'} {2 ':'} {- ':'} {1 ':'} {2 ':'} {3 ';'} {4 'm'}.
std::vector<Parameter> params(std::initializer_list<std::pair<int, char>> values) {
    std::vector<Parameter> out;
    for (const auto& [value, ended_by] : values) {
        out.push_back({static_cast<std::uint32_t>(value < 0 ? 0 : value), value >= 0,
                       static_cast<std::uint8_t>(ended_by)});
    }
    return out;
}

TEST(ParamGroups, AGroupEndsWhereNoColonDoesAndKeepsItsEmptyParts) {
    const auto p = params({{38, ':'}, {2, ':'}, {-1, ':'}, {1, ':'}, {2, ':'}, {3, ';'}, {4, 'm'}});
    ParamGroups g(p.data(), p.size());
    ASSERT_FALSE(g.done());
    EXPECT_EQ(6u, g.group().n);
    EXPECT_FALSE(g.group().present(2));
    EXPECT_EQ(7u, g.group().at(2, 7));
    EXPECT_EQ(1u, g.groups_after(3));
    g.next();
    EXPECT_EQ(1u, g.group().n);
    EXPECT_EQ(4u, g.group().at(0));
    g.next();
    EXPECT_TRUE(g.done());
}

std::vector<SgrItem> items(const std::vector<Parameter>& p, bool extended) {
    std::vector<SgrItem> out;
    SgrItem item;
    for (SgrReader r(p.data(), p.size(), extended); r.next(item);) out.push_back(item);
    return out;
}

TEST(SgrReader, TheClassicModeReadsNoUnderlineColourAndBothModesStopAtAnUnreadableColour) {
    // 58;5;3: a colour with -X, three values of their own without.
    const auto p = params({{58, ';'}, {5, ';'}, {3, 'm'}});
    ASSERT_EQ(1u, items(p, true).size());
    EXPECT_EQ(SGR_INDEX, items(p, true)[0].kind);
    EXPECT_EQ(PLANE_UNDERLINE, items(p, true)[0].plane);
    ASSERT_EQ(3u, items(p, false).size());
    // 38;7;1: nothing tells where the colour ends, so 1 is not read.
    const auto unknown = params({{38, ';'}, {7, ';'}, {1, 'm'}});
    for (const bool extended : {false, true}) {
        ASSERT_EQ(1u, items(unknown, extended).size());
        EXPECT_EQ(SGR_UNKNOWN, items(unknown, extended)[0].kind);
    }
}

// An SGR's step, applied to any pen, leaves the pen the SGR itself does:
// the step of a sequence that comes again stands for reading it again.
TEST(ScreenStep, AnSgrsStepDoesToEveryPenWhatTheSgrDoes) {
    const std::vector<std::vector<Parameter>> sgrs = {
        params({{0, 'm'}}),
        params({{1, ';'}, {31, 'm'}}),
        params({{22, 'm'}}),
        params({{2, ';'}, {22, ';'}, {3, 'm'}}),
        params({{38, ';'}, {5, ';'}, {200, ';'}, {48, ';'}, {5, ';'}, {17, 'm'}}),
        params({{38, ':'}, {2, ':'}, {-1, ':'}, {1, ':'}, {2, ':'}, {3, 'm'}}),
        params({{4, ':'}, {3, ';'}, {58, ';'}, {5, ';'}, {9, 'm'}}),
        params({{4, ':'}, {0, ';'}, {59, ';'}, {39, ';'}, {49, 'm'}}),
        params({{0, ';'}, {7, ';'}, {45, ';'}, {9, ';'}, {53, 'm'}}),
        params({{27, ';'}, {29, ';'}, {55, ';'}, {24, ';'}, {25, 'm'}}),
        params({{-1, 'm'}}),
    };
    Pen busy;
    busy.fg = 3;
    busy.bg = PEN_RGB | 0x102030;
    busy.underline_color = 12;
    busy.flags = PEN_BOLD | PEN_ITALIC | PEN_INVERSE | PEN_STRIKE | PEN_OVERLINE;
    busy.underline = UNDERLINE_DOUBLE;
    for (const auto& p : sgrs) {
        Sequence seq;
        seq.kind = CSI_SEQUENCE;
        seq.final_byte = 'm';
        seq.n_params = p.size();
        std::copy(p.begin(), p.end(), seq.params);
        ScreenStep step;
        ASSERT_TRUE(screen_step(seq, step));
        for (const Pen& start : {Pen{}, busy}) {
            Pen expected = start;
            pen_apply(expected, seq.params, seq.n_params, true);
            std::unique_ptr<Screen, void (*)(Screen*)> s(screen_new(2, 1), screen_free);
            s->cursor.pen = start;
            screen_apply_step(*s, step);
            EXPECT_EQ(expected, s->cursor.pen) << "SGR of " << p.size() << " parameters";
        }
    }
}

TEST(SgrReader, ThePenAndTheColourDepthFollowTheItems) {
    const auto p = params({{1, ';'},
                           {38, ':'},
                           {2, ':'},
                           {-1, ':'},
                           {255, ':'},
                           {0, ':'},
                           {16, ';'},
                           {4, ':'},
                           {3, 'm'}});
    Pen pen;
    pen_apply(pen, p.data(), p.size(), true);
    EXPECT_EQ(PEN_RGB | 0xff0010u, pen.fg);
    EXPECT_EQ(UNDERLINE_CURLY, pen.underline);
    EXPECT_NE(0, pen.flags & PEN_BOLD);
    // "38:2" alone is too few values: no colour, and no depth counted.
    Sequence s;
    s.kind = CSI_SEQUENCE;
    s.final_byte = 'm';
    s.n_params = 2;
    s.params[0] = {38, true, ':'};
    s.params[1] = {2, true, 'm'};
    EXPECT_EQ(DEPTH_NONE, sgr_color_depth(s, true));
}

std::string row(const Screen& s, int r) {
    // The rows as --screen writes them, through a writer into memory.
    MemorySink sink;
    LineWriter* w = writer_new(Sink{.memory = &sink}, {});
    screen_write(s, *w, "now");
    writer_free(w);
    std::string all(sink.data, sink.size);
    memory_sink_release(sink);
    std::size_t at = all.find('\n');
    for (int i = 0; i < r && at != std::string::npos; ++i) at = all.find('\n', at + 1);
    const std::size_t end = all.find('\n', at + 1);
    return all.substr(at + 3, end - at - 4);
}

void type(Screen& s, const char* text) {
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '\n') {
            screen_control(s, '\r');
            screen_control(s, '\n');
        } else {
            screen_put(s, static_cast<std::uint8_t>(*c), 1, c, 1);
        }
    }
}

using ScreenPtr = std::unique_ptr<Screen, void (*)(Screen*)>;

TEST(Screen, ScrollingWithinARegionLeavesTheLinesOutsideIt) {
    ScreenPtr s(screen_new(3, 4), screen_free);
    ASSERT_NE(nullptr, s);
    type(*s, "a\nb\nc\nd");
    screen_set_margins(*s, 2, 3);
    screen_move_to(*s, 3, 1);
    for (int i = 0; i < 5; ++i) screen_index(*s);
    EXPECT_EQ("a", row(*s, 0));
    EXPECT_EQ("", row(*s, 1));
    EXPECT_EQ("", row(*s, 2));
    EXPECT_EQ("d", row(*s, 3));
    EXPECT_EQ(0u, s->scrolled_off);  // the region does not start at the top
    screen_set_margins(*s, 0, 0);
    screen_move_to(*s, 4, 1);
    screen_index(*s);
    EXPECT_EQ(1u, s->scrolled_off);
    EXPECT_EQ("d", row(*s, 2));
}

// Pens and clusters no cell uses any more are dropped when their tables
// fill, and the cells kept keep their own.
TEST(Screen, ThePensAndClustersOfTheCellsOutliveTheirTablesFilling) {
    ScreenPtr s(screen_new(2, 1), screen_free);
    ASSERT_NE(nullptr, s);
    const auto accent = [&s](std::uint32_t fg) {
        s->cursor.pen = Pen{};
        s->cursor.pen.fg = fg;
        screen_move_to(*s, 1, 1);
        screen_put(*s, 'e', 1, "e", 1);
        screen_put(*s, 0x301, 0, "\xcc\x81", 2);
    };
    // Entries no cell keeps come before the kept cell's, which the
    // renumbering moves.
    for (std::uint32_t i = 0; i < 16; ++i) accent(PEN_RGB | 0x100000 | i);
    Pen kept;
    kept.fg = PEN_RGB | 0x090909;
    s->cursor.pen = kept;
    screen_move_to(*s, 1, 2);
    screen_put(*s, 'K', 1, "K", 1);
    screen_put(*s, 0x301, 0, "\xcc\x81", 2);
    const std::uint32_t rounds = 4 * s->capacity;
    for (std::uint32_t i = 0; i < rounds; ++i) accent(PEN_RGB | i);
    EXPECT_LE(s->n_pens, s->capacity);
    EXPECT_LE(s->n_clusters, s->capacity);
    EXPECT_EQ("e\xcc\x81K\xcc\x81", row(*s, 0));
    const Cell* cells = s->grid[0] + static_cast<std::size_t>(s->order[0][0]) * 2;
    EXPECT_EQ(PEN_RGB | (rounds - 1), s->pens[cells[0].pen].fg);
    EXPECT_EQ(kept, s->pens[cells[1].pen]);
}

// A screen whose every cell has a pen of its own: the tables grow to keep
// them all.
TEST(Screen, TheTablesGrowWhereTheCellsKeepMorePensThanTheyHold) {
    ScreenPtr s(screen_new(100, 60), screen_free);
    ASSERT_NE(nullptr, s);
    const std::uint32_t first = s->capacity;
    for (int round = 0; round < 2; ++round) {
        for (std::uint32_t i = 0; i < 6000; ++i) {
            s->cursor.pen.fg = PEN_RGB | (round << 16 | i);
            screen_put(*s, 'x', 1, "x", 1);
        }
    }
    EXPECT_GT(s->capacity, first);
    for (const int at : {0, 1234, 5999}) {
        const int line = s->order[0][at / 100];
        const Cell& cell = s->grid[0][static_cast<std::size_t>(line) * 100 + at % 100];
        EXPECT_EQ(PEN_RGB | (1 << 16 | static_cast<std::uint32_t>(at)), s->pens[cell.pen].fg);
    }
}

TEST(Screen, AResizeKeepsWhatFitsAndTheSizeStaysWithinItsBounds) {
    ScreenPtr s(screen_new(4, 2), screen_free);
    ASSERT_NE(nullptr, s);
    type(*s, "abcd\nefgh");
    ASSERT_TRUE(screen_resize(*s, 2, 3));
    EXPECT_EQ("ab", row(*s, 0));
    EXPECT_EQ("ef", row(*s, 1));
    EXPECT_EQ("", row(*s, 2));
    type(*s, "xyz");  // the cursor was kept within the new size
    ASSERT_TRUE(screen_resize(*s, 100000, 0));
    EXPECT_EQ(MAX_SCREEN_COLUMNS, s->cols);
    EXPECT_EQ(1, s->rows);
}

}  // namespace
}  // namespace vorsk
