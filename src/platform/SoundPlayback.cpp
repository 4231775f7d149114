#include "platform/SoundPlayback.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace kinovex {

namespace {

const char* const kClientName = "Kinovex";

// How long we wait for a server that accepted the connection but does not answer, and for a
// queue that does not empty.
constexpr pa_usec_t kServerTimeoutUs = 5 * PA_USEC_PER_SEC;

struct Deadline {
    pa_threaded_mainloop* loop = nullptr;
    bool expired = false;
};

void OnDeadline(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
    auto* deadline = static_cast<Deadline*>(userdata);
    deadline->expired = true;
    pa_threaded_mainloop_signal(deadline->loop, 0);
}

void Signal(void* userdata) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(userdata), 0);
}

void OnContextState(pa_context*, void* userdata) {
    Signal(userdata);
}

void OnStreamState(pa_stream*, void* userdata) {
    Signal(userdata);
}

void OnStreamWrite(pa_stream*, std::size_t, void* userdata) {
    Signal(userdata);
}

void OnSuccess(pa_stream*, int, void* userdata) {
    Signal(userdata);
}

} // namespace

struct SoundPlayback::Impl {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    std::size_t frameBytes = 4;
    bool paused = false;

    ~Impl() { teardown(); }

    void teardown() {
        if (loop != nullptr) {
            pa_threaded_mainloop_stop(loop);
        }
        if (stream != nullptr) {
            pa_stream_set_state_callback(stream, nullptr, nullptr);
            pa_stream_set_write_callback(stream, nullptr, nullptr);
            pa_stream_disconnect(stream);
            pa_stream_unref(stream);
            stream = nullptr;
        }
        if (context != nullptr) {
            pa_context_disconnect(context);
            pa_context_unref(context);
            context = nullptr;
        }
        if (loop != nullptr) {
            pa_threaded_mainloop_free(loop);
            loop = nullptr;
        }
        paused = false;
    }

    // Waits (the loop locked) until `done` or a bad state or the time-out. True when done.
    template <typename Done> bool waitFor(Done done) {
        Deadline deadline{loop};
        pa_time_event* timer = pa_context_rttime_new(context, pa_rtclock_now() + kServerTimeoutUs,
                                                     OnDeadline, &deadline);
        bool ok = true;
        while (!done()) {
            if (deadline.expired || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) ||
                (stream != nullptr && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))) {
                ok = false;
                break;
            }
            pa_threaded_mainloop_wait(loop);
        }
        if (timer != nullptr) {
            pa_threaded_mainloop_get_api(loop)->time_free(timer);
        }
        return ok;
    }

    bool waitOperation(pa_operation* op) {
        if (op == nullptr) {
            return false;
        }
        const bool ok = waitFor([&] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; });
        if (!ok) {
            pa_operation_cancel(op);
        }
        pa_operation_unref(op);
        return ok;
    }

    bool streamGood() const {
        return stream != nullptr && pa_stream_get_state(stream) == PA_STREAM_READY;
    }
};

SoundPlayback::SoundPlayback() : m_impl(std::make_unique<Impl>()) {}

SoundPlayback::~SoundPlayback() = default;

