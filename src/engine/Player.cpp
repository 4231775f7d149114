#include "engine/Player.h"

#include "engine/avm1/ScriptRuntime.h"
#include "engine/avm2/Avm2Runtime.h"
#include "engine/definitions/Movie.h"
#include "engine/display/ButtonInput.h"
#include "engine/display/Mixer.h"
#include "engine/display/Timeline.h"
#include "engine/render/Renderer.h"

#include <algorithm>
#include <cairo.h>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace kinovex::flash {

namespace {

// A frame rate of 0 means "as fast as possible" to Flash; for a converter that has no meaning,
// so such movies play at the common default rate.
constexpr std::uint16_t kDefaultFrameRate256 = 12 * 256;

// True when no clip under `timeline` plays on to frames it has not shown yet: each stands
// stopped, has shown its last frame or has been sent back by a script.
bool ClipsSettled(const TimelineInstance& timeline, int nesting) {
    if (nesting > TimelineInstance::kMaxNesting + 2) {
        return true;
    }
    for (const auto& [depth, obj] : timeline.displayList()) {
        if (!obj.sprite) {
            continue;
        }
        const TimelineInstance& clip = *obj.sprite;
        const bool repeats = clip.hasShownLastFrame() || clip.hasJumpedBack();
        if ((clip.playing() && !repeats) || !ClipsSettled(clip, nesting + 1)) {
            return false;
        }
    }
    return true;
}

double wallClockMs() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<double>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

} // namespace

Player::Player() = default;

Player::~Player() {
    reset();
}

void Player::reset() {
    m_renderer.reset();
    m_buttons.reset();
    m_root.reset();
    m_scripts.reset();
    m_mixer.reset();
    m_sound.clear();
    m_movie.reset();
    m_playing = false;
    m_elapsedMs = 0;
    m_framesByClock = 0;
    m_framesRun = 0;
    m_movieFolder.clear();
}

LoadResult Player::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        reset();
        return {false, "The file cannot be read: " + path};
    }
    std::vector<std::uint8_t> bytes;
    in.seekg(0, std::ios::end);
    const auto size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0) {
        reset();
        return {false, "The file cannot be read: " + path};
    }
    if (static_cast<std::uint64_t>(size) > kMaxMovieBytes) {
        reset();
        return {false, "The movie is too large: " + path};
    }
    bytes.resize(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    if (!in) {
        reset();
        return {false, "The file cannot be read: " + path};
    }
    // The movie takes the bytes: it does not keep the file beside its body while reading it.
    reset();
    m_log.clear();
    m_movieFolder = std::filesystem::absolute(std::filesystem::path(path)).parent_path().string();
    auto movie = std::make_unique<Movie>();
    const SwfOpenResult opened = movie->load(std::move(bytes), m_log);
    if (!opened.ok) {
        return {false, opened.error};
    }
    return start(std::move(movie), nullptr, m_clockEpoch.value_or(wallClockMs()));
}

LoadResult Player::loadFromMemory(std::span<const std::uint8_t> bytes) {
    reset();
    m_log.clear();
    auto movie = std::make_unique<Movie>();
    const SwfOpenResult opened = movie->load(bytes, m_log);
    if (!opened.ok) {
        return {false, opened.error};
    }
    return start(std::move(movie), nullptr, m_clockEpoch.value_or(wallClockMs()));
}

LoadResult Player::loadSameMovie(const Player& other) {
    if (&other == this || !other.m_movie || !other.m_mixer) {
        return {false, "no movie is loaded"};
    }
    std::shared_ptr<Movie> movie = other.m_movie;
    reset();
    m_log.clear();
    m_movieFolder = other.m_movieFolder;
    return start(std::move(movie), other.m_mixer.get(), other.m_startClock);
}

