// A console program for the redirector's tests. The first argument picks what it does:
//   pieces N      writes N bytes of a known pattern in small writes, alternating between
//                 standard output and standard error, then exits with code 0
//   say TEXT...   writes each TEXT to standard output as one write, then exits with code 0
//   exit CODE     exits at once with CODE
//   sleep         writes "ready\n" and waits for a signal that ends it
//   ignore-term   like sleep, with SIGTERM, SIGINT and SIGHUP ignored
//   grandchild    starts a grandchild that writes "grandchild PID\n" and waits, then writes
//                 "ready\n"; with a second argument "leave" it exits right after, leaving the
//                 grandchild behind holding the output
//   read-stdin    reads standard input until it ends, then writes "stdin ended\n"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void WriteAll(int fd, const std::string& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = write(fd, data, left);
        if (written <= 0)
            std::exit(3);
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

[[noreturn]] void WaitForever() {
    for (;;)
        pause();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const std::string mode = argv[1];
    if (mode == "pieces" && argc > 2) {
        const long total = std::atol(argv[2]);
        std::string pattern;
        for (long i = 0; i < total; ++i)
            pattern.push_back(static_cast<char>('a' + (i * 7) % 26));
        for (long at = 0, piece = 0; at < total; ++piece) {
            const long size = std::min<long>(1 + (piece * 37) % 300, total - at);
            WriteAll(piece % 2 == 0 ? 1 : 2,
                     pattern.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(size)));
            at += size;
        }
        return 0;
    }
    if (mode == "say") {
        for (int i = 2; i < argc; ++i)
            WriteAll(1, argv[i]);
        return 0;
    }
    if (mode == "exit" && argc > 2)
        return std::atoi(argv[2]);
    if (mode == "sleep" || mode == "ignore-term") {
        if (mode == "ignore-term") {
            signal(SIGTERM, SIG_IGN);
            signal(SIGINT, SIG_IGN);
            signal(SIGHUP, SIG_IGN);
        }
        WriteAll(1, "ready\n");
        WaitForever();
    }
    if (mode == "grandchild") {
        const pid_t grandchild = fork();
        if (grandchild < 0)
            return 4;
        if (grandchild == 0) {
            WriteAll(1, "grandchild " + std::to_string(getpid()) + "\n");
            WaitForever();
        }
        WriteAll(1, "ready\n");
        if (argc > 2 && std::strcmp(argv[2], "leave") == 0)
            return 0;
        WaitForever();
    }
    if (mode == "read-stdin") {
        char buffer[64];
        while (read(0, buffer, sizeof buffer) > 0) {
        }
        WriteAll(1, "stdin ended\n");
        return 0;
    }
    return 2;
}