bool SoundPlayback::open(std::uint32_t rate, std::uint8_t channels, const std::string& streamName) {
    close();
    Impl& d = *m_impl;
    if (rate == 0 || channels == 0 || channels > PA_CHANNELS_MAX) {
        return false;
    }
    d.loop = pa_threaded_mainloop_new();
    if (d.loop == nullptr) {
        return false;
    }
    d.context = pa_context_new(pa_threaded_mainloop_get_api(d.loop), kClientName);
    if (d.context == nullptr) {
        d.teardown();
        return false;
    }
    pa_context_set_state_callback(d.context, OnContextState, d.loop);
    if (pa_context_connect(d.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(d.loop) < 0) {
        d.teardown();
        return false;
    }
    pa_threaded_mainloop_lock(d.loop);
    bool ready = d.waitFor([&] { return pa_context_get_state(d.context) == PA_CONTEXT_READY; });
    if (ready) {
        const pa_sample_spec spec{PA_SAMPLE_S16LE, rate, channels};
        d.frameBytes = pa_frame_size(&spec);
        d.stream = pa_stream_new(d.context, streamName.c_str(), &spec, nullptr);
        ready = d.stream != nullptr;
        if (ready) {
            pa_stream_set_state_callback(d.stream, OnStreamState, d.loop);
            pa_stream_set_write_callback(d.stream, OnStreamWrite, d.loop);
            pa_buffer_attr attributes{};
            attributes.maxlength = static_cast<std::uint32_t>(-1);
            attributes.tlength =
                static_cast<std::uint32_t>(pa_usec_to_bytes(kTargetLatencyMs * 1000, &spec));
            attributes.prebuf = static_cast<std::uint32_t>(-1);
            attributes.minreq = static_cast<std::uint32_t>(-1);
            attributes.fragsize = static_cast<std::uint32_t>(-1);
            const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                              PA_STREAM_INTERPOLATE_TIMING |
                                                              PA_STREAM_AUTO_TIMING_UPDATE);
            ready = pa_stream_connect_playback(d.stream, nullptr, &attributes, flags, nullptr,
                                               nullptr) >= 0 &&
                    d.waitFor([&] { return pa_stream_get_state(d.stream) == PA_STREAM_READY; });
        }
    }
    pa_threaded_mainloop_unlock(d.loop);
    if (!ready) {
        d.teardown();
    }
    return ready;
}

bool SoundPlayback::isOpen() const {
    return m_impl->stream != nullptr;
}

void SoundPlayback::close() {
    m_impl->teardown();
}

bool SoundPlayback::write(std::span<const std::int16_t> samples) {
    Impl& d = *m_impl;
    if (d.stream == nullptr) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(samples.data());
    std::size_t left = samples.size_bytes() / d.frameBytes * d.frameBytes;
    bool ok = true;
    pa_threaded_mainloop_lock(d.loop);
    while (left > 0) {
        std::size_t room = 0;
        const bool space = d.waitFor([&] {
            const std::size_t writable = pa_stream_writable_size(d.stream);
            room = writable == static_cast<std::size_t>(-1) ? 0 : writable;
            // Paused with a full queue, nothing would ever make room: drop the sound instead
            // of blocking the caller.
            return room > 0 || d.paused;
        });
        if (!space || room == 0) {
            ok = false;
            break;
        }
        const std::size_t chunk = std::min(left, room / d.frameBytes * d.frameBytes);
        if (chunk == 0 ||
            pa_stream_write(d.stream, bytes, chunk, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            ok = false;
            break;
        }
        bytes += chunk;
        left -= chunk;
    }
    const bool lost = !d.streamGood();
    pa_threaded_mainloop_unlock(d.loop);
    if (lost) {
        d.teardown(); // the server went away: silent from now on
        return false;
    }
    return ok;
}

void SoundPlayback::setPaused(bool paused) {
    Impl& d = *m_impl;
    if (d.stream == nullptr || d.paused == paused) {
        return;
    }
    pa_threaded_mainloop_lock(d.loop);
    d.paused = paused;
    d.waitOperation(pa_stream_cork(d.stream, paused ? 1 : 0, OnSuccess, d.loop));
    pa_threaded_mainloop_unlock(d.loop);
}

bool SoundPlayback::isPaused() const {
    return m_impl->paused;
}

void SoundPlayback::stop() {
    Impl& d = *m_impl;
    if (d.stream == nullptr) {
        return;
    }
    pa_threaded_mainloop_lock(d.loop);
    d.waitOperation(pa_stream_flush(d.stream, OnSuccess, d.loop));
    pa_threaded_mainloop_unlock(d.loop);
}

bool SoundPlayback::drain() {
    Impl& d = *m_impl;
    if (d.stream == nullptr || d.paused) {
        return false;
    }
    pa_threaded_mainloop_lock(d.loop);
    const bool ok = d.waitOperation(pa_stream_drain(d.stream, OnSuccess, d.loop));
    pa_threaded_mainloop_unlock(d.loop);
    return ok;
}

std::uint64_t SoundPlayback::latencyUs() const {
    Impl& d = *m_impl;
    if (d.stream == nullptr) {
        return 0;
    }
    pa_threaded_mainloop_lock(d.loop);
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(d.stream, &latency, &negative) < 0 || negative != 0) {
        latency = 0;
    }
    pa_threaded_mainloop_unlock(d.loop);
    return latency;
}

} // namespace kinovex
