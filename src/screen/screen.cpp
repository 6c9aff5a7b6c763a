#include "screen/screen.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/utf8.h"

namespace vorsk {
namespace {

// DEC Special Graphics: what 0x5F to 0x7E draw when the set is invoked.
constexpr std::uint32_t dec_graphics[] = {
    0x00a0, 0x25c6, 0x2592, 0x2409, 0x240c, 0x240d, 0x240a, 0x00b0, 0x00b1, 0x2424, 0x240b,
    0x2518, 0x2510, 0x250c, 0x2514, 0x253c, 0x23ba, 0x23bb, 0x2500, 0x23bc, 0x23bd, 0x251c,
    0x2524, 0x2534, 0x252c, 0x2502, 0x2264, 0x2265, 0x03c0, 0x2260, 0x00a3, 0x00b7,
};
static_assert(std::size(dec_graphics) == 0x7f - 0x5f);

// The SGR sequence that sets a pen from the defaults.
constexpr std::size_t PEN_SGR_SIZE = 96;
static_assert(PEN_SGR_SIZE >= PEN_MARK_SIZE + 8);

void put_color(char*& out, std::uint32_t color, int base, int bright, int extended) {
    if (color == 0) return;
    if (color >= PEN_RGB) {
        const std::uint32_t rgb = color - PEN_RGB;
        out +=
            std::sprintf(out, ";%d;2;%u;%u;%u", extended, rgb >> 16, (rgb >> 8) & 0xff, rgb & 0xff);
    } else if (color <= 8 && base != 0) {
        out += std::sprintf(out, ";%u", base + color - 1);
    } else if (color <= 16 && bright != 0) {
        out += std::sprintf(out, ";%u", bright + color - 9);
    } else {
        out += std::sprintf(out, ";%d;5;%u", extended, color - 1);
    }
}

std::size_t pen_sgr(const Pen& pen, char* start) {
    char* out = start;
    out += std::sprintf(out, "\033[0");
    static constexpr struct {
        std::uint16_t flag;
        const char* sgr;
    } flags[] = {{PEN_BOLD, ";1"},   {PEN_DIM, ";2"},      {PEN_ITALIC, ";3"},
                 {PEN_BLINK, ";5"},  {PEN_INVERSE, ";7"},  {PEN_HIDDEN, ";8"},
                 {PEN_STRIKE, ";9"}, {PEN_OVERLINE, ";53"}};
    for (const auto& f : flags) {
        if ((pen.flags & f.flag) != 0) out += std::sprintf(out, "%s", f.sgr);
    }
    if (pen.underline == UNDERLINE_SINGLE) out += std::sprintf(out, ";4");
    if (pen.underline > UNDERLINE_SINGLE) out += std::sprintf(out, ";4:%d", pen.underline);
    put_color(out, pen.fg, 30, 90, 38);
    put_color(out, pen.bg, 40, 100, 48);
    put_color(out, pen.underline_color, 0, 0, 58);
    *out++ = 'm';
    return static_cast<std::size_t>(out - start);
}

// The pen for a terminal (SGR) or for a page (its pen mark, then the mark
// of text, so that the cells after it are text in that pen).
std::size_t pen_escape(const LineWriter& w, const Pen& pen, char* out) {
    if (!w.config.pen_marks) return pen_sgr(pen, out);
    std::size_t n = format_pen_mark(out, pen);
    const ColorValue& text = w.config.palette.colors[TEXT_COLOR];
    out[n++] = '\x1b';
    out[n++] = '[';
    std::memcpy(out + n, text.text, text.len);
    n += text.len;
    out[n++] = 'm';
    return n;
}

// Room kept in the tables for what one operation may add before the
// next renumbering: at most a few entries for each line of the screen.
constexpr std::uint32_t TABLE_RESERVE = 8 * MAX_SCREEN_ROWS;
constexpr std::uint32_t NONE = 0xffffffff;

std::uint32_t pen_hash(const Pen& p) {
    std::uint32_t h = p.fg * 0x9e3779b1u;
    h ^= p.bg * 0x85ebca77u;
    h ^= (p.underline_color + (static_cast<std::uint32_t>(p.flags) << 8 | p.underline)) *
         0xc2b2ae3du;
    return h ^ h >> 15;
}

void add_slot(Screen& s, std::uint32_t id) {
    std::uint32_t at = pen_hash(s.pens[id]) & s.slot_mask;
    while (s.slots[at] != NONE) at = (at + 1) & s.slot_mask;
    s.slots[at] = id;
}

// Every cell the screens keep, and the last character written.
template <typename Visit>
void each_cell(Screen& s, Visit visit) {
    for (int which = 0; which < 2; ++which) {
        for (int line = 0; line < s.rows; ++line) {
            Cell* cells =
                s.grid[which] + static_cast<std::size_t>(line) * static_cast<std::size_t>(s.cols);
            for (int col = s.start[which][line]; col < s.filled[which][line]; ++col)
                visit(cells[col]);
        }
    }
    visit(s.last);
}

bool allocate_tables(Screen& s, std::uint32_t capacity);

// The most entries the tables may need: every cell of both screens with a
// pen and a cluster of its own, twice over, so that renumbering comes
// seldom even then. They begin smaller and grow where a stream keeps more.
std::uint32_t most_entries(int cols, int rows) {
    return 2 * static_cast<std::uint32_t>(2 * cols * rows + 1) + 64 + TABLE_RESERVE;
}
constexpr std::uint32_t FIRST_ENTRIES = 4096 + TABLE_RESERVE;

// Drops the pens and clusters no cell uses and numbers the rest anew, in
// their order, the default pen staying 0; then, where the cells keep more
// than half the room, the tables grow.
void renumber(Screen& s) {
    std::uint32_t* const id = s.renumber;
    std::fill(id, id + s.n_pens, NONE);
    id[0] = 0;
    each_cell(s, [id](Cell& c) { id[c.pen] = 0; });
    std::uint32_t n = 0;
    for (std::uint32_t i = 0; i < s.n_pens; ++i) {
        if (id[i] == NONE) continue;
        s.pens[n] = s.pens[i];
        id[i] = n++;
    }
    s.n_pens = n;
    std::fill(s.slots, s.slots + s.slot_mask + 1, NONE);
    for (std::uint32_t i = 0; i < n; ++i) add_slot(s, i);
    each_cell(s, [id](Cell& c) { c.pen = id[c.pen]; });
    s.memo_pen = Pen{};
    s.memo_id = 0;
    s.memo_bg = 0;
    s.memo_bg_id = 0;

    std::fill(id, id + s.n_clusters, NONE);
    const auto cluster = [](const Cell& c) { return (c.ch & CELL_CLUSTER) != 0; };
    each_cell(s, [&](Cell& c) {
        if (cluster(c)) id[c.ch & CELL_CODE] = 0;
    });
    n = 0;
    for (std::uint32_t i = 0; i < s.n_clusters; ++i) {
        if (id[i] == NONE) continue;
        s.clusters[n] = s.clusters[i];
        id[i] = n++;
    }
    s.n_clusters = n;
    each_cell(s, [&](Cell& c) {
        if (cluster(c)) c.ch = (c.ch & ~CELL_CODE) | id[c.ch & CELL_CODE];
    });
    const std::uint32_t kept = std::max(s.n_pens, s.n_clusters);
    if (kept > (s.capacity - TABLE_RESERVE) / 2) {
        // Memory exhausted leaves the tables as they are: the reserve still
        // serves, and a full table gives the default pen or no cluster.
        allocate_tables(s, std::min(2 * s.capacity, most_entries(s.cols, s.rows)));
    }
}

// Called where an operation begins, never within one: the numbers an
// operation holds stay good until it ends.
[[gnu::always_inline]] inline void settle(Screen& s) {
    const std::uint32_t room = s.capacity - TABLE_RESERVE;
    if (s.n_pens > room || s.n_clusters > room) renumber(s);
}

// The number of a pen, added to the table when it is new. The table
// always has room (settle); when an operation outgrows its reserve, which
// none can, the default pen stands in.
std::uint32_t pen_id(Screen& s, const Pen& pen) {
    std::uint32_t at = pen_hash(pen) & s.slot_mask;
    for (std::uint32_t id = s.slots[at]; id != NONE; id = s.slots[at]) {
        if (s.pens[id] == pen) return id;
        at = (at + 1) & s.slot_mask;
    }
    if (s.n_pens == s.capacity) return 0;
    s.pens[s.n_pens] = pen;
    s.slots[at] = s.n_pens;
    return s.n_pens++;
}

// The number of the cursor's pen.
[[gnu::always_inline]] inline std::uint32_t cursor_pen(Screen& s) {
    // Compared as bytes, padding and all: a pen copied is the same bytes,
    // and a pen the same but for its padding is only looked up again.
    if (std::memcmp(&s.cursor.pen, &s.memo_pen, sizeof(Pen)) != 0) {
        s.memo_pen = s.cursor.pen;
        s.memo_id = pen_id(s, s.memo_pen);
    }
    return s.memo_id;
}

// A blank: erased cells take the background of the pen (xterm's
// behaviour) and nothing else of it.
Cell blank(Screen& s, std::uint32_t bg) {
    if (bg != s.memo_bg) {
        Pen pen;
        pen.bg = bg;
        s.memo_bg = bg;
        s.memo_bg_id = pen_id(s, pen);
    }
    return Cell{CELL_BLANK, s.memo_bg_id};
}

// A blank in the background of a cell's pen.
Cell blank_of(Screen& s, Cell c) {
    return blank(s, s.pens[c.pen].bg);
}

// A cluster's number, made from the UTF-8 given, cut to what fits; NONE
// when the table is full.
std::uint32_t add_cluster(Screen& s, const char* text, std::size_t n) {
    if (s.n_clusters == s.capacity) return NONE;
    Cluster& c = s.clusters[s.n_clusters];
    c.size = static_cast<std::uint8_t>(std::min(n, Cluster::TEXT_SIZE));
    std::memcpy(c.text, text, c.size);
    return s.n_clusters++;
}

// The UTF-8 of a cell's character; out holds at least Cluster::TEXT_SIZE.
std::size_t cell_text(const Screen& s, Cell c, char* out) {
    if ((c.ch & CELL_CLUSTER) != 0) {
        const Cluster& cluster = s.clusters[c.ch & CELL_CODE];
        std::memcpy(out, cluster.text, cluster.size);
        return cluster.size;
    }
    std::uint32_t cp = c.ch & CELL_CODE;
    if ((c.ch & CELL_GRAPHIC) != 0 && cp >= 0x5f && cp <= 0x7e) cp = dec_graphics[cp - 0x5f];
    return utf8_encode(cp, out);
}

// A blank, or a space of the DEC set.
bool is_blank(Cell c) {
    return (c.ch & ~CELL_GRAPHIC) == CELL_BLANK;
}

Cell* grid_row(Screen& s, int which, int line) {
    return s.grid[which] + static_cast<std::size_t>(line) * static_cast<std::size_t>(s.cols);
}

// Writes the blanks of a line's tail into the grid up to column `upto`.
void fill_tail(Screen& s, int which, int line, int upto);
void cut_wide(Screen& s, int row, int b);
void cut_whole(Screen& s, Cell* r, int b);
Cell* row_of(Screen& s, int row);

static_assert(sizeof(Cell) == sizeof(std::uint64_t));

std::uint64_t cell_bits(Cell c) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &c, sizeof bits);
    return bits;
}

