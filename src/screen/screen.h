// A model of the terminal's screen: a grid of cells with their pens, the
// cursor, the scrolling region, the modes that change where text goes, the
// character sets, the main and the alternate screen. It knows nothing of
// sequences: the families of the vocabulary apply what they read to it
// through the operations below, so that what the account says a sequence
// does is what the screen shows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/line_writer.h"
#include "screen/pen.h"

namespace vorsk {

inline constexpr int MAX_SCREEN_COLUMNS = 500;
inline constexpr int MAX_SCREEN_ROWS = 200;

// One cell in eight bytes: its character (a code point, an ASCII byte of
// the DEC Special Graphics set, or the number of the cluster it holds: a
// character and what joined it), its width, and the number of its pen in
// the screen's table of pens. The right half of
// a wide character is a cell of width 0 and no character.
struct Cell {
    std::uint32_t ch;
    std::uint32_t pen;
};
inline constexpr std::uint32_t CELL_CODE = 0x1fffff;     // the code point or cluster number
inline constexpr std::uint32_t CELL_CLUSTER = 1u << 24;  // the number is a cluster's
inline constexpr std::uint32_t CELL_GRAPHIC = 1u << 25;  // an ASCII byte of DEC Special Graphics
inline constexpr int CELL_WIDTH_SHIFT = 28;              // the width, 0 to 2, above
inline constexpr std::uint32_t CELL_BLANK = ' ' | 1u << CELL_WIDTH_SHIFT;

constexpr int cell_width(Cell c) {
    return static_cast<int>(c.ch >> CELL_WIDTH_SHIFT);
}

// The UTF-8 of a cell that holds more than one code point: its character
// and the combining marks and joined characters after it, as many as fit.
struct Cluster {
    static constexpr std::size_t TEXT_SIZE = 14;
    char text[TEXT_SIZE];
    std::uint8_t size;
};

struct Cursor {
    int row = 0;  // 0-based
    int col = 0;
    bool pending_wrap = false;  // at the last column after a character: the next one wraps
    Pen pen;
    bool origin = false;               // origin mode, saved with the cursor
    std::uint8_t gl = 0;               // the set invoked into GL: 0 (SI), 1 (SO), 2 (LS2), 3 (LS3)
    std::uint8_t single_shift = 0;     // SS2 or SS3: the set of the next character only
    char g[4] = {'B', 'B', 'B', 'B'};  // the final byte of the set designated into G0-G3
};

struct Screen {
    int cols = 80;
    int rows = 24;
    Cell* grid[2] = {};  // the main and the alternate screen, rows * cols cells each
    // Where each line of a screen is kept in its grid: scrolling moves
    // these, not the cells.
    std::uint16_t order[2][MAX_SCREEN_ROWS] = {};
    // Each line's cells from `filled` on are blanks of the background
    // `tail_bg`, and those before `start` blanks of `head_bg`, neither
    // written into the grid: a line scrolled in or erased costs nothing
    // until text reaches it, and text that begins within a blank line
    // leaves the blanks before it as they are. start <= filled. Indexed
    // like the grid.
    std::uint16_t filled[2][MAX_SCREEN_ROWS] = {};
    std::uint16_t start[2][MAX_SCREEN_ROWS] = {};
    std::uint32_t tail_bg[2][MAX_SCREEN_ROWS] = {};
    std::uint32_t head_bg[2][MAX_SCREEN_ROWS] = {};
    // Who changed each line last: the `painter` of the operation, a number
    // the caller gives (the page's place of the account line that did it),
    // indexed like the grid.
    std::uint64_t painter = 0;
    std::uint64_t painted[2][MAX_SCREEN_ROWS] = {};
    int active = 0;  // 1: the alternate screen
    Cursor cursor;
    Cursor saved[2];  // DECSC and mode 1048, one for each screen
    bool has_saved[2] = {};
    int top = 0;  // the scrolling region, 0-based, inclusive
    int bottom = 23;
    // The left and right margins (DECSLRM), which mode 69 lets a stream
    // set: text wraps, lines scroll and characters move within them.
    bool margins_mode = false;
    int left = 0;
    int right = 79;
    bool autowrap = true;
    bool insert = false;
    bool newline = false;  // LNM: LF, VT and FF return the carriage too
    bool cursor_visible = true;
    bool tab_stops[MAX_SCREEN_COLUMNS] = {};
    std::uint64_t scrolled_off = 0;  // lines that left the top of the main screen
    // The last character written, for REP (ch 0: none).
    Cell last{};
    // The pens and clusters the cells use, each pen once: a cell holds
    // their numbers. When a table is full, those no cell uses any more are
    // dropped and the rest renumbered. Both hold `capacity` entries;
    // `slots` finds a pen's number by its hash.
    Pen* pens = nullptr;
    Cluster* clusters = nullptr;
    std::uint32_t* slots = nullptr;
    std::uint32_t* renumber = nullptr;
    std::uint32_t capacity = 0;
    std::uint32_t slot_mask = 0;
    std::uint32_t n_pens = 0;
    std::uint32_t n_clusters = 0;
    // The number of the cursor's pen and of a blank's, as last looked up.
    Pen memo_pen{};
    std::uint32_t memo_id = 0;
    std::uint32_t memo_bg = 0;
    std::uint32_t memo_bg_id = 0;
};

// Yields nullptr when memory is exhausted; the size is bounded by the
// maxima above.
Screen* screen_new(int cols, int rows);
void screen_free(Screen* s);
// A new size: the cells within both sizes are kept.
bool screen_resize(Screen& s, int cols, int rows);

// A character of `width` columns (1 or 2), as UTF-8; width 0 joins the
// cell before the cursor.
void screen_put(Screen& s, std::uint32_t cp, int width, const char* bytes, std::size_t n);
// A run of printable ASCII, as screen_put would put it a byte at a time.
void screen_put_ascii(Screen& s, const char* bytes, std::size_t n);
// A C0 control: BS, HT, LF, VT, FF, CR, SO, SI; others do nothing.
void screen_control(Screen& s, std::uint8_t b);
// LF, as screen_control(s, 0x0a) does it (VT and FF too): the commonest
// control, without the dispatch.
void screen_line_feed(Screen& s);

// Cursor movement. Positions are 1-based as sequences give them; origin
// mode makes rows relative to the scrolling region.
void screen_move_to(Screen& s, int row, int col);
void screen_move_rows(Screen& s, int by);  // CUU, CUD: within the region when inside it
void screen_move_cols(Screen& s, int by);
void screen_set_col(Screen& s, int col);
void screen_set_row(Screen& s, int row);
void screen_index(Screen& s);          // IND, LF
void screen_reverse_index(Screen& s);  // RI
void screen_next_line(Screen& s);      // NEL
void screen_tab(Screen& s, int n);     // forward (n > 0) or back (n < 0)
void screen_set_tab(Screen& s);
void screen_clear_tabs(Screen& s, bool all);

// Erasure and editing, at the cursor with the cursor's background.
void screen_erase_display(Screen& s, int mode);  // 0 below, 1 above, 2 all, 3 the scrollback
void screen_erase_line(Screen& s, int mode);     // 0 right, 1 left, 2 all
void screen_erase_chars(Screen& s, int n);
void screen_insert_chars(Screen& s, int n);
void screen_delete_chars(Screen& s, int n);
void screen_insert_lines(Screen& s, int n);
void screen_delete_lines(Screen& s, int n);
void screen_scroll_up(Screen& s, int n);
void screen_scroll_down(Screen& s, int n);
void screen_repeat(Screen& s, int n);
void screen_alignment(Screen& s);  // DECALN
// Rectangles, 1-based and inclusive as sequences give them (0: the edge of
// the screen), relative to the scrolling region in origin mode: DECFRA
// fills with a character of one column and the pen, DECERA erases, DECCRA
// copies to the rectangle whose top left corner is given.
void screen_fill_rect(Screen& s, int top, int left, int bottom, int right, char c);
void screen_erase_rect(Screen& s, int top, int left, int bottom, int right);
void screen_copy_rect(Screen& s, int top, int left, int bottom, int right, int to_top, int to_left);
// SS2 and SS3: the next character comes from G2 or G3.
void screen_single_shift(Screen& s, int set);
// LS2 and LS3: G2 or G3 invoked into GL.
void screen_lock_shift(Screen& s, int set);

void screen_set_margins(Screen& s, int top, int bottom);  // 1-based; 0 for the default
// Mode 69 and DECSLRM: the left and right margins, 1-based; 0 for the
// default.
void screen_set_margins_mode(Screen& s, bool on);
void screen_set_side_margins(Screen& s, int left, int right);
void screen_save_cursor(Screen& s);
void screen_restore_cursor(Screen& s);
void screen_designate(Screen& s, int slot, char final_byte);
// The alternate screen: 47 and 1047 switch, 1049 saves the cursor and
// clears the alternate screen first.
void screen_alternate(Screen& s, bool on, int mode);
void screen_set_origin(Screen& s, bool on);
// RIS (hard) and DECSTR (soft).
void screen_reset(Screen& s, bool hard);

// Writes the screen as screen lines: a heading, then one row per line.
void screen_write(const Screen& s, LineWriter& w, const char* when);

}  // namespace vorsk
