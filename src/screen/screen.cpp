#include "screen/screen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace vorsk {
namespace {

// DEC Special Graphics: what 0x5F to 0x7E draw when the set is invoked.
constexpr std::string_view dec_graphics[] = {
    "\u00a0", "\u25c6", "\u2592", "\u2409", "\u240c", "\u240d", "\u240a", "\u00b0",
    "\u00b1", "\u2424", "\u240b", "\u2518", "\u2510", "\u250c", "\u2514", "\u253c",
    "\u23ba", "\u23bb", "\u2500", "\u23bc", "\u23bd", "\u251c", "\u2524", "\u2534",
    "\u252c", "\u2502", "\u2264", "\u2265", "\u03c0", "\u2260", "\u00a3", "\u00b7",
};
static_assert(std::size(dec_graphics) == 0x7f - 0x5f);
static_assert(std::all_of(std::begin(dec_graphics), std::end(dec_graphics),
                          [](std::string_view g) { return g.size() == 2 || g.size() == 3; }));

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

Cell blank(const Pen& pen) {
    Cell c{};
    c.text[0] = ' ';
    c.size = 1;
    c.width = 1;
    // Erased cells take the background of the pen (xterm's behaviour).
    c.pen.bg = pen.bg;
    return c;
}

Cell* grid_row(Screen& s, int which, int line) {
    return s.grid[which] + static_cast<std::size_t>(line) * static_cast<std::size_t>(s.cols);
}

// Writes the blanks of a line's tail into the grid up to column `upto`.
void fill_tail(Screen& s, int which, int line, int upto);
void cut_wide(Screen& s, int row, int b);
Cell blank(const Pen& pen);
void fill(Screen& s, Cell* from, int n, const Cell& c);
Cell* row_of(Screen& s, int row);

// A line of the active screen whose first `upto` cells are in the grid.
[[gnu::always_inline]] inline Cell* row_upto(Screen& s, int row, int upto) {
    const int line = s.order[s.active][row];
    if (s.filled[s.active][line] < upto) fill_tail(s, s.active, line, upto);
    return grid_row(s, s.active, line);
}

// A line of the active screen, all of its cells in the grid.
Cell* row_of(Screen& s, int row) {
    return row_upto(s, row, s.cols);
}

[[gnu::always_inline]] inline std::uint16_t& filled_of(Screen& s, int row) {
    return s.filled[s.active][s.order[s.active][row]];
}

// The line becomes blanks of pen's background from column `from` on.
void blank_tail(Screen& s, int row, int from, const Pen& pen) {
    const int line = s.order[s.active][row];
    if (s.filled[s.active][line] > from)
        s.filled[s.active][line] = static_cast<std::uint16_t>(from);
    s.tail_bg[s.active][line] = pen.bg;
}

bool same_cell(const Cell& a, const Cell& b) {
    return a.size == b.size && a.width == b.width && a.pen == b.pen &&
           std::memcmp(a.text, b.text, a.size) == 0;
}

// n cells of c, n at most a row: copied from the row of fill cells, made
// anew when c is another cell.
void fill(Screen& s, Cell* from, int n, const Cell& c) {
    if (n <= 0) return;
    if (n <= 8) {
        // A few cells: copied one by one, the row of copies kept.
        for (int i = 0; i < n; ++i) from[i] = c;
        return;
    }
    if (s.fill_cols < n || !same_cell(c, s.fill_cell)) {
        s.fill_cell = c;
        for (int i = 0; i < s.cols; ++i) s.fill_row[i] = c;
        s.fill_cols = s.cols;
    }
    std::memcpy(from, s.fill_row, static_cast<std::size_t>(n) * sizeof(Cell));
}

void fill_tail(Screen& s, int which, int line, int upto) {
    std::uint16_t& filled = s.filled[which][line];
    Pen pen;
    pen.bg = s.tail_bg[which][line];
    fill(s, grid_row(s, which, line) + filled, upto - filled, blank(pen));
    filled = static_cast<std::uint16_t>(upto);
}

// Lines [from, from + n) of the active screen, blanks of pen's background.
void blank_rows(Screen& s, int from, int n, const Pen& pen) {
    for (int r = from; r < from + n; ++r) blank_tail(s, r, 0, pen);
}

void clear_grid(Screen& s, int which) {
    for (int r = 0; r < s.rows; ++r) {
        s.order[which][r] = static_cast<std::uint16_t>(r);
        s.filled[which][r] = 0;
        s.tail_bg[which][r] = 0;
    }
}

void default_tabs(Screen& s) {
    for (int i = 0; i < MAX_SCREEN_COLUMNS; ++i) s.tab_stops[i] = i % 8 == 0 && i != 0;
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
    const auto width = static_cast<std::size_t>(right - left + 1);
    for (int r = from; r <= to; ++r) {
        cut_wide(s, r, left);
        cut_wide(s, r, right + 1);
    }
    if (n > 0) {
        for (int r = from; r + count <= to; ++r)
            std::memcpy(row_of(s, r) + left, row_of(s, r + count) + left, width * sizeof(Cell));
        for (int r = to - count + 1; r <= to; ++r)
            fill(s, row_of(s, r) + left, static_cast<int>(width), blank(s.cursor.pen));
    } else {
        for (int r = to; r - count >= from; --r)
            std::memcpy(row_of(s, r) + left, row_of(s, r - count) + left, width * sizeof(Cell));
        for (int r = from; r < from + count; ++r)
            fill(s, row_of(s, r) + left, static_cast<int>(width), blank(s.cursor.pen));
    }
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
    std::rotate(order + from, order + from + n, order + to + 1);
    blank_rows(s, to - n + 1, n, s.cursor.pen);
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
    blank_rows(s, from, n, s.cursor.pen);
}

// Cuts row r between columns b - 1 and b, where a change begins or ends:
// a wide character across the cut becomes two blanks, and at the right
// margin (b = cols) a wide character whose right half an insertion pushed
// off becomes a blank.
[[gnu::always_inline]] inline void cut_wide(Screen& s, int row, int b) {
    if (b <= 0 || b > s.cols) return;
    const int filled = filled_of(s, row);
    Cell* r = grid_row(s, s.active, s.order[s.active][row]);
    if (b == s.cols) {
        if (b - 1 < filled && r[b - 1].width == 2) r[b - 1] = blank(r[b - 1].pen);
        return;
    }
    // Past the filled cells there are only blanks.
    if (b < filled && r[b].width == 0 && r[b - 1].width == 2) {
        r[b - 1] = blank(r[b - 1].pen);
        r[b] = blank(r[b].pen);
    }
}

// Cells [from, to) of a line were written.
[[gnu::always_inline]] inline void mark_filled(Screen& s, int row, int to) {
    std::uint16_t& filled = filled_of(s, row);
    if (filled < to) filled = static_cast<std::uint16_t>(to);
}

void write_cell(Screen& s, const char* bytes, std::size_t n, int width) {
    Cursor& c = s.cursor;
    const int end = line_end(s);
    Cell* r = s.insert ? row_of(s, c.row) : row_upto(s, c.row, c.col);
    cut_wide(s, c.row, c.col);
    if (s.insert) {
        cut_wide(s, c.row, end + 1);
        std::memmove(r + c.col + width, r + c.col,
                     static_cast<std::size_t>(std::max(0, end + 1 - c.col - width)) * sizeof(Cell));
        // A wide character moved onto the end has lost its right half.
        if (r[end].width == 2) r[end] = blank(r[end].pen);
    }
    cut_wide(s, c.row, c.col + width);
    Cell& cell = r[c.col];
    cell.size = static_cast<std::uint8_t>(std::min(n, Cell::TEXT_SIZE));
    for (std::size_t i = 0; i < cell.size; ++i) cell.text[i] = bytes[i];
    cell.width = static_cast<std::uint8_t>(width);
    cell.pen = c.pen;
    if (width == 2) {
        Cell& right = r[c.col + 1];
        right.size = 0;
        right.width = 0;
        right.pen = c.pen;
    }
    mark_filled(s, c.row, c.col + width);
    std::memcpy(s.last_text, cell.text, sizeof s.last_text);
    s.last_size = cell.size;
    s.last_width = cell.width;
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

bool allocate(Screen& s, int cols, int rows) {
    const std::size_t n = static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows);
    for (Cell*& g : s.grid) {
        std::free(g);
        g = static_cast<Cell*>(std::malloc(n * sizeof(Cell)));
        if (g == nullptr) return false;
    }
    s.cols = cols;
    s.rows = rows;
    s.fill_cols = 0;
    return true;
}

}  // namespace