LoadResult Player::start(std::shared_ptr<Movie> movie, const SoundMixer* soundsFrom,
                         double clockEpoch) {
    m_movie = std::move(movie);
    m_startClock = clockEpoch;
    m_mixer = std::make_unique<SoundMixer>(m_movie->frameRate256());
    m_mixer->setVolume(m_volume);
    if (soundsFrom != nullptr) {
        // The first player took the movie's sounds into its mixer.
        m_mixer->defineSoundsOf(*soundsFrom);
    } else {
        for (SoundDefinition& sound : m_movie->sounds()) {
            m_mixer->defineSound(std::move(sound));
        }
        m_movie->sounds().clear();
    }
    // ActionScript 3 movies run on their own machine; the rest on the ActionScript 1/2 one.
    if (m_movie->isActionScript3()) {
        m_scripts = std::make_unique<Avm2Runtime>(*m_movie, m_log, m_mixer.get());
    } else {
        m_scripts = std::make_unique<ScriptRuntime>(*m_movie, m_log, m_mixer.get());
    }
    if (m_scriptBudget != 0) {
        m_scripts->setInstructionBudget(m_scriptBudget);
    }
    m_scripts->setTraceSink([this](std::string_view line) {
        if (m_traceSink) {
            m_traceSink(line);
        }
    });
    m_scripts->setMovieFolder(m_movieFolder);
    m_scripts->setClockEpoch(clockEpoch);
    m_root = std::make_unique<TimelineInstance>(*m_movie, m_movie->timeline(), 0, m_liveSprites);
    m_root->setSound(m_mixer.get());
    m_scripts->attachRoot(*m_root);
    m_root->start();
    m_scripts->finishFrame();
    connectButtons();

    frameShown();
    m_renderer = std::make_unique<Renderer>(*m_movie, m_log);
    m_renderer->setScriptLayers(m_scripts->scriptLayers());
    if (m_shapeCacheBudget) {
        m_renderer->setShapeCacheBudget(*m_shapeCacheBudget);
    }
    m_playing = true;
    return {true, {}};
}

int Player::advance(std::uint32_t milliseconds) {
    if (!m_root || !m_playing) {
        return 0;
    }
    std::uint16_t rate = m_movie->frameRate256();
    if (rate == 0) {
        rate = kDefaultFrameRate256;
    }
    m_elapsedMs += milliseconds;
    const std::uint64_t due = m_elapsedMs * rate / (1000u * 256u);
    const auto frames = static_cast<int>(due - m_framesByClock);
    m_framesByClock = due;
    for (int i = 0; i < frames; ++i) {
        runFrame();
        frameShown();
    }
    return frames;
}

void Player::nextFrame() {
    if (m_root) {
        runFrame();
        frameShown();
    }
}

bool Player::hasQuit() const {
    return m_scripts && m_scripts->quitRequested();
}

void Player::runFrame() {
    if (m_scripts->quitRequested()) {
        return; // the movie has closed itself: its last picture stays
    }
    ++m_framesRun;
    m_scripts->runFrame(scriptClockMs());
}

double Player::scriptClockMs() const {
    std::uint16_t rate = m_movie->frameRate256();
    if (rate == 0) {
        rate = kDefaultFrameRate256;
    }
    // It stands at the time the frame last run was due.
    return std::floor(static_cast<double>(m_framesRun) * 1000.0 * 256.0 / rate);
}

void Player::setScriptInstructionBudget(std::uint64_t actions) {
    m_scriptBudget = actions;
    if (m_scripts) {
        m_scripts->setInstructionBudget(actions);
    }
}

void Player::frameShown() {
    if (m_buttons) {
        // Buttons that came or went under a pointer standing still roll over or out.
        m_buttons->frameChanged();
        m_scripts->finishFrame();
    }
    m_mixer->mixFrame(m_sound);
    if (m_sound.size() > 2 * kMaxPendingSound) {
        m_sound.erase(m_sound.begin(),
                      m_sound.end() - static_cast<std::ptrdiff_t>(2 * kMaxPendingSound));
    }
}

void Player::takeSound(std::vector<std::int16_t>& out) {
    out.insert(out.end(), m_sound.begin(), m_sound.end());
    m_sound.clear();
}

