#include "tools/convert/ConvertJob.h"

#include "engine/Player.h"
#include "tools/convert/EncoderProcess.h"
#include "tools/convert/FramePacing.h"
#include "tools/convert/MovieEnd.h"
#include "tools/convert/OutputFormat.h"
#include "tools/convert/RenderLanes.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace kinovex::cli {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Another engine on the movie `first` plays, for another lane; none when it cannot be made.
std::unique_ptr<flash::Player> anotherPlayer(const flash::Player& first, bool transparent) {
    auto player = std::make_unique<flash::Player>();
    player->setTransparentBackground(transparent);
    if (!player->loadSameMovie(first).ok) {
        return nullptr;
    }
    return player;
}

// A cut-off output file is no use to anyone: left behind, it would pass for a result and block
// a rerun. A png sequence keeps the pictures written so far.
void removeUnfinished(const std::string& output, Profile profile) {
    if (profile != Profile::Png) {
        std::error_code ignored;
        std::filesystem::remove(output, ignored);
    }
}

// Why a conversion of open length ended at `seconds`, on a frame the movie rests on.
std::string restReason(bool buttonShown, double seconds) {
    return std::string(buttonShown ? "stopped, waiting for input" : "movie finished") + " at " +
           formatMoment(seconds);
}

std::string maxDurationNote(double maxDuration) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "stopped after %g s: the movie did not come to rest "
                  "(--duration or --max-duration sets the length)",
                  maxDuration);
    return text;
}

} // namespace

std::string formatMoment(double seconds) {
    const long tenths = std::max(0L, std::lround(seconds * 10));
    const long s = tenths / 10;
    char text[48];
    if (s >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld.%ld", s / 3600, s / 60 % 60, s % 60,
                      tenths % 10);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld.%ld", s / 60, s % 60, tenths % 10);
    }
    return text;
}

std::string outputPathFor(const std::string& input, const std::string& folder, Profile profile) {
    namespace fs = std::filesystem;
    const fs::path in(input);
    const fs::path dir = folder.empty() ? in.parent_path() : fs::path(folder);
    const std::string stem = in.stem().string();
    if (profile == Profile::Png) {
        return (dir / (stem + "_%05d.png")).string();
    }
    return (dir / (stem + profileExtension(profile))).string();
}

std::string sequencePattern(const std::string& output) {
    if (output.find('%') != std::string::npos) {
        return output;
    }
    std::string base = output;
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".png") == 0) {
        base.resize(base.size() - 4);
    }
    return base + "_%05d.png";
}

