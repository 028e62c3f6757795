// The yardstick for the reader: a plain scan of a file in 1 MiB read()
// blocks with one memchr per line, counting lines and nothing else.
//
//   korvel_line_scan FILE
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    int fd = open(argv[1], O_RDONLY);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::vector<char> block(std::size_t(1) << 20);
    unsigned long long lines = 0;
    bool open_line = false;  // bytes after the last line end seen
    for (;;) {
        ssize_t n = read(fd, block.data(), block.size());
        if (n < 0) {
            std::perror("read");
            return 1;
        }
        if (n == 0) break;
        const char* p = block.data();
        const char* end = p + n;
        while (p < end) {
            const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
            if (lf == nullptr) {
                open_line = true;
                break;
            }
            ++lines;
            open_line = false;
            p = static_cast<const char*>(lf) + 1;
        }
    }
    close(fd);
    if (open_line) ++lines;
    std::printf("%llu\n", lines);
    return 0;
}
