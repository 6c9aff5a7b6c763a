// The recordings that come as files of their own, and the writer of casts:
// a sudo I/O log's folder made from the input (its timing file, terminal
// output and input, log file), a cast or ttyrec recording compressed with
// gzip and perhaps cut short, inflated as the program inflates, and a cast
// or ttyrec as it is. Each is decoded with its records written to a cast
// by --record's writer; the cast must be JSON in valid UTF-8, a header and
// then events, that reads back to its end without a fault.
//
// The first byte chooses: bits 0-1 the format (0 sudo, 1 gzip, 2 a cast,
// 3 ttyrec), bit 2 extended mode, bit 3 the cast version written (3, else
// 2). With gzip the second byte says where the compressed data is cut (128
// and above: nowhere). The parts of a sudo log are separated by NUL bytes.
#include <fcntl.h>
#include <simdjson.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "decode/processor.h"
#include "driver/main_loop.h"
#include "driver/record.h"
#include "harness.h"
#include "input/cast.h"
#include "input/gzip.h"
#include "input/recording.h"
#include "input/sudo_iolog.h"
#include "input/ttyrec.h"
#include "output/line_writer.h"
#include "text/safe_text.h"

namespace {

void write_file(const std::string& path, std::string_view bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
        std::fclose(f) != 0)
        std::abort();
}

const std::string& folder() {
    static const std::string made = [] {
        char name[] = "/tmp/vorsk-formats-fuzz-XXXXXX";
        if (mkdtemp(name) == nullptr) std::abort();
        return std::string(name);
    }();
    return made;
}

std::string gzip(std::string_view bytes) {
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        std::abort();
    std::string out(deflateBound(&z, bytes.size()) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) std::abort();
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// The readers of a file: a cast when its first line says so, else ttyrec.
struct FileReader {
    vorsk::Cast* cast = nullptr;
    vorsk::Ttyrec* ttyrec = nullptr;
};

bool read_file(int fd, bool ttyrec, FileReader& f, vorsk::RecordReader& reader) {
    static std::uint8_t first[vorsk::CAST_HEADER_LIMIT];
    const ssize_t n = read(fd, first, sizeof first);
    if (n < 0) std::abort();
    const std::size_t len = static_cast<std::size_t>(n);
    if (!ttyrec && vorsk::cast_version(first, len, "fuzz", "vorsk", false) > 0) {
        f.cast =
            vorsk::cast_new(fd, "fuzz", "vorsk", first, len, nullptr, nullptr, vorsk::safe_text);
        if (f.cast == nullptr) std::abort();
        reader = vorsk::cast_reader(*f.cast);
        return true;
    }
    if (!ttyrec && !vorsk::looks_like_ttyrec(first, len)) return false;
    f.ttyrec = vorsk::ttyrec_new(fd, "fuzz", "vorsk", first, len);
    if (f.ttyrec == nullptr) std::abort();
    reader = vorsk::ttyrec_reader(*f.ttyrec);
    return true;
}

// The records decoded both ways, as the program does; the reader's status.
int decode(vorsk::RecordReader reader, bool extended) {
    vorsk::MemorySink memory;
    vorsk::LineWriter* w = vorsk::writer_new(vorsk::Sink{.memory = &memory}, vorsk::OutputConfig{});
    vorsk::Session session;
    if (w == nullptr || !vorsk::duplex_source(session.source, reader)) std::abort();
    static vorsk::Queries queries;
    queries = {};
    for (const auto d : {vorsk::TO_TERMINAL, vorsk::FROM_TERMINAL}) {
        vorsk::Processor& p = d == vorsk::TO_TERMINAL ? session.processor : session.input_processor;
        if (!vorsk::processor_init(
                p, vorsk::duplex_input(session.source, d), w,
                {.extended = extended, .keys = d == vorsk::FROM_TERMINAL, .queries = &queries}))
            std::abort();
        session.processors[d] = &p;
    }
    vorsk::decode_duplex(session.processors, session.source);
    vorsk::writer_flush(*w);
    const int status = reader.finish != nullptr ? reader.finish(reader.self) : 0;
    vorsk::processor_release(session.processor);
    vorsk::processor_release(session.input_processor);
    vorsk::writer_free(w);
    vorsk::memory_sink_release(memory);
    vorsk::duplex_free(session.source);
    return status;
}

// Every line of the cast is JSON (which simdjson reads as valid UTF-8
// only): a header object, then events [time, code, data].
void check_cast(const std::string& path) {
    simdjson::padded_string text;
    if (simdjson::padded_string::load(path).get(text) != simdjson::SUCCESS) std::abort();
    std::string_view rest(text.data(), text.size());
    if (rest.empty() || rest.back() != '\n') std::abort();
    simdjson::dom::parser parser;
    bool header = true;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const simdjson::padded_string line(rest.substr(0, end));
        rest.remove_prefix(end + 1);
        simdjson::dom::element doc;
        if (parser.parse(line).get(doc) != simdjson::SUCCESS) std::abort();
        if (header ? !doc.is_object() : !doc.is_array() || doc.get_array().size() != 3)
            std::abort();
        header = false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int format = data[0] & 3;
    const bool extended = (data[0] & 4) != 0;
    const int version = (data[0] & 8) != 0 ? 3 : 2;
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    vorsk::RecordReader reader;
    vorsk::SudoLog* sudo = nullptr;
    FileReader file;
    int fd = -1;
    if (format == 0) {
        const std::string& dir = folder();
        for (const char* part : {"timing", "ttyout", "ttyin", "log"}) {
            const std::size_t end = std::min(rest.find('\0'), rest.size());
            write_file(dir + "/" + part, rest.substr(0, end));
            rest.remove_prefix(std::min(end + 1, rest.size()));
        }
        sudo = vorsk::sudo_log_new(dir.c_str(), "vorsk");
        if (sudo == nullptr) std::abort();
        reader = vorsk::sudo_log_reader(*sudo);
    } else {
        std::string bytes(rest.substr(format == 1 ? 1 : 0));
        if (format == 1) {
            std::string compressed = gzip(bytes);
            if (data[1] < 128) compressed.resize(compressed.size() * data[1] / 128);
            const int in = vorsk_fuzz::memory_file(compressed);
            fd = memfd_create("inflated", 0);
            if (fd < 0) std::abort();
            vorsk::gunzip_to(in, fd);
            close(in);
            if (lseek(fd, 0, SEEK_SET) != 0) std::abort();
        } else {
            fd = vorsk_fuzz::memory_file(bytes);
        }
        if (!read_file(fd, format == 3, file, reader)) {
            close(fd);
            return 0;
        }
    }

    const std::string cast_path = folder() + "/written.cast";
    vorsk::CastWriter* cast = vorsk::cast_writer_new(
        {.path = cast_path.c_str(), .program_name = "vorsk", .version = version});
    if (cast == nullptr) std::abort();
    decode(vorsk::cast_writer_tee(*cast, reader), extended);
    if (vorsk::cast_writer_end(*cast) != 0) std::abort();
    vorsk::cast_writer_free(cast);
    vorsk::sudo_log_free(sudo);
    vorsk::cast_free(file.cast);
    vorsk::ttyrec_free(file.ttyrec);
    if (fd >= 0) close(fd);

    // What was written reads back to its end.
    check_cast(cast_path);
    const int written = open(cast_path.c_str(), O_RDONLY);
    FileReader again;
    vorsk::RecordReader back;
    if (written < 0 || !read_file(written, false, again, back) || again.cast == nullptr)
        std::abort();
    if (decode(back, extended) != 0) std::abort();
    vorsk::cast_free(again.cast);
    close(written);
    return 0;
}
