#include "cli/convert/ConvertJob.h"

#include "cli/convert/EncoderProcess.h"
#include "cli/convert/FramePacing.h"
#include "cli/convert/OutputFormat.h"
#include "flash/Player.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <optional>
#include <vector>

namespace kinovex::cli {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Premultiplied ARGB (what the engine draws) to straight alpha (what encoders expect).
void unpremultiply(std::vector<std::uint32_t>& pixels) {
    for (std::uint32_t& p : pixels) {
        const std::uint32_t a = p >> 24;
        if (a == 255 || a == 0) {
            continue;
        }
        auto channel = [&](int shift) {
            const std::uint32_t c = (p >> shift) & 255;
            return std::min<std::uint32_t>(255, (c * 255 + a / 2) / a) << shift;
        };
        p = (a << 24) | channel(16) | channel(8) | channel(0);
    }
}

// How the conversion ends when the command line does not say.
class EndRule {
public:
    EndRule(std::uint32_t frameCount, std::uint64_t boundFrames)
        : m_frameCount(frameCount), m_bound(boundFrames) {}

    // After the engine moved on by `advanced` movie frames and now shows `current`: true when
    // the previous output frame was the last one to write.
    bool endsBefore(std::uint32_t current, int advanced) const {
        return m_frameCount > 1 && m_lastShown == m_frameCount && advanced > 0 &&
               current <= m_lastShown;
    }
    void shown(std::uint32_t current) { m_lastShown = current; }
    bool boundReached(std::uint64_t written) const { return written >= m_bound; }

private:
    std::uint32_t m_frameCount;
    std::uint64_t m_bound;
    std::uint32_t m_lastShown = 0;
};

// The frame buffer: the movie drawn into its place, the letterbox around it.
class Canvas {
public:
    Canvas(const Geometry& g, const Rgb& letterbox, bool transparent)
        : m_geometry(g), m_pixels(static_cast<std::size_t>(g.width) * g.height) {
        const std::uint32_t bar = transparent ? 0u
                                              : 0xFF000000u | (std::uint32_t{letterbox.r} << 16) |
                                                    (std::uint32_t{letterbox.g} << 8) | letterbox.b;
        std::fill(m_pixels.begin(), m_pixels.end(), bar);
        m_transparent = transparent;
    }