Screen* screen_new(int cols, int rows) {
    auto* s = static_cast<Screen*>(std::calloc(1, sizeof(Screen)));
    if (s == nullptr) return nullptr;
    *s = Screen{};
    cols = clamp(cols, 1, MAX_SCREEN_COLUMNS);
    rows = clamp(rows, 1, MAX_SCREEN_ROWS);
    if (!allocate(*s, cols, rows)) {
        screen_free(s);
        return nullptr;
    }
    screen_reset(*s, true);
    return s;
}

void screen_free(Screen* s) {
    if (s == nullptr) return;
    for (Cell* g : s->grid) std::free(g);
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
            if (kept == cols && row[cols - 1].width == 2) row[cols - 1] = blank(row[cols - 1].pen);
            s.filled[which][r] = static_cast<std::uint16_t>(kept);
            s.tail_bg[which][r] = old.tail_bg[which][line];
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

void screen_put(Screen& s, std::uint32_t cp, int width, const char* bytes, std::size_t n) {
    Cursor& c = s.cursor;
    if (width == 0) {
        // Joins the character before the cursor.
        int col = c.pending_wrap ? c.col : c.col - 1;
        Cell* r = row_of(s, c.row);
        while (col > 0 && r[col].width == 0) --col;
        if (col < 0) return;
        Cell& cell = r[col];
        const std::size_t room = Cell::TEXT_SIZE - cell.size;
        if (n <= room) {
            std::memcpy(cell.text + cell.size, bytes, n);
            cell.size = static_cast<std::uint8_t>(cell.size + n);
        }
        return;
    }
    const char set = c.g[c.single_shift != 0 ? c.single_shift : c.gl & 3];
    c.single_shift = 0;
    if (set == '0' && cp >= 0x5f && cp <= 0x7e) {
        bytes = dec_graphics[cp - 0x5f].data();
        n = dec_graphics[cp - 0x5f].size();
    }
    if (c.pending_wrap) {
        // The next line begins at the left margin where the text reached
        // the right one.
        c.col = c.col == s.right ? s.left : 0;
        c.pending_wrap = false;
        screen_index(s);
    }
    if (width == 2 && c.col == line_end(s)) {
        // A wide character never straddles the margin: it goes on the next
        // line with autowrap, and without it is not drawn (as tmux does).
        if (!s.autowrap) return;
        row_of(s, c.row)[c.col] = blank(c.pen);
        c.col = c.col == s.right ? s.left : 0;
        screen_index(s);
    }
    if (width == 2 && line_end(s) - c.col < 1) return;
    write_cell(s, bytes, n, width);
}

void screen_put_ascii(Screen& s, const char* bytes, std::size_t n) {
    Cursor& c = s.cursor;
    std::size_t i = 0;
    if (c.single_shift != 0 && n != 0) {
        screen_put(s, static_cast<std::uint8_t>(bytes[0]), 1, bytes, 1);
        ++i;
    }
    const bool graphics = c.g[c.gl & 3] == '0';
    while (i < n) {
        if (c.pending_wrap) {
            // The first character wraps as screen_put wraps it.
            screen_put(s, static_cast<std::uint8_t>(bytes[i]), 1, bytes + i, 1);
            ++i;
            continue;
        }
        // The part of the run that goes on this line, in place: a wide
        // character cut at either end leaves blanks, as any character
        // written over it does; in insert mode the line moves right by the
        // part at once, as it would a character at a time.
        const int end = line_end(s);
        const std::size_t k = std::min(n - i, static_cast<std::size_t>(end + 1 - c.col));
        const int width = static_cast<int>(k);
        Cell* r = s.insert ? row_of(s, c.row) : row_upto(s, c.row, c.col);
        cut_wide(s, c.row, c.col);
        if (s.insert) {
            cut_wide(s, c.row, end + 1);
            std::memmove(r + c.col + width, r + c.col,
                         static_cast<std::size_t>(end + 1 - c.col - width) * sizeof(Cell));
            if (r[end].width == 2) r[end] = blank(r[end].pen);
        } else {
            cut_wide(s, c.row, c.col + width);
        }
        mark_filled(s, c.row, c.col + width);
        Cell cell{};
        cell.size = 1;
        cell.width = 1;
        cell.pen = c.pen;
        Cell* out = r + c.col;
        if (!graphics) {
            for (std::size_t j = 0; j < k; ++j) {
                cell.text[0] = bytes[i + j];
                out[j] = cell;
            }
        } else {
            for (std::size_t j = 0; j < k; ++j) {
                const auto b = static_cast<std::uint8_t>(bytes[i + j]);
                if (b >= 0x5f) {
                    const std::string_view glyph = dec_graphics[b - 0x5f];
                    // Each glyph is two or three bytes and its terminator.
                    std::memcpy(cell.text, glyph.data(), 3);
                    cell.size = static_cast<std::uint8_t>(glyph.size());
                } else {
                    cell.text[0] = static_cast<char>(b);
                    cell.size = 1;
                }
                out[j] = cell;
            }
        }
        std::memcpy(s.last_text, cell.text, sizeof s.last_text);
        s.last_size = cell.size;
        s.last_width = 1;
        i += k;
        c.col += width;
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

void fill_rect(Screen& s, const Rect& r, const Cell& c) {
    for (int row = r.top; row <= r.bottom; ++row) {
        Cell* cells = row_of(s, row);
        cut_wide(s, row, r.left);
        cut_wide(s, row, r.right + 1);
        fill(s, cells + r.left, r.right - r.left + 1, c);
    }
}

}  // namespace

void screen_fill_rect(Screen& s, int top, int left, int bottom, int right, char ch) {
    Rect r{};
    if (!place_rect(s, top, left, bottom, right, r)) return;
    Cell c = blank(s.cursor.pen);
    c.text[0] = ch;
    c.pen = s.cursor.pen;
    fill_rect(s, r, c);
}

void screen_erase_rect(Screen& s, int top, int left, int bottom, int right) {
    Rect r{};
    if (place_rect(s, top, left, bottom, right, r)) fill_rect(s, r, blank(s.cursor.pen));
}

void screen_copy_rect(Screen& s, int top, int left, int bottom, int right, int to_top,
                      int to_left) {
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
        std::memmove(target, source, static_cast<std::size_t>(width) * sizeof(Cell));
        // Halves of wide characters cut at the edges of the copy are blanks.
        if (target[0].width == 0) target[0] = blank(target[0].pen);
        if (target[width - 1].width == 2) target[width - 1] = blank(target[width - 1].pen);
    }
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
        case 0x0c:
            screen_index(s);
            if (s.newline) c.col = 0;
            break;
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
    Cursor& c = s.cursor;
    if (c.row == s.bottom && within_sides(s, c.col)) {
        scroll_rows_up(s, s.top, s.bottom, 1);
    } else if (c.row < s.rows - 1) {
        ++c.row;
    }
}

void screen_reverse_index(Screen& s) {
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
    Cursor& c = s.cursor;
    c.pending_wrap = false;
    switch (mode) {
        case 0:
            cut_wide(s, c.row, c.col);
            blank_tail(s, c.row, c.col, c.pen);
            break;
        case 1: {
            Cell* r = row_upto(s, c.row, c.col + 1);
            cut_wide(s, c.row, c.col + 1);
            fill(s, r, c.col + 1, blank(c.pen));
            break;
        }
        case 2: blank_tail(s, c.row, 0, c.pen); break;
        default: break;
    }
}

void screen_erase_display(Screen& s, int mode) {
    Cursor& c = s.cursor;
    const Pen& b = c.pen;
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
    Cursor& c = s.cursor;
    n = clamp(n, 1, s.cols - c.col);
    Cell* r = row_of(s, c.row);
    cut_wide(s, c.row, c.col);
    cut_wide(s, c.row, c.col + n);
    fill(s, r + c.col, n, blank(c.pen));
    c.pending_wrap = false;
}

void screen_insert_chars(Screen& s, int n) {
    Cursor& c = s.cursor;
    c.pending_wrap = false;
    if (narrow(s) && !within_sides(s, c.col)) return;
    const int end = s.right;
    n = clamp(n, 1, end + 1 - c.col);
    Cell* r = row_of(s, c.row);
    cut_wide(s, c.row, c.col);
    cut_wide(s, c.row, end + 1);
    std::memmove(r + c.col + n, r + c.col,
                 static_cast<std::size_t>(end + 1 - c.col - n) * sizeof(Cell));
    fill(s, r + c.col, n, blank(c.pen));
    if (r[end].width == 2) r[end] = blank(r[end].pen);
}

void screen_delete_chars(Screen& s, int n) {
    Cursor& c = s.cursor;
    c.pending_wrap = false;
    if (narrow(s) && !within_sides(s, c.col)) return;
    const int end = s.right;
    n = clamp(n, 1, end + 1 - c.col);
    Cell* r = row_of(s, c.row);
    cut_wide(s, c.row, c.col);
    cut_wide(s, c.row, c.col + n);
    cut_wide(s, c.row, end + 1);
    std::memmove(r + c.col, r + c.col + n,
                 static_cast<std::size_t>(end + 1 - c.col - n) * sizeof(Cell));
    fill(s, r + end + 1 - n, n, blank(c.pen));
}

void screen_insert_lines(Screen& s, int n) {
    Cursor& c = s.cursor;
    if (c.row < s.top || c.row > s.bottom || !within_sides(s, c.col)) return;
    scroll_rows_down(s, c.row, s.bottom, std::max(n, 1));
    c.col = s.left;
    c.pending_wrap = false;
}

void screen_delete_lines(Screen& s, int n) {
    Cursor& c = s.cursor;
    if (c.row < s.top || c.row > s.bottom || !within_sides(s, c.col)) return;
    const std::uint64_t before = s.scrolled_off;
    scroll_rows_up(s, c.row, s.bottom, std::max(n, 1));
    s.scrolled_off = before;  // deleted lines are gone, not scrolled off
    c.col = s.left;
    c.pending_wrap = false;
}

void screen_scroll_up(Screen& s, int n) {
    scroll_rows_up(s, s.top, s.bottom, std::max(n, 1));
}

void screen_scroll_down(Screen& s, int n) {
    scroll_rows_down(s, s.top, s.bottom, std::max(n, 1));
}

void screen_repeat(Screen& s, int n) {
    if (s.last_size == 0) return;
    char text[Cell::TEXT_SIZE];
    const std::uint8_t size = s.last_size;
    const int width = s.last_width;
    std::memcpy(text, s.last_text, size);
    for (int i = 0; i < std::max(n, 1) && i < s.cols * s.rows; ++i) {
        if (s.cursor.pending_wrap) {
            s.cursor.col = 0;
            s.cursor.pending_wrap = false;
            screen_index(s);
        }
        write_cell(s, text, size, width);
    }
}

void screen_alignment(Screen& s) {
    s.top = 0;
    s.bottom = s.rows - 1;
    Cell e = blank(Pen{});
    e.text[0] = 'E';
    for (int r = 0; r < s.rows; ++r) fill(s, row_of(s, r), s.cols, e);
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
    s.last_size = 0;
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
    static char row[8 + MAX_SCREEN_COLUMNS * (Cell::TEXT_SIZE + PEN_SGR_SIZE)];
    const bool colors = w.config.colors;
    for (int r = 0; r < s.rows; ++r) {
        const int line = s.order[s.active][r];
        const Cell* cells =
            s.grid[s.active] + static_cast<std::size_t>(line) * static_cast<std::size_t>(s.cols);
        std::size_t len = 0;
        row[len++] = '=';
        row[len++] = '|';
        std::size_t end = len;
        Pen pen;
        Pen tail;
        tail.bg = s.tail_bg[s.active][line];
        // The cells past the filled ones are blanks of the tail's
        // background: trailing, unless colour shows their background.
        const int shown = colors && tail.bg != 0 ? s.cols : s.filled[s.active][line];
        for (int col = 0; col < shown; ++col) {
            const bool filled = col < s.filled[s.active][line];
            const Cell& cell = filled ? cells[col] : blank(tail);
            if (cell.width == 0) continue;
            if (colors && !(cell.pen == pen)) {
                pen = cell.pen;
                len += pen_escape(w, pen, row + len);
            }
            std::memcpy(row + len, cell.text, cell.size);
            len += cell.size;
            if (!(cell.size == 1 && cell.text[0] == ' ') || (colors && !(cell.pen == Pen{})))
                end = len;
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
