#include "tools/convert/RenderLanes.h"

#include "engine/Player.h"
#include "tools/convert/FrameStepper.h"
#include "tools/convert/PictureConversion.h"

#include <algorithm>
#include <ctime>

namespace kinovex::cli {

namespace {

// The calling thread's CPU time: what the engine cost, whatever else shares the cores.
double threadSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Frames a lane may have drawn ahead: one the writer is writing, one being drawn.
constexpr std::size_t kSlotsPerLane = 2;
// Memory the lanes together may keep drawn shapes in, so more lanes do not take more memory
// for it. A conversion gains little from more: the benchmark cartoon drew within 2 % as fast
// with half of the 48 MB the desktop player keeps (whose cache also serves seeking back and
// forth).
constexpr std::size_t kShapeCacheBytes = 32u * 1024u * 1024u;

} // namespace

struct RenderLanes::Lane {
    struct Slot {
        LaneFrame frame;
        std::vector<std::uint32_t> pixels; // the whole output picture, letterbox included
        std::vector<std::uint8_t> converted;
        bool ready = false; // drawn, waiting for the writer
    };

    std::unique_ptr<flash::Player> player;
    std::size_t index = 0;
    Slot slots[kSlotsPerLane];
    std::thread thread;
};

RenderLanes::RenderLanes(std::vector<std::unique_ptr<flash::Player>> players,
                         const ConvertOptions& options, const OutputPlan& plan, bool lengthFixed)
    : m_options(options), m_plan(plan), m_lengthFixed(lengthFixed) {
    const Geometry& g = plan.geometry;
    const std::uint32_t bar =
        plan.transparent ? 0u
                         : 0xFF000000u | (std::uint32_t{options.letterbox.r} << 16) |
                               (std::uint32_t{options.letterbox.g} << 8) | options.letterbox.b;
    for (std::size_t i = 0; i < players.size(); ++i) {
        auto lane = std::make_unique<Lane>();
        lane->player = std::move(players[i]);
        lane->player->setShapeCacheBudget(kShapeCacheBytes / players.size());
        lane->index = i;
        for (auto& slot : lane->slots) {
            slot.pixels.assign(static_cast<std::size_t>(g.width) * g.height, bar);
            if (plan.picture == PictureFormat::Yuv420) {
                slot.converted.resize(plan.frameBytes());
            }
        }
        m_lanes.push_back(std::move(lane));
    }
    for (auto& lane : m_lanes) {
        lane->thread = std::thread([this, l = lane.get()] { run(*l); });
    }
}

RenderLanes::~RenderLanes() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (auto& lane : m_lanes) {
        lane->thread.join();
    }
}

const LaneFrame& RenderLanes::next() {
    Lane& lane = *m_lanes[m_next % m_lanes.size()];
    auto& slot = lane.slots[(m_next / m_lanes.size()) % kSlotsPerLane];
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return slot.ready; });
    return slot.frame;
}

void RenderLanes::release() {
    Lane& lane = *m_lanes[m_next % m_lanes.size()];
    auto& slot = lane.slots[(m_next / m_lanes.size()) % kSlotsPerLane];
    {
        std::lock_guard lock(m_mutex);
        slot.ready = false;
        ++m_next;
    }
    m_changed.notify_all();
}

void RenderLanes::run(Lane& lane) {
    flash::Player& player = *lane.player;
    const std::size_t lanes = m_lanes.size();
    const Geometry& g = m_plan.geometry;
    FrameStepper stepper(player, m_options, m_plan.rate, m_lengthFixed);
    std::vector<std::int16_t> made;
    std::uint64_t drawn = 0;  // frames this lane drew
    double engineSeconds = 0; // since the lane's last frame went to the writer
    for (std::uint64_t n = 0;; ++n) {
        const double stepStarted = threadSeconds();
        const bool ended = !stepper.stepTo(n);
        made.clear();
        player.takeSound(made);
        engineSeconds += threadSeconds() - stepStarted;
        if (n % lanes != lane.index) {
            if (ended) {
                return; // the lane whose turn it is tells the writer
            }
            continue;
        }
        auto& slot = lane.slots[drawn++ % kSlotsPerLane];
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stopping || !slot.ready; });
            if (m_stopping) {
                return;
            }
        }
        const double drawStarted = threadSeconds();
        LaneFrame& frame = slot.frame;
        frame.ended = ended;
        frame.settled = stepper.settled();
        frame.buttonShown = frame.settled && stepper.buttonShown();
        frame.pressed = stepper.pressed();
        frame.sound.assign(made.begin(), made.end());
        if (!ended) {
            std::uint32_t* origin =
                slot.pixels.data() + static_cast<std::size_t>(g.contentY) * g.width + g.contentX;
            player.draw(origin, g.contentWidth, g.contentHeight, g.width * 4);
            if (m_plan.picture == PictureFormat::Yuv420) {
                toYuv420(slot.pixels.data(), g.width, g.height, slot.converted.data());
                frame.bytes = slot.converted;
            } else {
                if (m_plan.transparent) {
                    unpremultiply(slot.pixels); // encoders expect straight alpha
                }
                frame.bytes = {reinterpret_cast<const std::uint8_t*>(slot.pixels.data()),
                               slot.pixels.size() * 4};
            }
        }
        frame.renderSeconds = engineSeconds + threadSeconds() - drawStarted;
        engineSeconds = 0;
        {
            std::lock_guard lock(m_mutex);
            slot.ready = true;
        }
        m_changed.notify_all();
        if (ended) {
            return;
        }
    }
}

} // namespace kinovex::cli