void Player::setVolume(int percent) {
    m_volume = std::clamp(percent, 0, 100);
    if (m_mixer) {
        m_mixer->setVolume(m_volume);
    }
}

void Player::gotoFrame(std::uint32_t frame) {
    if (m_root && frame >= 1) {
        m_root->gotoFrame(frame - 1);
        m_scripts->finishFrame();
    }
}

double Player::frameRate() const {
    if (!m_movie) {
        return 0.0;
    }
    const std::uint16_t rate = m_movie->frameRate256();
    return (rate == 0 ? kDefaultFrameRate256 : rate) / 256.0;
}

std::uint32_t Player::frameCount() const {
    return m_root ? m_root->frameCount() : 0;
}

std::uint32_t Player::currentFrame() const {
    return m_root ? m_root->currentFrame() + 1 : 0;
}

int Player::stageWidth() const {
    return m_movie ? std::max(0, (m_movie->frameSize().width() + 10) / 20) : 0;
}

int Player::stageHeight() const {
    return m_movie ? std::max(0, (m_movie->frameSize().height() + 10) / 20) : 0;
}

std::uint32_t Player::backgroundColor() const {
    if (!m_movie) {
        return 0xffffff;
    }
    const Rgba c = m_movie->background();
    return static_cast<std::uint32_t>(c.r) << 16 | static_cast<std::uint32_t>(c.g) << 8 | c.b;
}

std::size_t Player::cachedScriptDrawings() const {
    return m_renderer ? m_renderer->cachedDrawingCount() : 0;
}

void Player::setShapeCacheBudget(std::size_t bytes) {
    m_shapeCacheBudget = bytes;
    if (m_renderer) {
        m_renderer->setShapeCacheBudget(bytes);
    }
}

void Player::draw(std::uint32_t* pixels, int width, int height, int strideBytes) {
    if (pixels == nullptr || width <= 0 || height <= 0 || strideBytes < width * 4 ||
        strideBytes % 4 != 0) {
        return;
    }
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(pixels), CAIRO_FORMAT_ARGB32, width, height, strideBytes);
    cairo_t* cr = cairo_create(surface);
    const std::uint32_t bg = backgroundColor();
    if (m_transparent) {
        cairo_set_source_rgba(cr, 0, 0, 0, 0);
    } else {
        cairo_set_source_rgb(cr, (bg >> 16) / 255.0, ((bg >> 8) & 255) / 255.0, (bg & 255) / 255.0);
    }
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    if (m_root) {
        const Rect& frame = m_movie->frameSize();
        const double stageW = frame.width() / 20.0;
        const double stageH = frame.height() / 20.0;
        if (stageW > 0 && stageH > 0) {
            const double scale = std::min(width / stageW, height / stageH);
            const double ox = (width - stageW * scale) / 2.0;
            const double oy = (height - stageH * scale) / 2.0;
            const Matrix stageToDevice = Matrix::translate(ox, oy) *
                                         Matrix::scale(scale / 20.0, scale / 20.0) *
                                         Matrix::translate(-frame.xMin, -frame.yMin);
            m_renderer->render(cr, *m_root, stageToDevice, scale);
        }
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
}

void Player::drawRgb555(std::uint8_t* bits, int width, int height) {
    if (bits == nullptr || width <= 0 || height <= 0) {
        return;
    }
    std::vector<std::uint32_t> argb(static_cast<std::size_t>(width) *
                                    static_cast<std::size_t>(height));
    draw(argb.data(), width, height, width * 4);
    const int stride = rgb555Stride(width);
    for (int y = 0; y < height; ++y) {
        // Bottom-up: the last row of the picture comes first.
        const std::uint32_t* src = argb.data() + static_cast<std::size_t>(height - 1 - y) *
                                                     static_cast<std::size_t>(width);
        std::uint8_t* dst = bits + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = src[x]; // opaque: the background is painted first
            const auto v = static_cast<std::uint16_t>(((p >> 19) & 0x1f) << 10 |
                                                      ((p >> 11) & 0x1f) << 5 | ((p >> 3) & 0x1f));
            dst[x * 2] = static_cast<std::uint8_t>(v & 0xff);
            dst[x * 2 + 1] = static_cast<std::uint8_t>(v >> 8);
        }
        std::fill(dst + width * 2, dst + stride, std::uint8_t{0});
    }
}

