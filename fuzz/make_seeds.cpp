// Writes the seed corpora of the fuzz targets: the inputs, colour strings and
// timing files of the golden cases, and pieces of the shared corpus of real
// terminal streams.
//
// Usage: make_seeds CASE_DIR CORPUS_DIR OUT_DIR
// A missing CORPUS_DIR leaves out its pieces.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "case_file.h"

namespace fs = std::filesystem;

namespace {

// Seeds stay small, so that the fuzzer's inputs stay small and fast.
constexpr std::size_t PIECE = 2048;
constexpr std::size_t PIECES_PER_FILE = 12;

class SeedFolder {
public:
    explicit SeedFolder(fs::path dir) : dir_(std::move(dir)) { fs::create_directories(dir_); }

    void add(const std::string& bytes) {
        if (!seen_.insert(bytes).second) return;
        std::ofstream out(dir_ / ("seed-" + std::to_string(seen_.size())), std::ios::binary);
        out << bytes;
    }
    std::size_t size() const { return seen_.size(); }

private:
    fs::path dir_;
    std::set<std::string> seen_;
};

std::string read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The decoder target's header: a flag byte and a colour string with its length.
// Extended mode is the top bit of the length byte.
std::string decoder_seed(const std::string& input, unsigned flags, std::string colors,
                         bool extended, bool keys = false) {
    colors.resize(std::min<std::size_t>(colors.size(), 63));
    const auto length =
        static_cast<unsigned>(colors.size()) | (extended ? 0x80u : 0u) | (keys ? 0x40u : 0u);
    return std::string{static_cast<char>(flags), static_cast<char>(length)} + colors + input;
}

bool has_arg(const std::vector<std::string>& args, const std::string& word) {
    return std::find(args.begin(), args.end(), word) != args.end();
}

bool extended_of(const std::vector<std::string>& args) {
    for (const auto& arg : args) {
        if (arg == "--extended" || (arg.size() > 1 && arg[0] == '-' && arg[1] != '-' &&
                                    arg.find('X') != std::string::npos)) {
            return true;
        }
    }
    return false;
}

unsigned flags_of(const std::vector<std::string>& args) {
    unsigned flags = 0;
    for (const auto& arg : args) {
        if (arg.size() < 2 || arg[0] != '-') continue;
        if (arg.rfind("--colo", 0) == 0) {
            if (arg.find("none") == std::string::npos && arg.find("auto") == std::string::npos)
                flags |= 16;
            continue;
        }
        if (arg[1] == '-') continue;
        for (const char c : arg.substr(1)) {
            if (c == 'C' || c == '^') flags |= 1;
            if (c == 'D' || c == '"') flags |= 2;
            if (c == 'L' || c == '&') flags |= 4;
            if (c == 'E' || c == ':') flags |= 8;
        }
    }
    return flags;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_seeds CASE_DIR CORPUS_DIR OUT_DIR\n");
        return 2;
    }
    const fs::path case_dir = argv[1];
    const fs::path corpus_dir = argv[2];
    const fs::path out_dir = argv[3];
    SeedFolder decoder(out_dir / "decoder");
    SeedFolder colors(out_dir / "colors");
    SeedFolder timing(out_dir / "timing");
    // A recording: a flags byte (1 a cast, 2 extended mode), then the cast,
    // or the timing file, a NUL and its log.
    SeedFolder recording(out_dir / "recording");
    SeedFolder page(out_dir / "page");
    // The formats target: a flags byte (bits 0-1: 0 a sudo log, 1 gzip, 2 a
    // cast, 3 ttyrec; 4 extended mode; 8 v3 written), then the recording
    // (with gzip, after a byte that says where it is cut); a sudo log's
    // timing, terminal output, terminal input and log file apart by NULs.
    SeedFolder formats(out_dir / "formats");
    const std::string nul(1, '\0');
    formats.add(
        "\x04"
        "4 0.5 2\n3 0.25 1\n5 0.125 24 80\n4 0.0625 7\n6 1 TSTP\n" +
        nul + "hi\x1b[1mx\xc3\xa9\xe2" + nul + "a" + nul +
        "1796962625:root:nobody::/dev/pts/0:24:80\n/tmp\n/bin/echo hi\n");
    formats.add(
        "\x0d"
        "4 0.5 9\n4 -0.5 1\n" +
        nul + "\xf0\x9f\x98" + nul + nul);
    formats.add(std::string("\x01\xff") +
                "{\"version\": 2, \"width\": 80}\n[0.5, \"o\", \"ab\"]\n");
    formats.add(std::string("\x01\x40") + "{\"version\": 3}\n[0.5, \"o\", \"\\ud83d\"]\n");
    formats.add("\x0e{\"version\": 1, \"stdout\": [[0.5, \"a\\u001b[m\"], [-1, \"\\udc00\"]]}");