// n cells of c.
void fill(Cell* from, int n, Cell c) {
#if defined(__SSE2__)
    if (n >= 2) {
        // Two cells a store, the last two over a cell already filled where
        // n is odd.
        const __m128i two = _mm_set1_epi64x(static_cast<long long>(cell_bits(c)));
        auto* to = reinterpret_cast<__m128i*>(from);
        int i = 0;
        for (; i + 8 <= n; i += 8, to += 4) {
            _mm_storeu_si128(to, two);
            _mm_storeu_si128(to + 1, two);
            _mm_storeu_si128(to + 2, two);
            _mm_storeu_si128(to + 3, two);
        }
        for (; i + 2 <= n; i += 2) _mm_storeu_si128(to++, two);
        if (i != n) _mm_storeu_si128(reinterpret_cast<__m128i*>(from + n - 2), two);
        return;
    }
#endif
    for (int i = 0; i < n; ++i) from[i] = c;
}

// Writes the blanks before a line's start into the grid.
void fill_head(Screen& s, int which, int line);

// A line of the active screen whose first `upto` cells are in the grid.
[[gnu::always_inline]] inline Cell* row_upto(Screen& s, int row, int upto) {
    const int line = s.order[s.active][row];
    if (s.start[s.active][line] != 0) fill_head(s, s.active, line);
    if (s.filled[s.active][line] < upto) fill_tail(s, s.active, line, upto);
    return grid_row(s, s.active, line);
}

// A line of the active screen, all of its cells in the grid.
Cell* row_of(Screen& s, int row) {
    return row_upto(s, row, s.cols);
}

// A line of the active screen changes, by the painter's hand.
[[gnu::always_inline]] inline void paint_line(Screen& s, int line) {
    s.painted[s.active][line] = s.painter;
}

