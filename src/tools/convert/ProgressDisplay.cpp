#include "tools/convert/ProgressDisplay.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace kinovex::cli {

namespace {

constexpr int kBarWidth = 24;

double fractionOf(const JobProgress& p) {
    return p.expected > 0 ? std::min(1.0, static_cast<double>(p.frame) / p.expected) : 0.0;
}

} // namespace

std::string formatDuration(double seconds) {
    const long s = std::max(0L, std::lround(seconds));
    char text[32];
    if (s >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    }
    return text;
}

ProgressDisplay::ProgressDisplay(Mode mode, std::size_t movies, std::FILE* out)
    : m_mode(mode), m_movies(movies), m_out(out) {}

void ProgressDisplay::started(std::size_t index, const BatchInput& input) {
    Running r;
    r.name = std::filesystem::path(input.movie).filename().string();
    r.start = std::chrono::steady_clock::now();
    m_running[index] = r;
}

void ProgressDisplay::progressed(std::size_t index, const JobProgress& progress) {
    auto it = m_running.find(index);
    if (it == m_running.end() || m_mode == Mode::Quiet) {
        return;
    }
    Running& r = it->second;
    r.progress = progress;
    if (m_mode == Mode::Lines) {
        const int tenth = static_cast<int>(fractionOf(progress) * 10);
        if (progress.expected > 0 && tenth > r.lastTenth && tenth < 10) {
            r.lastTenth = tenth;
            std::fprintf(m_out, "%s: %d%% (%u/%u frames)\n", r.name.c_str(), tenth * 10,
                         progress.frame, progress.expected);
            std::fflush(m_out);
        }
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (m_barShown && now - m_lastDraw < std::chrono::milliseconds(100)) {
        return; // a terminal needs no more than ten pictures a second
    }
    m_lastDraw = now;
    drawBar();
}

void ProgressDisplay::drawBar() {
    // The bar follows the job started first among those running; the others are counted.
    const Running& r = m_running.begin()->second;
    const double f = fractionOf(r.progress);
    const int filled = static_cast<int>(f * kBarWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kBarWidth, '.');
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - r.start).count();
    const double speed = elapsed > 0 ? r.progress.outputSeconds / elapsed : 0;
    std::string eta = "--:--";
    if (f > 0.01 && f < 1) {
        eta = formatDuration(elapsed / f - elapsed);
    }
    std::string name = r.name.size() > 28 ? r.name.substr(0, 25) + "..." : r.name;
    char line[256];
    std::snprintf(line, sizeof line, "\r%s [%s] %3d%% %5.1fx ETA %s", name.c_str(), bar.c_str(),
                  static_cast<int>(f * 100), speed, eta.c_str());
    std::string text = line;
    if (m_movies > 1) {
        text += "  (" + std::to_string(m_done) + "/" + std::to_string(m_movies) + " done)";
    }
    std::fprintf(m_out, "%s\033[K", text.c_str());
    std::fflush(m_out);
    m_barShown = true;
}

void ProgressDisplay::clearBar() {
    if (m_barShown) {
        std::fprintf(m_out, "\r\033[K");
        m_barShown = false;
    }
}

void ProgressDisplay::finished(std::size_t index, const JobResult& result) {
    ++m_done;
    const auto it = m_running.find(index);
    const std::string name = it != m_running.end() ? it->second.name : result.input;
    m_running.erase(index);
    if (m_mode == Mode::Terminal) {
        clearBar();
    }
    if (!result.ok) {
        std::fprintf(m_out, "%s: failed: %s\n", name.c_str(), result.error.c_str());
    } else if (m_mode != Mode::Quiet) {
        const double speed = result.wallSeconds > 0 ? result.outputSeconds / result.wallSeconds : 0;
        std::fprintf(m_out, "%s: converted to %s (%u frames, %s, %.1fx real time)\n", name.c_str(),
                     result.output.c_str(), result.frames,
                     formatDuration(result.outputSeconds).c_str(), speed);
        for (const std::string& event : result.events) {
            std::fprintf(m_out, "%s: %s\n", name.c_str(), event.c_str());
        }
        if (!result.note.empty()) {
            std::fprintf(m_out, "%s: note: %s\n", name.c_str(), result.note.c_str());
        }
        if (!result.ended.empty()) {
            std::fprintf(m_out, "%s: ended: %s\n", name.c_str(), result.ended.c_str());
        }
    }
    if (m_mode == Mode::Terminal && !m_running.empty()) {
        drawBar();
    }
    std::fflush(m_out);
}

void ProgressDisplay::summary(const std::vector<JobResult>& results) {
    std::size_t converted = 0;
    for (const auto& r : results) {
        converted += r.ok ? 1 : 0;
    }
    const std::size_t failed = results.size() - converted;
    if (m_mode == Mode::Quiet && failed == 0) {
        return;
    }
    if (results.size() > 1 || failed > 0) {
        std::fprintf(m_out, "%zu converted, %zu failed\n", converted, failed);
        for (const auto& r : results) {
            if (!r.ok) {
                std::fprintf(m_out, "  failed: %s: %s\n", r.input.c_str(), r.error.c_str());
            }
        }
    }
    std::fflush(m_out);
}

} // namespace kinovex::cli
