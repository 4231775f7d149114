#include "tools/convert/ConvertTool.h"

#include "tools/convert/Batch.h"
#include "tools/convert/ProgressDisplay.h"
#include "tools/encoder/EncoderLocator.h"
#include "tools/encoder/EncoderProbe.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <thread>
#include <unistd.h>

namespace kinovex::cli {

namespace {

constexpr const char* kVersion = "kinovex-convert 1.0";

const char* environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The ffmpeg to run: --ffmpeg, else KINOVEX_FFMPEG, else the first on PATH. It must answer
// whether it has libxvid; the answer is remembered per encoder, so only the first conversion
// with a given ffmpeg pays for starting it an extra time.
bool findEncoder(const ConvertOptions& options, EncoderSetup& setup, std::string& error) {
    EncoderSearch search;
    search.overridePath = !options.ffmpeg.empty() ? options.ffmpeg : environment("KINOVEX_FFMPEG");
    search.searchPath = environment("PATH");
    const EncoderLocation found = FindRealEncoder(search);
    if (found.path.empty()) {
        error = found.error;
        return false;
    }
    const std::optional<bool> libxvid = AskEncoderForLibxvid(found.path, EncoderCacheFile());
    if (!libxvid) {
        error = found.path + " does not run";
        return false;
    }
    setup.program = found.path;
    setup.hasLibxvid = *libxvid;
    return true;
}

} // namespace

int runConvertTool(const std::vector<std::string>& args, const std::atomic<bool>& interrupted) {
    const ParseResult parsed = parseConvertArguments(args);
    if (parsed.showHelp) {
        std::fputs(convertUsage().c_str(), stdout);
        return exitcode::kOk;
    }
    if (parsed.showVersion) {
        std::printf("%s\n", kVersion);
        return exitcode::kOk;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "kinovex-convert: %s\n", parsed.error.c_str());
        return exitcode::kUsage;
    }
    const ConvertOptions& options = parsed.options;
    EncoderSetup encoder;
    std::string error;
    if (!findEncoder(options, encoder, error)) {
        std::fprintf(stderr, "kinovex-convert: no usable ffmpeg: %s\n", error.c_str());
        return exitcode::kNoEncoder;
    }
    GatherResult gathered = gatherInputs(options);
    if (!gathered.error.empty()) {
        std::fprintf(stderr, "kinovex-convert: %s\n", gathered.error.c_str());
        return exitcode::kUsage;
    }
    const auto mode = options.quiet      ? ProgressDisplay::Mode::Quiet
                      : ::isatty(2) != 0 ? ProgressDisplay::Mode::Terminal
                                         : ProgressDisplay::Mode::Lines;
    const std::size_t total = gathered.inputs.size() + gathered.refused.size();
    ProgressDisplay display(mode, total);
    for (const auto& refused : gathered.refused) {
        display.finished(SIZE_MAX, refused);
    }
    if (total == 0) {
        std::fprintf(stderr, "kinovex-convert: no movie found in the given folders\n");
        return exitcode::kSomeFailed;
    }
    const unsigned jobs =
        options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    std::vector<JobResult> results =
        runBatch(gathered.inputs, options, encoder, jobs, display, interrupted);
    results.insert(results.begin(), gathered.refused.begin(), gathered.refused.end());
    display.summary(results);
    if (!options.report.empty()) {
        std::ofstream report(options.report, std::ios::trunc);
        report << reportJson(results);
        if (!report) {
            std::fprintf(stderr, "kinovex-convert: cannot write the report %s\n",
                         options.report.c_str());
        }
    }
    if (interrupted) {
        return exitcode::kInterrupted;
    }
    for (const auto& r : results) {
        if (!r.ok) {
            return exitcode::kSomeFailed;
        }
    }
    return exitcode::kOk;
}

} // namespace kinovex::cli