[[gnu::always_inline]] inline void paint(Screen& s, int row) {
    paint_line(s, s.order[s.active][row]);
}

// The line becomes blanks of background bg from column `from` on.
void blank_tail(Screen& s, int row, int from, std::uint32_t bg) {
    const int line = s.order[s.active][row];
    paint_line(s, line);
    if (s.filled[s.active][line] > from)
        s.filled[s.active][line] = static_cast<std::uint16_t>(from);
    if (s.start[s.active][line] > from) s.start[s.active][line] = static_cast<std::uint16_t>(from);
    s.tail_bg[s.active][line] = bg;
}

void fill_tail(Screen& s, int which, int line, int upto) {
    const Cell b = blank(s, s.tail_bg[which][line]);
    std::uint16_t& filled = s.filled[which][line];
    fill(grid_row(s, which, line) + filled, upto - filled, b);
    filled = static_cast<std::uint16_t>(upto);
}

void fill_head(Screen& s, int which, int line) {
    const Cell b = blank(s, s.head_bg[which][line]);
    std::uint16_t& start = s.start[which][line];
    fill(grid_row(s, which, line), start, b);
    start = 0;
}

// Lines [from, from + n) of the active screen, blanks of background bg.
void blank_rows(Screen& s, int from, int n, std::uint32_t bg) {
    for (int r = from; r < from + n; ++r) blank_tail(s, r, 0, bg);
}

void clear_grid(Screen& s, int which) {
    for (int r = 0; r < s.rows; ++r) {
        s.order[which][r] = static_cast<std::uint16_t>(r);
        s.filled[which][r] = 0;
        s.start[which][r] = 0;
        s.painted[which][r] = s.painter;
        s.tail_bg[which][r] = 0;
    }
}

void default_tabs(Screen& s) {
    static constexpr auto every_eighth = [] {
        std::array<bool, MAX_SCREEN_COLUMNS> stops{};
        for (int i = 8; i < MAX_SCREEN_COLUMNS; i += 8) stops[static_cast<std::size_t>(i)] = true;
        return stops;
    }();
    std::memcpy(s.tab_stops, every_eighth.data(), sizeof s.tab_stops);
}

int clamp(int v, int low, int high) {
    return v < low ? low : v > high ? high : v;
}

bool narrow(const Screen& s) {
    return s.left != 0 || s.right != s.cols - 1;
}

bool within_sides(const Screen& s, int col) {
    return col >= s.left && col <= s.right;
}

// The last column text reaches from the cursor: the right margin from
// within the margins, the edge of the screen from beyond them.
int line_end(const Screen& s) {
    return s.cursor.col <= s.right ? s.right : s.cols - 1;
}

// Cells [left, right] of rows [from, to] move up (n > 0) or down by |n|,
// blanks coming in: scrolling within the left and right margins.
void shift_rect_rows(Screen& s, int from, int to, int n, int left, int right) {
    const int count = std::min(n < 0 ? -n : n, to - from + 1);
    const auto width = static_cast<std::size_t>(right - left + 1) * sizeof(Cell);
    const auto line = [&s](int r) { return grid_row(s, s.active, s.order[s.active][r]); };
    // Each line is made whole in the grid and a wide character across
    // either margin cut, then its cells go to the line `count` away, whose
    // own went on before.
    const int step = n > 0 ? 1 : -1;
    const int first = n > 0 ? from : to;
    const int last = n > 0 ? to : from;
    for (int r = first;; r += step) {
        Cell* cells = row_of(s, r);
        cut_whole(s, cells, left);
        cut_whole(s, cells, right + 1);
        paint(s, r);
        const int into = r - step * count;
        if (into >= from && into <= to) std::memcpy(line(into) + left, cells + left, width);
        if (r == last) break;
    }
    // The lines that come in blank.
    const Cell b = blank(s, s.cursor.pen.bg);
    const int blank_from = n > 0 ? to - count + 1 : from;
    for (int r = blank_from; r < blank_from + count; ++r) fill(line(r) + left, right - left + 1, b);
}

// Rows [from, to] of the active screen move up by n, blanks coming in at
// the bottom.
void scroll_rows_up(Screen& s, int from, int to, int n) {
    if (n <= 0 || from > to) return;
    if (narrow(s)) {
        shift_rect_rows(s, from, to, n, s.left, s.right);
        return;
    }
    n = std::min(n, to - from + 1);
    if (s.active == 0 && from == 0) s.scrolled_off += static_cast<std::uint64_t>(n);
    std::uint16_t* order = s.order[s.active];
    if (n == 1) {
        const std::uint16_t first = order[from];
        std::memmove(order + from, order + from + 1,
                     static_cast<std::size_t>(to - from) * sizeof *order);
        order[to] = first;
    } else {
        std::rotate(order + from, order + from + n, order + to + 1);
    }
    blank_rows(s, to - n + 1, n, s.cursor.pen.bg);
}

void scroll_rows_down(Screen& s, int from, int to, int n) {
    if (n <= 0 || from > to) return;
    if (narrow(s)) {
        shift_rect_rows(s, from, to, -n, s.left, s.right);
        return;
    }
    n = std::min(n, to - from + 1);
    std::uint16_t* order = s.order[s.active];
    std::rotate(order + from, order + to + 1 - n, order + to + 1);
    blank_rows(s, from, n, s.cursor.pen.bg);
}

// Cuts row r between columns b - 1 and b, where a change begins or ends:
// a wide character across the cut becomes two blanks, and at the right
// margin (b = cols) a wide character whose right half an insertion pushed
// off becomes a blank.
[[gnu::always_inline]] inline void cut_wide(Screen& s, int row, int b) {
    if (b <= 0 || b > s.cols) return;
    const int line = s.order[s.active][row];
    const int filled = s.filled[s.active][line];
    const int start = s.start[s.active][line];
    Cell* r = grid_row(s, s.active, line);
    if (b == s.cols) {
        if (b - 1 < filled && b - 1 >= start && cell_width(r[b - 1]) == 2)
            r[b - 1] = blank_of(s, r[b - 1]);
        return;
    }
    // Before the start and past the filled cells there are only blanks.
    if (b < filled && b > start && cell_width(r[b]) == 0 && cell_width(r[b - 1]) == 2) {
        r[b - 1] = blank_of(s, r[b - 1]);
        r[b] = blank_of(s, r[b]);
    }
}

// As cut_wide, on a line all of whose cells are in the grid.
void cut_whole(Screen& s, Cell* r, int b) {
    if (b <= 0 || b > s.cols) return;
    if (b == s.cols) {
        if (cell_width(r[b - 1]) == 2) r[b - 1] = blank_of(s, r[b - 1]);
    } else if (cell_width(r[b]) == 0 && cell_width(r[b - 1]) == 2) {
        r[b - 1] = blank_of(s, r[b - 1]);
        r[b] = blank_of(s, r[b]);
    }
}