    colors.add("|>=36;7,.=31,:=33,&=35,\"=32,@=34");
    colors.add("|=1,|>=4;1;31;42,.=38;5;196");
    colors.add("|>=,:=1,,&x=2,\"=3");
    timing.add("0.5 10\n1.0 20\n2.0 5\n");
    timing.add("1e308 4294967295\n-0.25 0\nnan 3\n");
    timing.add("1e308 1\n1e308 1\ninf 1\n-inf 1\n1e999 1\n");
    // Delays that are not finite, or add up past the largest number, and
    // counts past the log's end and past 2^64.
    recording.add(std::string("\x02O 1e308 1\nO 1e308 1\nO nan 1\n") + '\0' + "log\nab");
    recording.add(std::string("\x02O inf 1\nI -inf 1\nO 1e999 1\n") + '\0' + "log\nab");
    recording.add(std::string("\x02O 0.5 18446744073709551616\nO 0.5 99\n") + '\0' + "log\nab");
    recording.add(
        "\x03{\"version\": 3}\n[1e308, \"o\", \"a\"]\n[1e308, \"q\", \"b\"]\n"
        "[1e308, \"o\", \"c\"]\n");
    recording.add("\x03{\"version\": 2}\n[1.7e308, \"o\", \"a\"]\n[-1.7e308, \"o\", \"b\"]\n");
    // What the writer hands a page: rows in the letters of its palette, and
    // the pen's marks.
    page.add(std::string("\x01") +
             "\x1b[bm|\x1b[m\x1b[am<ls>\x1b[m\x1b[bm|\x1b[m\n\x1b[cm. CR/^M\x1b[m\n");
    page.add(std::string("\x07") +
             "\x1b[dm: Esc [ 1 m\x1b[m\n\x1b[em& SGR\x1b[m\n\x1b[fm\" a\nb\x1b[m\n"
             "\x1b[=2;16777472;9;3;0m\x1b[im> \x1b[m\x1b[bm|\x1b[m\x1b[am\xc3\xa9\xff\x1b[m\n"
             "\x1b[gm@ 0.250000\x1b[m\nSummary\n");

    std::vector<fs::path> case_files;
    for (const auto& entry : fs::directory_iterator(case_dir)) {
        if (entry.path().extension() == ".case") case_files.push_back(entry.path());
    }
    std::sort(case_files.begin(), case_files.end());
    for (const auto& path : case_files) {
        for (const auto& c : vorsk_test::read_case_file(path.string())) {
            if (!c.parse_error.empty()) continue;
            std::string color_string;
            for (const auto& [name, value] : c.env) {
                if (name == "VORSK_COLORS") {
                    color_string = value;
                    colors.add(value);
                }
            }
            if (!c.input.empty())
                decoder.add(decoder_seed(c.input.substr(0, PIECE), flags_of(c.args), color_string,
                                         extended_of(c.args), has_arg(c.args, "--keys")));
            for (const auto& [name, content] : c.files) {
                if (name.ends_with(".cast")) recording.add("\x03" + content.substr(0, PIECE));
            }
            for (std::size_t i = 0; i + 1 < c.args.size(); ++i) {
                if (c.args[i] != "-t" && c.args[i] != "--timings") continue;
                for (const auto& [name, content] : c.files) {
                    if (name == c.args[i + 1]) timing.add(content);
                }
            }
        }
    }

    // The real sessions beside the golden cases.
    const fs::path recordings = case_dir / ".." / "data" / "recordings";
    if (fs::is_directory(recordings)) {
        formats.add("\x06" + read_all(recordings / "bash.cast").substr(0, PIECE));
        formats.add("\x0b" + read_all(recordings / "hello.ttyrec").substr(0, PIECE));
        formats.add("\x05\xff" + read_all(recordings / "answers.cast").substr(0, PIECE));
        recording.add("\x03" + read_all(recordings / "bash.cast").substr(0, PIECE));
        recording.add("\x02" + read_all(recordings / "bash-io.timing") + std::string(1, '\0') +
                      read_all(recordings / "bash-io.log").substr(0, PIECE));
    }

    if (fs::is_directory(corpus_dir)) {
        std::vector<fs::path> streams;
        for (const auto& entry : fs::recursive_directory_iterator(corpus_dir)) {
            if (!entry.is_regular_file()) continue;
            const fs::path& p = entry.path();
            const std::string folder = p.parent_path().filename().string();
            if (p.extension() == ".timing") {
                timing.add(read_all(p).substr(0, PIECE));
            } else if (p.extension() == ".typescript" || folder == "nasty" ||
                       p.filename() == "terminfo-distinct.bin") {
                streams.push_back(p);
            }
        }
        std::sort(streams.begin(), streams.end());
        for (const auto& p : streams) {
            const std::string bytes = read_all(p);
            const std::size_t pieces =
                std::min(PIECES_PER_FILE, (bytes.size() + PIECE - 1) / PIECE);
            for (std::size_t k = 0; k < pieces; ++k) {
                // Pieces spread over the whole file.
                const std::size_t at =
                    bytes.size() <= PIECE
                        ? 0
                        : k * (bytes.size() - PIECE) / std::max<std::size_t>(1, pieces - 1);
                // Every other piece in extended mode.
                decoder.add(decoder_seed(bytes.substr(at, PIECE), 0, "", k % 2 == 1));
            }
        }
    }
    std::printf(
        "seeds: %zu decoder, %zu colors, %zu timing, %zu recording, %zu page, %zu formats\n",
        decoder.size(), colors.size(), timing.size(), recording.size(), page.size(),
        formats.size());
    return 0;
}