JobResult convertMovie(const std::string& input, const std::string& output,
                       const ConvertOptions& options, const EncoderSetup& encoder,
                       const ProgressCallback& progress, const std::atomic<bool>& interrupted,
                       unsigned engines) {
    const auto started = Clock::now();
    JobResult result;
    result.input = input;
    result.output = output;

    auto player = std::make_unique<flash::Player>();
    const auto loaded = player->load(input);
    if (!loaded.ok) {
        result.error = loaded.error;
        return result;
    }
    const OutputPlan plan =
        planOutput(options, player->stageWidth(), player->stageHeight(), player->frameRate());
    if (options.profile != Profile::Png && !options.overwrite && std::filesystem::exists(output)) {
        result.error = output + " exists already (-y replaces it)";
        return result;
    }
    player->setTransparentBackground(plan.transparent);

    std::optional<std::uint64_t> fixedFrames;
    if (options.frames) {
        fixedFrames = *options.frames;
    } else if (options.duration) {
        fixedFrames = std::max<std::uint64_t>(
            1, static_cast<std::uint64_t>(std::ceil(*options.duration * plan.rate.value())));
    }
    const auto boundFrames = std::max<std::uint64_t>(
        1, static_cast<std::uint64_t>(std::ceil(options.maxDuration * plan.rate.value())));
    JobProgress report;
    report.expected = static_cast<std::uint32_t>(fixedFrames.value_or(0));
    if (!fixedFrames && player->frameCount() > 1 && player->frameRate() > 0) {
        // A guess for the progress bar: the main timeline played through once.
        report.expected = static_cast<std::uint32_t>(std::min<double>(
            static_cast<double>(boundFrames),
            std::ceil(player->frameCount() * plan.rate.value() / player->frameRate())));
    }
    // A movie of a frame or two gains nothing from more engines.
    const std::uint64_t likelyFrames =
        fixedFrames.value_or(report.expected > 0 ? report.expected : boundFrames);
    const auto laneCount = static_cast<unsigned>(
        std::clamp<std::uint64_t>(likelyFrames / 2, 1, std::max(1u, engines)));
    std::vector<std::unique_ptr<flash::Player>> players;
    for (unsigned i = 1; i < laneCount; ++i) {
        if (auto another = anotherPlayer(*player, plan.transparent)) {
            players.push_back(std::move(another));
        }
    }
    players.insert(players.begin(), std::move(player));

    EncoderProcess ffmpeg;
    if (!ffmpeg.start(encoder.program, encoderArguments(options, plan, output, encoder.hasLibxvid),
                      plan.audio)) {
        result.error = ffmpeg.error();
        return result;
    }

    SoundAligner sound(plan.rate);
    MovieEnd end(static_cast<std::uint32_t>(std::ceil(plan.rate.value())));
    double renderSeconds = 0;
    std::uint64_t written = 0;
    bool broken = false;
    auto secondsAt = [&](std::uint64_t frames) {
        return static_cast<double>(frames) / plan.rate.value();
    };
    {
        RenderLanes lanes(std::move(players), options, plan, fixedFrames.has_value());
        for (;;) {
            if (interrupted) {
                ffmpeg.kill();
                result.error = "interrupted";
                removeUnfinished(output, options.profile);
                return result;
            }
            const LaneFrame& frame = lanes.next();
            renderSeconds += frame.renderSeconds;
            if (frame.ended) {
                result.ended = "movie finished at " + formatMoment(secondsAt(written));
                break;
            }
            if (!frame.pressed.empty()) {
                result.events.push_back("pressed \"" + frame.pressed + "\" at " +
                                        formatMoment(secondsAt(written)));
            }
            MovieEnd::Verdict verdict = MovieEnd::Verdict::Go;
            if (!fixedFrames) {
                verdict = end.frame(frame.settled, frame.settled ? pictureHash(frame.bytes) : 0);
            }
            if (verdict == MovieEnd::Verdict::EndBefore) {
                result.ended = restReason(frame.buttonShown, secondsAt(written));
                break;
            }
            // The frame's sound goes first: ffmpeg may want sound before it takes more picture.
            if (plan.audio && !ffmpeg.writeSound(sound.frame(written + 1, frame.sound))) {
                broken = true;
                break;
            }
            if (!ffmpeg.writeFrame(frame.bytes)) {
                broken = true;
                break;
            }
            const bool buttonShown = frame.buttonShown;
            lanes.release();
            ++written;
            report.frame = static_cast<std::uint32_t>(written);
            report.outputSeconds = secondsAt(written);
            if (progress) {
                progress(report);
            }
            if (verdict == MovieEnd::Verdict::EndAfter) {
                result.ended = restReason(buttonShown, secondsAt(written));
                break;
            }
            if (fixedFrames ? written >= *fixedFrames : written >= boundFrames) {
                if (fixedFrames) {
                    result.ended = options.frames ? "--frames" : "--duration";
                } else {
                    result.ended = "--max-duration at " + formatMoment(secondsAt(written));
                    result.note = maxDurationNote(options.maxDuration);
                }
                break;
            }
        }
    }
    if (plan.audio && !broken) {
        broken = !ffmpeg.writeSound(sound.finish(written));
    }
    const int status = ffmpeg.finish();
    result.frames = static_cast<std::uint32_t>(written);
    result.outputSeconds = static_cast<double>(written) / plan.rate.value();
    result.soundSamples = plan.audio ? sound.written() : 0;
    result.renderSeconds = renderSeconds;
    result.wallSeconds = secondsSince(started);
    if (status != 0 || broken) {
        result.error = status != 0 ? ffmpeg.error() : "ffmpeg stopped reading";
        removeUnfinished(output, options.profile);
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace kinovex::cli