// Where k cells of text go at the cursor, in place: a wide character cut
// at either end leaves blanks, as any character written over it does; in
// insert mode the line moves right by the k cells at once, as it would a
// character at a time.
[[gnu::always_inline]] inline Cell* make_room(Screen& s, int k, int end) {
    const int col = s.cursor.col;
    const int to = col + k;
    const int row = s.cursor.row;
    if (s.insert) [[unlikely]] {
        Cell* r = row_of(s, row);
        paint(s, row);
        cut_wide(s, row, col);
        cut_wide(s, row, end + 1);
        std::memmove(r + to, r + col, static_cast<std::size_t>(end + 1 - to) * sizeof(Cell));
        if (cell_width(r[end]) == 2) r[end] = blank_of(s, r[end]);
        return r + col;
    }
    const int line = s.order[s.active][row];
    std::uint16_t& filled = s.filled[s.active][line];
    std::uint16_t& start = s.start[s.active][line];
    Cell* r = grid_row(s, s.active, line);
    paint_line(s, line);
    if (filled <= col) {
        // Past the filled cells there are only blanks, which nothing cuts.
        if (filled == 0) {
            // A blank line: the blanks before the text stay as they are.
            start = static_cast<std::uint16_t>(col);
            s.head_bg[s.active][line] = s.tail_bg[s.active][line];
        } else if (filled < col) {
            fill_tail(s, s.active, line, col);
        }
        filled = static_cast<std::uint16_t>(to);
        return r + col;
    }
    if (col < start) fill_head(s, s.active, line);
    if (cell_width(r[col]) == 0 && col > start && cell_width(r[col - 1]) == 2) {
        r[col - 1] = blank_of(s, r[col - 1]);
        r[col] = blank_of(s, r[col]);
    }
    if (to < filled) {
        if (cell_width(r[to]) == 0 && cell_width(r[to - 1]) == 2) {
            r[to - 1] = blank_of(s, r[to - 1]);
            r[to] = blank_of(s, r[to]);
        }
    } else {
        filled = static_cast<std::uint16_t>(to);
    }
    return r + col;
}

// Writes a character (ch with its width) at the cursor in the cursor's pen.
void write_cell(Screen& s, std::uint32_t ch) {
    Cursor& c = s.cursor;
    const int width = static_cast<int>(ch >> CELL_WIDTH_SHIFT);
    const int end = line_end(s);
    Cell* out = make_room(s, width, end);
    const std::uint32_t pen = cursor_pen(s);
    out[0] = Cell{ch, pen};
    if (width == 2) out[1] = Cell{0, pen};
    s.last = Cell{ch, 0};
    c.col += width;
    if (c.col > end) {
        c.col = end;
        c.pending_wrap = s.autowrap;
    }
}

void home(Screen& s) {
    s.cursor.row = s.cursor.origin ? s.top : 0;
    s.cursor.col = s.cursor.origin ? s.left : 0;
    s.cursor.pending_wrap = false;
}

// The grids of a size.
bool allocate(Screen& s, int cols, int rows) {
    const std::size_t n = static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows);
    for (Cell*& g : s.grid) {
        std::free(g);
        g = static_cast<Cell*>(std::malloc(n * sizeof(Cell)));
        if (g == nullptr) return false;
    }
    s.cols = cols;
    s.rows = rows;
    return true;
}

// Tables of pens and clusters of `capacity` entries, the numbers kept; no
// smaller than they are.
bool allocate_tables(Screen& s, std::uint32_t capacity) {
    if (capacity <= s.capacity) return true;
    std::uint32_t slots = 1;
    while (slots < 2 * capacity) slots *= 2;
    auto* pens = static_cast<Pen*>(std::realloc(s.pens, capacity * sizeof(Pen)));
    if (pens != nullptr) s.pens = pens;
    auto* clusters = static_cast<Cluster*>(std::realloc(s.clusters, capacity * sizeof(Cluster)));
    if (clusters != nullptr) s.clusters = clusters;
    auto* renumber =
        static_cast<std::uint32_t*>(std::realloc(s.renumber, capacity * sizeof(std::uint32_t)));
    if (renumber != nullptr) s.renumber = renumber;
    auto* found = static_cast<std::uint32_t*>(std::malloc(slots * sizeof(std::uint32_t)));
    if (pens == nullptr || clusters == nullptr || renumber == nullptr || found == nullptr) {
        std::free(found);
        return false;
    }
    std::free(s.slots);
    s.slots = found;
    s.slot_mask = slots - 1;
    s.capacity = capacity;
    std::fill(s.slots, s.slots + slots, NONE);
    for (std::uint32_t i = 0; i < s.n_pens; ++i) add_slot(s, i);
    return true;
}

}  // namespace

Screen* screen_new(int cols, int rows) {
    auto* s = static_cast<Screen*>(std::calloc(1, sizeof(Screen)));
    if (s == nullptr) return nullptr;
    *s = Screen{};
    cols = clamp(cols, 1, MAX_SCREEN_COLUMNS);
    rows = clamp(rows, 1, MAX_SCREEN_ROWS);
    if (!allocate(*s, cols, rows) ||
        !allocate_tables(*s, std::min(FIRST_ENTRIES, most_entries(cols, rows)))) {
        screen_free(s);
        return nullptr;
    }
    // The default pen is number 0, always.
    s->pens[0] = Pen{};
    s->n_pens = 1;
    add_slot(*s, 0);
    screen_reset(*s, true);
    return s;
}

void screen_free(Screen* s) {
    if (s == nullptr) return;
    for (Cell* g : s->grid) std::free(g);
    std::free(s->pens);
    std::free(s->clusters);
    std::free(s->slots);
    std::free(s->renumber);
    std::free(s);
}