StagePoint Player::viewToStage(double x, double y, int width, int height) const {
    if (!m_movie || width <= 0 || height <= 0) {
        return {x, y};
    }
    const Rect& frame = m_movie->frameSize();
    const double stageW = frame.width() / 20.0;
    const double stageH = frame.height() / 20.0;
    if (stageW <= 0 || stageH <= 0) {
        return {x, y};
    }
    const double scale = std::min(width / stageW, height / stageH);
    const double ox = (width - stageW * scale) / 2.0;
    const double oy = (height - stageH * scale) / 2.0;
    return {(x - ox) / scale + frame.xMin / 20.0, (y - oy) / scale + frame.yMin / 20.0};
}

void Player::connectButtons() {
    m_buttons = std::make_unique<ButtonInput>(*m_root);
    m_buttons->setScripts(m_scripts->buttonScripts());
}

void Player::buttonsMoved() {
    m_scripts->finishFrame();
}

// Input wakes the scripts first (clip events, Mouse and Key listeners), then the buttons.
void Player::mouseMove(StagePoint p) {
    if (m_scripts) {
        m_scripts->mouseMove(p.x, p.y);
        m_buttons->mouseMove({p.x * 20, p.y * 20});
        buttonsMoved();
    }
}
void Player::mouseDown(StagePoint p) {
    if (m_scripts) {
        m_scripts->mouseDown(p.x, p.y);
        m_buttons->mouseDown({p.x * 20, p.y * 20});
        buttonsMoved();
    }
}
void Player::mouseUp(StagePoint p) {
    if (m_scripts) {
        m_scripts->mouseUp(p.x, p.y);
        m_buttons->mouseUp({p.x * 20, p.y * 20});
        buttonsMoved();
    }
}
void Player::keyDown(int keyCode, std::uint32_t charCode) {
    if (m_scripts) {
        m_scripts->keyDown(keyCode, charCode);
        m_buttons->keyDown(keyCode, charCode);
        buttonsMoved();
    }
}
void Player::keyUp(int keyCode, std::uint32_t charCode) {
    if (m_scripts) {
        m_scripts->keyUp(keyCode, charCode);
    }
}
bool Player::wantsHandCursor() const {
    return m_buttons && m_buttons->wantsHandCursor();
}
std::optional<StagePoint> Player::firstButtonCentre() const {
    if (!m_buttons) {
        return std::nullopt;
    }
    const std::optional<Point> p = m_buttons->firstButtonCentre();
    if (!p) {
        return std::nullopt;
    }
    return StagePoint{p->x / 20.0, p->y / 20.0};
}

std::vector<StageButton> Player::buttonsOnStage() const {
    std::vector<StageButton> out;
    if (!m_buttons) {
        return out;
    }
    for (ButtonOnStage& b : m_buttons->buttonsOnStage()) {
        out.push_back(
            {{b.centre.x / 20.0, b.centre.y / 20.0}, std::move(b.name), std::move(b.text)});
    }
    return out;
}

Activity Player::activity() const {
    Activity a;
    if (!m_root) {
        a.clipsSettled = true;
        return a;
    }
    a.mainShownLastFrame = m_root->hasShownLastFrame();
    a.mainPlaying = m_playing && m_root->playing() && !m_scripts->quitRequested();
    a.clipsSettled = ClipsSettled(*m_root, 0);
    a.soundPlaying = m_mixer->isSounding(/*countRepeats=*/false);
    a.loadsPending = m_scripts->loadsPending();
    if (const std::optional<double> due = m_scripts->nextTimerDueMs()) {
        a.nextTimerMs = std::max(0.0, *due - scriptClockMs());
    }
    return a;
}

} // namespace kinovex::flash
