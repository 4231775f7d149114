#include "tools/encoder/FrontEnd.h"

#include "tools/encoder/ChildProcess.h"
#include "tools/encoder/EncoderArguments.h"
#include "tools/encoder/EncoderLocator.h"
#include "tools/encoder/EncoderProbe.h"
#include "tools/encoder/TimeRewriter.h"
#include "tools/encoder/WavCheck.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace kinovex {

namespace {

constexpr const char* kChainVariable = "KINOVEX_ENCODER_CHAIN";

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Writes all of `bytes` to standard error. A reader that has gone away ends the front-end through
// SIGPIPE, and the encoder with it, as it would end the encoder writing there itself; after any
// other failure the rest is dropped while the encoder's output is still drained, so the encoder
// never blocks on it.
void WriteErrorOutput(std::string_view bytes) {
    static bool broken = false;
    while (!broken && !bytes.empty()) {
        const ssize_t n = write(STDERR_FILENO, bytes.data(), bytes.size());
        if (n > 0)
            bytes.remove_prefix(static_cast<std::size_t>(n));
        else if (n < 0 && errno != EINTR)
            broken = true;
    }
}

int Fail(const std::string& message) {
    WriteErrorOutput("kinovex encoder front-end: " + message + "\n");
    return 127;
}

} // namespace

int RunEncoderFrontEnd(int argc, char** argv) {
    std::error_code error;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", error).string();

    EncoderSearch search;
    search.overridePath = Environment("KINOVEX_FFMPEG");
    search.searchPath = std::getenv("PATH") != nullptr ? Environment("PATH") : "/usr/bin:/bin";
    search.selfPath = self;
    search.skip = ParseIdentityList(Environment(kChainVariable));
    const EncoderLocation real = FindRealEncoder(search);
    if (real.path.empty())
        return Fail(real.error);

    EncoderArguments arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    arguments = DropSilentSound(arguments, WavHoldsSamples);
    const bool hasLibxvid =
        RequestsXvid(arguments) && EncoderHasLibxvid(real.path, EncoderCacheFile());
    arguments = LimitEncoderOutput(MapEncoderArguments(arguments, hasLibxvid));

    // Should the real encoder be another front-end after all (two copies that find each other on
    // PATH), it knows to pass over this one.
    if (auto identity = IdentityOf(self)) {
        search.skip.push_back(*identity);
        setenv(kChainVariable, FormatIdentityList(search.skip).c_str(), 1);
    }

    std::vector<std::string> childArguments{real.path};
    childArguments.insert(childArguments.end(), arguments.begin(), arguments.end());

    TimeRewriter rewriter;
    std::string rewritten;
    std::string failure;
    const int status = RunWithErrorOutput(
        real.path, childArguments,
        [&](std::string_view piece) {
            rewritten.clear();
            rewriter.feed(piece, rewritten);
            WriteErrorOutput(rewritten);
        },
        &failure);
    rewritten.clear();
    rewriter.finish(rewritten);
    WriteErrorOutput(rewritten);
    if (!failure.empty())
        return Fail(failure);
    return status;
}

} // namespace kinovex