bool screen_resize(Screen& s, int cols, int rows) {
    cols = clamp(cols, 1, MAX_SCREEN_COLUMNS);
    rows = clamp(rows, 1, MAX_SCREEN_ROWS);
    if (cols == s.cols && rows == s.rows) return true;
    const Screen old = s;
    s.grid[0] = s.grid[1] = nullptr;
    if (!allocate(s, cols, rows)) {
        for (Cell* g : s.grid) std::free(g);
        s = old;
        return false;
    }
    // The lines within both sizes keep their written cells and their blank
    // tails; a wide character the new margin cuts becomes a blank.
    for (int which = 0; which < 2; ++which) {
        clear_grid(s, which);
        for (int r = 0; r < std::min(rows, old.rows); ++r) {
            const int line = old.order[which][r];
            const int kept = std::min<int>(cols, old.filled[which][line]);
            Cell* row = grid_row(s, which, r);
            std::memcpy(row,
                        old.grid[which] +
                            static_cast<std::size_t>(line) * static_cast<std::size_t>(old.cols),
                        static_cast<std::size_t>(kept) * sizeof(Cell));
            const int start = std::min<int>(kept, old.start[which][line]);
            s.filled[which][r] = static_cast<std::uint16_t>(kept);
            s.start[which][r] = static_cast<std::uint16_t>(start);
            s.tail_bg[which][r] = old.tail_bg[which][line];
            s.head_bg[which][r] = old.head_bg[which][line];
            s.painted[which][r] = old.painted[which][line];
            if (kept == cols && cols - 1 >= start && cell_width(row[cols - 1]) == 2)
                row[cols - 1] = blank_of(s, row[cols - 1]);
        }
        std::free(old.grid[which]);
    }
    s.top = 0;
    s.bottom = rows - 1;
    s.left = 0;
    s.right = cols - 1;
    s.cursor.row = std::min(s.cursor.row, rows - 1);
    s.cursor.col = std::min(s.cursor.col, cols - 1);
    s.cursor.pending_wrap = false;
    return true;
}

namespace {

// A character of width 0 joins the character before the cursor, in a
// cluster of its own: clusters are never changed once made, so that cells
// may share one (REP).
void join(Screen& s, const char* bytes, std::size_t n) {
    const Cursor& c = s.cursor;
    int col = c.pending_wrap ? c.col : c.col - 1;
    Cell* r = row_of(s, c.row);
    while (col > 0 && cell_width(r[col]) == 0) --col;
    if (col < 0) return;
    char text[Cluster::TEXT_SIZE + 4];
    const std::size_t size = cell_text(s, r[col], text);
    if (size + n > Cluster::TEXT_SIZE) return;
    std::memcpy(text + size, bytes, n);
    const std::uint32_t cluster = add_cluster(s, text, size + n);
    if (cluster == NONE) return;
    paint(s, c.row);
    r[col].ch = (r[col].ch & ~(CELL_CODE | CELL_GRAPHIC)) | CELL_CLUSTER | cluster;
}

}  // namespace

namespace {

// A character (ch with its width, 1 or 2) at the cursor: the line wraps
// first where the last character reached the right margin, and a wide
// character never straddles the margin.
void put_cell(Screen& s, std::uint32_t ch) {
    Cursor& c = s.cursor;
    const auto width = static_cast<int>(ch >> CELL_WIDTH_SHIFT);
    if (c.pending_wrap) {
        // The next line begins at the left margin where the text reached
        // the right one.
        c.col = c.col == s.right ? s.left : 0;
        c.pending_wrap = false;
        screen_index(s);
    }
    if (width == 2 && c.col == line_end(s)) {
        // A wide character goes on the next line with autowrap, and without
        // it is not drawn (as tmux does).
        if (!s.autowrap) return;
        row_of(s, c.row)[c.col] = blank(s, c.pen.bg);
        paint(s, c.row);
        c.col = c.col == s.right ? s.left : 0;
        screen_index(s);
    }
    if (width == 2 && line_end(s) - c.col < 1) return;
    write_cell(s, ch);
}

}  // namespace

void screen_put(Screen& s, std::uint32_t cp, int width, const char* bytes, std::size_t n) {
    settle(s);
    Cursor& c = s.cursor;
    if (width == 0) {
        join(s, bytes, n);
        return;
    }
    const char set = c.g[c.single_shift != 0 ? c.single_shift : c.gl & 3];
    c.single_shift = 0;
    if (set == '0' && cp >= 0x5f && cp <= 0x7e) cp = dec_graphics[cp - 0x5f];
    put_cell(s, (cp & CELL_CODE) | static_cast<std::uint32_t>(width) << CELL_WIDTH_SHIFT);
}

namespace {

#if defined(__SSE2__)
// Eight bytes widened to eight cells, each given the bits of a cell.
void widen_eight(const std::uint8_t* in, __m128i with, Cell* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in)), zero);
    auto* to = reinterpret_cast<__m128i*>(out);
    const __m128i quarters[2] = {_mm_unpacklo_epi16(bytes, zero), _mm_unpackhi_epi16(bytes, zero)};
    for (const __m128i quarter : quarters) {
        _mm_storeu_si128(to++, _mm_or_si128(_mm_unpacklo_epi32(quarter, zero), with));
        _mm_storeu_si128(to++, _mm_or_si128(_mm_unpackhi_epi32(quarter, zero), with));
    }
}
#endif

// The first cells of k bytes, widened and given the bits of a cell, as
// many as go eight at a time, the last eight over cells already written
// where they overlap (none where the hardware's vectors are unknown to this
// code): how many.
int widen_ascii(const std::uint8_t* in, int k, std::uint64_t bits, Cell* out) {
#if defined(__SSE2__)
    if (k < 8) return 0;
    const __m128i with = _mm_set1_epi64x(static_cast<long long>(bits));
    int j = 0;
    for (; j + 8 <= k; j += 8) widen_eight(in + j, with, out + j);
    if (j != k) widen_eight(in + k - 8, with, out + k - 8);
    return k;
#else
    (void)in;
    (void)k;
    (void)bits;
    (void)out;
    return 0;
#endif
}

}  // namespace

void screen_put_ascii(Screen& s, const char* bytes, std::size_t n) {
    settle(s);
    Cursor& c = s.cursor;
    const auto* in = reinterpret_cast<const std::uint8_t*>(bytes);
    const std::uint8_t* const stop = in + n;
    if (c.single_shift != 0 && in != stop) {
        screen_put(s, *in, 1, bytes, 1);
        ++in;
    }
    // In the DEC set each byte is kept as it came and drawn as the set's.
    const std::uint32_t ch_bits =
        1u << CELL_WIDTH_SHIFT | (c.g[c.gl & 3] == '0' ? CELL_GRAPHIC : 0);
    const std::uint64_t bits = cell_bits(Cell{ch_bits, cursor_pen(s)});
    while (in != stop) {
        if (c.pending_wrap) {
            // The next line begins at the left margin where the text
            // reached the right one, as screen_put wraps a character.
            c.col = c.col == s.right ? s.left : 0;
            c.pending_wrap = false;
            screen_index(s);
        }
        // The part of the run that goes on this line, each byte widened to
        // a cell of its code point, width 1 and the pen.
        const int end = line_end(s);
        const int k = static_cast<int>(std::min(static_cast<std::size_t>(stop - in),
                                                static_cast<std::size_t>(end + 1 - c.col)));
        Cell* out = make_room(s, k, end);
        for (int j = widen_ascii(in, k, bits, out); j < k; ++j) {
            const std::uint64_t cell = in[j] | bits;
            std::memcpy(out + j, &cell, sizeof cell);
        }
        in += k;
        if (!s.autowrap && in != stop) [[unlikely]] {
            // Without autowrap each byte past the margin takes the line's
            // last cell in turn: the run's last byte is the one that stays.
            const std::uint64_t cell = stop[-1] | bits;
            std::memcpy(out + k - 1, &cell, sizeof cell);
            in = stop;
        }
        s.last.ch = out[k - 1].ch;
        c.col += k;
        if (c.col > end) {
            c.col = end;
            c.pending_wrap = s.autowrap;
        }
    }
}

