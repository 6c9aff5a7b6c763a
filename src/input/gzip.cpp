#include "input/gzip.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace vorsk {
namespace {

bool write_all(int fd, const unsigned char* bytes, std::size_t n) {
    while (n > 0) {
        const ssize_t put = write(fd, bytes, n);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

}  // namespace

const char* gunzip_to(int fd, int out) {
    static unsigned char in_buffer[64 * 1024];
    static unsigned char out_buffer[256 * 1024];
    z_stream z{};
    // 16: a gzip header and trailer around the deflated data.
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return "zlib could not start";
    bool ended = true;  // at a member's end: the input may end here
    const char* problem = nullptr;
    for (;;) {
        if (z.avail_in == 0) {
            const ssize_t got = read(fd, in_buffer, sizeof in_buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                problem = std::strerror(errno);
                break;
            }
            if (got == 0) {
                if (!ended) problem = "the compressed data ends early: the recording was cut short";
                break;
            }
            z.next_in = in_buffer;
            z.avail_in = static_cast<unsigned>(got);
        }
        if (ended) {
            ended = false;
            if (z.total_in != 0) inflateReset(&z);
        }
        z.next_out = out_buffer;
        z.avail_out = sizeof out_buffer;
        const int status = inflate(&z, Z_NO_FLUSH);
        if (!write_all(out, out_buffer, sizeof out_buffer - z.avail_out)) break;  // reader gone
        if (status == Z_STREAM_END) {
            ended = true;
            continue;
        }
        if (status != Z_OK && status != Z_BUF_ERROR) {
            problem = "the compressed data is damaged";
            break;
        }
    }
    inflateEnd(&z);
    return problem;
}

bool is_gzip_file(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    unsigned char magic[2] = {};
    return pread(fd, magic, sizeof magic, 0) == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
}

int gunzip_pipe(int fd, const char* program_name, const char* name) {
    int ends[2];
    if (pipe(ends) != 0) return -1;
    const pid_t child = fork();
    if (child < 0) {
        close(ends[0]);
        close(ends[1]);
        return -1;
    }
    if (child == 0) {
        close(ends[0]);
        // The reader gone, the child goes quietly.
        std::signal(SIGPIPE, SIG_DFL);
        lseek(fd, 0, SEEK_SET);
        if (const char* problem = gunzip_to(fd, ends[1]))
            std::fprintf(stderr, "%s: %s: %s\n", program_name, name, problem);
        _exit(0);
    }
    close(ends[1]);
    close(fd);
    fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    return ends[0];
}

}  // namespace vorsk