    std::span<const std::uint8_t> draw(flash::Player& player) {
        const Geometry& g = m_geometry;
        std::uint32_t* origin =
            m_pixels.data() + static_cast<std::size_t>(g.contentY) * g.width + g.contentX;
        player.draw(origin, g.contentWidth, g.contentHeight, g.width * 4);
        if (m_transparent) {
            unpremultiply(m_pixels);
        }
        return {reinterpret_cast<const std::uint8_t*>(m_pixels.data()), m_pixels.size() * 4};
    }

private:
    Geometry m_geometry;
    std::vector<std::uint32_t> m_pixels;
    bool m_transparent = false;
};

void clickAt(flash::Player& player, const Click& c) {
    const flash::StagePoint p{c.x, c.y};
    player.mouseMove(p);
    player.mouseDown(p);
    player.mouseUp(p);
}

} // namespace

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
                       const ProgressCallback& progress, const std::atomic<bool>& interrupted) {
    const auto started = Clock::now();
    JobResult result;
    result.input = input;
    result.output = output;

    flash::Player player;
    const auto loaded = player.load(input);
    if (!loaded.ok) {
        result.error = loaded.error;
        return result;
    }
    const OutputPlan plan =
        planOutput(options, player.stageWidth(), player.stageHeight(), player.frameRate());
    if (options.profile != Profile::Png && !options.overwrite && std::filesystem::exists(output)) {
        result.error = output + " exists already (-y replaces it)";
        return result;
    }
    player.setTransparentBackground(plan.transparent);

    std::optional<std::uint64_t> fixedFrames;
    if (options.frames) {
        fixedFrames = *options.frames;
    } else if (options.duration) {
        fixedFrames = std::max<std::uint64_t>(
            1, static_cast<std::uint64_t>(std::ceil(*options.duration * plan.rate.value())));
    }
    const auto boundFrames = std::max<std::uint64_t>(
        1, static_cast<std::uint64_t>(std::ceil(options.maxDuration * plan.rate.value())));
    EndRule endRule(player.frameCount(), boundFrames);

    EncoderProcess ffmpeg;
    if (!ffmpeg.start(encoder.program, encoderArguments(options, plan, output, encoder.hasLibxvid),
                      plan.audio)) {
        result.error = ffmpeg.error();
        return result;
    }

    Canvas canvas(plan.geometry, options.letterbox, plan.transparent);
    SoundAligner sound(plan.rate);
    std::vector<std::int16_t> made;
    double renderSeconds = 0;
    std::uint64_t written = 0;
    std::uint64_t clockMs = 0;
    std::uint32_t autoPlayedOn = 0; // the frame --auto-play last pressed a button on
    bool broken = false;
    JobProgress report;
    report.expected = static_cast<std::uint32_t>(fixedFrames.value_or(0));
    if (!fixedFrames && player.frameCount() > 1 && player.frameRate() > 0) {
        // A guess for the progress bar: the main timeline played through once.
        report.expected = static_cast<std::uint32_t>(std::min<double>(
            static_cast<double>(boundFrames),
            std::ceil(player.frameCount() * plan.rate.value() / player.frameRate())));
    }

    for (;;) {
        if (interrupted) {
            ffmpeg.kill();
            result.error = "interrupted";
            if (options.profile != Profile::Png) {
                // Left behind, a cut-off file would pass for a result and block a rerun.
                std::error_code ignored;
                std::filesystem::remove(output, ignored);
            }
            return result;
        }
        const auto renderStart = Clock::now();
        if (written > 0) {
            for (const Click& c : options.clicks) {
                if (c.frame == written + 1) {
                    clickAt(player, c);
                }
            }
            const std::uint64_t due = millisecondsAt(plan.rate, written);
            const auto step = static_cast<std::uint32_t>(due - clockMs);
            clockMs = due;
            const std::uint32_t before = player.currentFrame();
            const int advanced = player.advance(step);
            const std::uint32_t now = player.currentFrame();
            if (!fixedFrames && endRule.endsBefore(now, advanced)) {
                break;
            }
            // A main timeline that moved on a frame and still shows the same one stands
            // stopped: a button there is what the movie waits for.
            if (options.autoPlay && advanced > 0 && now == before && autoPlayedOn != now) {
                if (const auto centre = player.firstButtonCentre()) {
                    clickAt(player, Click{centre->x, centre->y, 0});
                    autoPlayedOn = now;
                }
            }
        } else {
            for (const Click& c : options.clicks) {
                if (c.frame == 1) {
                    clickAt(player, c); // the first frame ran at load: as soon as it can
                }
            }
        }
        endRule.shown(player.currentFrame());
        const auto pixels = canvas.draw(player);
        renderSeconds += secondsSince(renderStart);
        // The frame's sound goes first: ffmpeg may want sound before it takes more picture.
        made.clear();
        player.takeSound(made);
        if (plan.audio && !ffmpeg.writeSound(sound.frame(written + 1, made))) {
            broken = true;
            break;
        }
        if (!ffmpeg.writeFrame(pixels)) {
            broken = true;
            break;
        }
        ++written;
        report.frame = static_cast<std::uint32_t>(written);
        report.outputSeconds = static_cast<double>(written) / plan.rate.value();
        if (progress) {
            progress(report);
        }
        if (fixedFrames ? written >= *fixedFrames : endRule.boundReached(written)) {
            if (!fixedFrames) {
                char text[160];
                std::snprintf(text, sizeof text,
                              "stopped after %g s: the movie did not reach its end "
                              "(--duration or --max-duration sets the length)",
                              options.maxDuration);
                result.note = text;
            }
            break;
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
        if (options.profile != Profile::Png) {
            std::error_code ignored;
            std::filesystem::remove(output, ignored); // a half-written file is no use to anyone
        }
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace kinovex::cli