void screen_single_shift(Screen& s, int set) {
    s.cursor.single_shift = static_cast<std::uint8_t>(set & 3);
}

void screen_lock_shift(Screen& s, int set) {
    s.cursor.gl = static_cast<std::uint8_t>(set & 3);
}

namespace {

struct Rect {
    int top, left, bottom, right;  // 0-based, inclusive
};

// A rectangle as a sequence gives it, on the screen; false where it is empty.
bool place_rect(const Screen& s, int top, int left, int bottom, int right, Rect& r) {
    const int base = s.cursor.origin ? s.top : 0;
    const int last_row = s.cursor.origin ? s.bottom : s.rows - 1;
    r.top = clamp(base + std::max(top, 1) - 1, base, last_row);
    r.bottom = bottom <= 0 ? last_row : clamp(base + bottom - 1, base, last_row);
    r.left = clamp(std::max(left, 1) - 1, 0, s.cols - 1);
    r.right = right <= 0 ? s.cols - 1 : clamp(right - 1, 0, s.cols - 1);
    return r.top <= r.bottom && r.left <= r.right;
}

// The rectangle filled with ch in pen, or with blanks without a pen.
void fill_rect(Screen& s, const Rect& r, std::uint32_t ch, const Pen* pen) {
    for (int row = r.top; row <= r.bottom; ++row) {
        Cell* cells = row_of(s, row);
        paint(s, row);
        cut_wide(s, row, r.left);
        cut_wide(s, row, r.right + 1);
        const Cell c = pen != nullptr ? Cell{ch, pen_id(s, *pen)} : blank(s, s.cursor.pen.bg);
        fill(cells + r.left, r.right - r.left + 1, c);
    }
}

}  // namespace

void screen_fill_rect(Screen& s, int top, int left, int bottom, int right, char ch) {
    settle(s);
    Rect r{};
    if (!place_rect(s, top, left, bottom, right, r)) return;
    fill_rect(s, r, static_cast<std::uint8_t>(ch) | 1u << CELL_WIDTH_SHIFT, &s.cursor.pen);
}

void screen_erase_rect(Screen& s, int top, int left, int bottom, int right) {
    settle(s);
    Rect r{};
    if (place_rect(s, top, left, bottom, right, r)) fill_rect(s, r, CELL_BLANK, nullptr);
}

void screen_copy_rect(Screen& s, int top, int left, int bottom, int right, int to_top,
                      int to_left) {
    settle(s);
    Rect from{};
    if (!place_rect(s, top, left, bottom, right, from)) return;
    Rect to{};
    if (!place_rect(s, to_top, to_left, 0, 0, to)) return;
    const int height = std::min(from.bottom - from.top, to.bottom - to.top) + 1;
    const int width = std::min(from.right - from.left, to.right - to.left) + 1;
    // Rows in the order that never reads a row already written, cells
    // through memmove.
    const bool down = to.top > from.top;
    for (int i = 0; i < height; ++i) {
        const int k = down ? height - 1 - i : i;
        const Cell* source = row_of(s, from.top + k) + from.left;
        cut_wide(s, to.top + k, to.left);
        cut_wide(s, to.top + k, to.left + width);
        Cell* target = row_of(s, to.top + k) + to.left;
        paint(s, to.top + k);
        std::memmove(target, source, static_cast<std::size_t>(width) * sizeof(Cell));
        // Halves of wide characters cut at the edges of the copy are blanks.
        if (cell_width(target[0]) == 0) target[0] = blank_of(s, target[0]);
        if (cell_width(target[width - 1]) == 2) target[width - 1] = blank_of(s, target[width - 1]);
    }
}

namespace {

// IND and LF: the cursor down a line, the region scrolling at its bottom.
[[gnu::always_inline]] inline void index_line(Screen& s) {
    Cursor& c = s.cursor;
    if (c.row == s.bottom && within_sides(s, c.col)) {
        if (narrow(s)) {
            settle(s);
            scroll_rows_up(s, s.top, s.bottom, 1);
            return;
        }
        // The region's lines move up by one, its first line coming in at
        // the bottom as a blank line.
        std::uint16_t* order = s.order[s.active];
        const std::uint16_t first = order[s.top];
        std::memmove(order + s.top, order + s.top + 1,
                     static_cast<std::size_t>(s.bottom - s.top) * sizeof *order);
        order[s.bottom] = first;
        s.filled[s.active][first] = 0;
        s.start[s.active][first] = 0;
        paint_line(s, first);
        s.tail_bg[s.active][first] = c.pen.bg;
        // A line leaves the main screen where the region begins at its top.
        s.scrolled_off += static_cast<std::uint64_t>((s.active | s.top) == 0);
    } else if (c.row < s.rows - 1) {
        ++c.row;
    }
}

}  // namespace

void screen_line_feed(Screen& s) {
    index_line(s);
    if (s.newline) s.cursor.col = 0;
}

void screen_control(Screen& s, std::uint8_t b) {
    Cursor& c = s.cursor;
    switch (b) {
        case 0x08:
            if (c.pending_wrap) {
                c.pending_wrap = false;
            } else if (c.col > 0) {
                --c.col;
            }
            break;
        case 0x09: screen_tab(s, 1); break;
        case 0x0a:
        case 0x0b:
        case 0x0c: screen_line_feed(s); break;
        case 0x0d:
            c.col = c.col >= s.left ? s.left : 0;
            c.pending_wrap = false;
            break;
        case 0x0e: c.gl = 1; break;
        case 0x0f: c.gl = 0; break;
        default: break;
    }
}

void screen_move_to(Screen& s, int row, int col) {
    Cursor& c = s.cursor;
    row = std::max(row, 1) - 1;
    col = std::max(col, 1) - 1;
    c.row = c.origin ? clamp(row + s.top, s.top, s.bottom) : clamp(row, 0, s.rows - 1);
    c.col = c.origin ? clamp(col + s.left, s.left, s.right) : clamp(col, 0, s.cols - 1);
    c.pending_wrap = false;
}

