// The screen libvterm leaves after a stream, for the differential test of
// --screen: vterm_screen COLS ROWS FILE writes "cursor ROW COL" (1-based),
// then one line per row of the screen, its characters as UTF-8 with the
// trailing blanks left out.
#include <vterm.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void put_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xc0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xe0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: vterm_screen COLS ROWS FILE\n");
        return 2;
    }
    const int cols = std::atoi(argv[1]);
    const int rows = std::atoi(argv[2]);
    std::FILE* f = std::fopen(argv[3], "rb");
    if (f == nullptr || cols <= 0 || rows <= 0) return 2;
    std::vector<char> bytes;
    char chunk[65536];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) != 0;)
        bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);

    VTerm* vt = vterm_new(rows, cols);
    vterm_set_utf8(vt, 1);
    VTermScreen* screen = vterm_obtain_screen(vt);
    vterm_screen_enable_altscreen(screen, 1);
    vterm_screen_reset(screen, 1);
    vterm_input_write(vt, bytes.data(), bytes.size());

    VTermPos cursor;
    vterm_state_get_cursorpos(vterm_obtain_state(vt), &cursor);
    std::printf("cursor %d %d\n", cursor.row + 1, cursor.col + 1);
    for (int row = 0; row < rows; ++row) {
        std::string line;
        std::size_t end = 0;
        for (int col = 0; col < cols; ++col) {
            VTermScreenCell cell;
            if (!vterm_screen_get_cell(screen, VTermPos{row, col}, &cell)) continue;
            if (cell.chars[0] == static_cast<std::uint32_t>(-1))
                continue;  // a wide character's right half
            if (cell.chars[0] == 0 || cell.chars[0] == ' ') {
                line += ' ';
            } else {
                for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0; ++i)
                    put_utf8(line, cell.chars[i]);
                end = line.size();
            }
            col += cell.width > 1 ? cell.width - 1 : 0;
        }
        line.resize(end);
        std::printf("%s\n", line.c_str());
    }
    vterm_free(vt);
    return 0;
}