void screen_move_rows(Screen& s, int by) {
    Cursor& c = s.cursor;
    const int low = c.row >= s.top ? s.top : 0;
    const int high = c.row <= s.bottom ? s.bottom : s.rows - 1;
    c.row = clamp(c.row + by, low, high);
    c.pending_wrap = false;
}

void screen_move_cols(Screen& s, int by) {
    Cursor& c = s.cursor;
    const int low = c.col >= s.left ? s.left : 0;
    const int high = c.col <= s.right ? s.right : s.cols - 1;
    c.col = clamp(c.col + by, low, high);
    c.pending_wrap = false;
}

void screen_set_col(Screen& s, int col) {
    col = std::max(col, 1) - 1;
    s.cursor.col =
        s.cursor.origin ? clamp(col + s.left, s.left, s.right) : clamp(col, 0, s.cols - 1);
    s.cursor.pending_wrap = false;
}

void screen_set_row(Screen& s, int row) {
    screen_move_to(s, row, s.cursor.col + 1);
}

void screen_index(Screen& s) {
    index_line(s);
}

void screen_reverse_index(Screen& s) {
    settle(s);
    Cursor& c = s.cursor;
    c.pending_wrap = false;
    if (c.row == s.top && within_sides(s, c.col)) {
        scroll_rows_down(s, s.top, s.bottom, 1);
    } else if (c.row > 0) {
        --c.row;
    }
}

void screen_next_line(Screen& s) {
    s.cursor.col = s.cursor.col >= s.left ? s.left : 0;
    s.cursor.pending_wrap = false;
    screen_index(s);
}

void screen_tab(Screen& s, int n) {
    Cursor& c = s.cursor;
    c.pending_wrap = false;
    for (; n > 0 && c.col < s.cols - 1; --n) {
        do ++c.col;
        while (c.col < s.cols - 1 && !s.tab_stops[c.col]);
    }
    for (; n < 0 && c.col > 0; ++n) {
        do --c.col;
        while (c.col > 0 && !s.tab_stops[c.col]);
    }
}

void screen_set_tab(Screen& s) {
    s.tab_stops[s.cursor.col] = true;
}

void screen_clear_tabs(Screen& s, bool all) {
    if (!all) {
        s.tab_stops[s.cursor.col] = false;
        return;
    }
    for (bool& t : s.tab_stops) t = false;
}

void screen_erase_line(Screen& s, int mode) {
    settle(s);
    Cursor& c = s.cursor;
    c.pending_wrap = false;
    switch (mode) {
        case 0:
            cut_wide(s, c.row, c.col);
            blank_tail(s, c.row, c.col, c.pen.bg);
            break;
        case 1: {
            Cell* r = row_upto(s, c.row, c.col + 1);
            paint(s, c.row);
            cut_wide(s, c.row, c.col + 1);
            fill(r, c.col + 1, blank(s, c.pen.bg));
            break;
        }
        case 2: blank_tail(s, c.row, 0, c.pen.bg); break;
        default: break;
    }
}

void screen_erase_display(Screen& s, int mode) {
    settle(s);
    Cursor& c = s.cursor;
    const std::uint32_t b = c.pen.bg;
    switch (mode) {
        case 0:
            screen_erase_line(s, 0);
            blank_rows(s, c.row + 1, s.rows - c.row - 1, b);
            break;
        case 1:
            screen_erase_line(s, 1);
            blank_rows(s, 0, c.row, b);
            break;
        case 2: blank_rows(s, 0, s.rows, b); break;
        default: break;  // 3: the lines scrolled off, which the model does not keep
    }
}

void screen_erase_chars(Screen& s, int n) {
    settle(s);
    Cursor& c = s.cursor;
    n = clamp(n, 1, s.cols - c.col);
    Cell* r = row_of(s, c.row);
    paint(s, c.row);
    cut_wide(s, c.row, c.col);
    cut_wide(s, c.row, c.col + n);
    fill(r + c.col, n, blank(s, c.pen.bg));
    c.pending_wrap = false;
}

void screen_insert_chars(Screen& s, int n) {
    settle(s);
    Cursor& c = s.cursor;
    c.pending_wrap = false;
    if (narrow(s) && !within_sides(s, c.col)) return;
    const int end = s.right;
    n = clamp(n, 1, end + 1 - c.col);
    Cell* r = row_of(s, c.row);
    paint(s, c.row);
    cut_wide(s, c.row, c.col);
    cut_wide(s, c.row, end + 1);
    std::memmove(r + c.col + n, r + c.col,
                 static_cast<std::size_t>(end + 1 - c.col - n) * sizeof(Cell));
    fill(r + c.col, n, blank(s, c.pen.bg));
    if (cell_width(r[end]) == 2) r[end] = blank_of(s, r[end]);
}

void screen_delete_chars(Screen& s, int n) {
    settle(s);
    Cursor& c = s.cursor;
    c.pending_wrap = false;
    if (narrow(s) && !within_sides(s, c.col)) return;
    const int end = s.right;
    n = clamp(n, 1, end + 1 - c.col);
    Cell* r = row_of(s, c.row);
    paint(s, c.row);
    cut_wide(s, c.row, c.col);
    cut_wide(s, c.row, c.col + n);
    cut_wide(s, c.row, end + 1);
    std::memmove(r + c.col, r + c.col + n,
                 static_cast<std::size_t>(end + 1 - c.col - n) * sizeof(Cell));
    fill(r + end + 1 - n, n, blank(s, c.pen.bg));
}

void screen_insert_lines(Screen& s, int n) {
    settle(s);
    Cursor& c = s.cursor;
    if (c.row < s.top || c.row > s.bottom || !within_sides(s, c.col)) return;
    scroll_rows_down(s, c.row, s.bottom, std::max(n, 1));
    c.col = s.left;
    c.pending_wrap = false;
}

void screen_delete_lines(Screen& s, int n) {
    settle(s);
    Cursor& c = s.cursor;
    if (c.row < s.top || c.row > s.bottom || !within_sides(s, c.col)) return;
    const std::uint64_t before = s.scrolled_off;
    scroll_rows_up(s, c.row, s.bottom, std::max(n, 1));
    s.scrolled_off = before;  // deleted lines are gone, not scrolled off
    c.col = s.left;
    c.pending_wrap = false;
}

void screen_scroll_up(Screen& s, int n) {
    settle(s);
    scroll_rows_up(s, s.top, s.bottom, std::max(n, 1));
}

void screen_scroll_down(Screen& s, int n) {
    settle(s);
    scroll_rows_down(s, s.top, s.bottom, std::max(n, 1));
}

void screen_repeat(Screen& s, int n) {
    settle(s);
    const std::uint32_t ch = s.last.ch;
    if (ch == 0) return;
    // Each as the character itself was put.
    for (int i = 0; i < std::max(n, 1) && i < s.cols * s.rows; ++i) put_cell(s, ch);
}

void screen_alignment(Screen& s) {
    settle(s);
    s.top = 0;
    s.bottom = s.rows - 1;
    for (int r = 0; r < s.rows; ++r) {
        Cell* cells = row_of(s, r);
        paint(s, r);
        fill(cells, s.cols, Cell{'E' | 1u << CELL_WIDTH_SHIFT, 0});
    }
    s.cursor.origin = false;
    home(s);
}

namespace {

// Margins as a sequence gives them, 1-based (0: the edge of the screen),
// as 0-based first and last lines or columns; false where they would hold
// less than two.
bool place_margins(int first, int last, int size, int& low, int& high) {
    first = first <= 0 ? 1 : first;
    last = last <= 0 || last > size ? size : last;
    if (first >= last) return false;
    low = first - 1;
    high = last - 1;
    return true;
}

}  // namespace

void screen_set_margins(Screen& s, int top, int bottom) {
    if (place_margins(top, bottom, s.rows, s.top, s.bottom)) home(s);
}

void screen_set_margins_mode(Screen& s, bool on) {
    s.margins_mode = on;
    if (!on) {
        s.left = 0;
        s.right = s.cols - 1;
    }
}

void screen_set_side_margins(Screen& s, int left, int right) {
    if (s.margins_mode && place_margins(left, right, s.cols, s.left, s.right)) home(s);
}

void screen_save_cursor(Screen& s) {
    s.saved[s.active] = s.cursor;
    s.has_saved[s.active] = true;
}

void screen_restore_cursor(Screen& s) {
    if (s.has_saved[s.active]) {
        s.cursor = s.saved[s.active];
    } else {
        s.cursor = Cursor{};
    }
    s.cursor.row = std::min(s.cursor.row, s.rows - 1);
    s.cursor.col = std::min(s.cursor.col, s.cols - 1);
}

void screen_designate(Screen& s, int slot, char final_byte) {
    if (slot >= 0 && slot < 4) s.cursor.g[slot] = final_byte;
}

void screen_alternate(Screen& s, bool on, int mode) {
    if (on == (s.active == 1)) {
        if (on && mode == 1049) clear_grid(s, 1);
        return;
    }
    if (on) {
        if (mode == 1049) screen_save_cursor(s);
        s.active = 1;
        if (mode == 1049) clear_grid(s, 1);
        return;
    }
    if (mode == 1047) clear_grid(s, 1);
    s.active = 0;
    if (mode == 1049) screen_restore_cursor(s);
}

void screen_set_origin(Screen& s, bool on) {
    s.cursor.origin = on;
    home(s);
}

void screen_reset(Screen& s, bool hard) {
    const Cursor before = s.cursor;
    s.cursor = Cursor{};
    s.top = 0;
    s.bottom = s.rows - 1;
    s.margins_mode = false;
    s.left = 0;
    s.right = s.cols - 1;
    s.insert = false;
    s.autowrap = true;
    s.cursor_visible = true;
    s.has_saved[0] = s.has_saved[1] = false;
    if (!hard) {
        // DECSTR keeps the cursor where it is and the screen as it is.
        s.cursor.row = before.row;
        s.cursor.col = before.col;
        return;
    }
    s.newline = false;
    s.active = 0;
    s.scrolled_off = 0;
    s.last = Cell{};
    clear_grid(s, 0);
    clear_grid(s, 1);
    default_tabs(s);
}

void screen_write(const Screen& s, LineWriter& w, const char* when) {
    if (!writer_shows(w, SCREEN_LINE)) return;
    char heading[256];
    const Cursor& c = s.cursor;
    char cursor[64];
    if (s.cursor_visible) {
        std::snprintf(cursor, sizeof cursor, "cursor at line %d, column %d", c.row + 1, c.col + 1);
    } else {
        std::snprintf(cursor, sizeof cursor, "cursor hidden at line %d, column %d", c.row + 1,
                      c.col + 1);
    }
    const int n = std::snprintf(heading, sizeof heading, "= Screen %s: %dx%d, %s screen, %s\n",
                                when, s.cols, s.rows, s.active != 0 ? "alternate" : "main", cursor);
    writer_raw(w, heading, static_cast<std::size_t>(std::max(n, 0)));
    // A row: its cells' text after "=|", trailing blanks left out, then "|".
    // In colour, each run of cells of one pen after the SGR that sets it.
    static char
        row[8 + PAINTER_MARK_SIZE + MAX_SCREEN_COLUMNS * (Cluster::TEXT_SIZE + PEN_SGR_SIZE)];
    const bool colors = w.config.colors;
    for (int r = 0; r < s.rows; ++r) {
        const int line = s.order[s.active][r];
        const Cell* cells =
            s.grid[s.active] + static_cast<std::size_t>(line) * static_cast<std::size_t>(s.cols);
        std::size_t len = 0;
        // The page links the row to the account line that changed it last.
        if (w.config.pen_marks && s.painted[s.active][line] != 0)
            len += format_painter_mark(row, 'b', s.painted[s.active][line]);
        row[len++] = '=';
        row[len++] = '|';
        std::size_t end = len;
        Pen pen;
        Pen tail;
        tail.bg = s.tail_bg[s.active][line];
        // The cells past the filled ones are blanks of the tail's
        // background: trailing, unless colour shows their background.
        const int filled = s.filled[s.active][line];
        const int start = s.start[s.active][line];
        Pen head;
        head.bg = s.head_bg[s.active][line];
        const int shown = colors && tail.bg != 0 ? s.cols : filled;
        for (int col = 0; col < shown; ++col) {
            const bool written = col >= start && col < filled;
            const Cell cell = written ? cells[col] : Cell{CELL_BLANK, 0};
            if (cell_width(cell) == 0) continue;
            const Pen& cell_pen = written ? s.pens[cell.pen] : col < start ? head : tail;
            if (colors && !(cell_pen == pen)) {
                pen = cell_pen;
                len += pen_escape(w, pen, row + len);
            }
            len += cell_text(s, cell, row + len);
            if (!is_blank(cell) || (colors && !(cell_pen == Pen{}))) end = len;
        }
        len = end;
        if (colors && w.config.pen_marks) {
            // The page's row ends outside the text's colour.
            std::memcpy(row + len, "\x1b[m", 3);
            len += 3;
        } else if (colors && !(pen == Pen{})) {
            len += pen_sgr(Pen{}, row + len);
        }
        row[len++] = '|';
        row[len++] = '\n';
        writer_raw(w, row, len);
    }
}

}  // namespace vorsk
