#include "platform/PulseCapture.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <functional>

namespace kinovex {
namespace {

// How long we wait for a server that accepted the connection but does not answer.
constexpr pa_usec_t kServerTimeoutUs = 5 * PA_USEC_PER_SEC;

// The pieces of sound the server hands us at a time: small against a block, so blocks come on
// time.
constexpr std::uint32_t kFragmentMs = 25;

const char* const kClientName = "Kinovex";

// ---- one-shot queries on a private main loop ---------------------------------------------

struct QueryState {
    pa_mainloop* loop = nullptr;
    bool failed = false;
    bool timedOut = false;
    int pending = 0;
    std::vector<PulseSourceInfo>* sources = nullptr;
    std::string* defaultSource = nullptr;
    std::string* defaultSink = nullptr;
};

void OnQueryTimeout(pa_mainloop_api* /*api*/, pa_time_event* /*event*/, const struct timeval*,
                    void* userdata) {
    static_cast<QueryState*>(userdata)->timedOut = true;
}

void OnServerInfo(pa_context* /*context*/, const pa_server_info* info, void* userdata) {
    auto* state = static_cast<QueryState*>(userdata);
    if (info != nullptr && info->default_source_name != nullptr)
        *state->defaultSource = info->default_source_name;
    if (info != nullptr && info->default_sink_name != nullptr)
        *state->defaultSink = info->default_sink_name;
    --state->pending;
}

void OnSourceInfo(pa_context* /*context*/, const pa_source_info* info, int eol, void* userdata) {
    auto* state = static_cast<QueryState*>(userdata);
    if (eol < 0) {
        state->failed = true;
        --state->pending;
        return;
    }
    if (eol > 0) {
        --state->pending;
        return;
    }
    PulseSourceInfo source;
    source.name = info->name != nullptr ? info->name : "";
    source.description = info->description != nullptr ? info->description : source.name;
    source.isMonitor = info->monitor_of_sink != PA_INVALID_INDEX;
    if (source.isMonitor && info->monitor_of_sink_name != nullptr)
        source.monitorOf = info->monitor_of_sink_name;
    state->sources->push_back(std::move(source));
}

// Runs the loop until `done` or a failure or the time-out; false on failure or time-out.
template <typename Done> bool RunQueryLoop(QueryState& state, pa_context* context, Done done) {
    while (!done()) {
        if (state.failed || state.timedOut)
            return false;
        const auto contextState = pa_context_get_state(context);
        if (!PA_CONTEXT_IS_GOOD(contextState))
            return false;
        if (pa_mainloop_iterate(state.loop, 1, nullptr) < 0)
            return false;
    }
    return !state.failed;
}

// ---- capture devices on a threaded main loop ---------------------------------------------

void SignalLoop(void* userdata) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(userdata), 0);
}

void OnContextState(pa_context* /*context*/, void* userdata) {
    SignalLoop(userdata);
}

struct ConnectTimeout {
    pa_threaded_mainloop* loop;
    bool expired = false;
};

void OnConnectTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
    auto* timeout = static_cast<ConnectTimeout*>(userdata);
    timeout->expired = true;
    pa_threaded_mainloop_signal(timeout->loop, 0);
}

// A record stream on a threaded main loop of its own. The stream's read callback runs on the
// loop's thread: it cuts what the server delivers into blocks for the sink and never waits for
// the sink, so a slow consumer loses whole blocks, never the server's time.
class CPulseCaptureSource : public CaptureSource {
public:
    explicit CPulseCaptureSource(std::string source) : m_source(std::move(source)) {}
    ~CPulseCaptureSource() override {
        Stop();
        if (m_loop != nullptr)
            pa_threaded_mainloop_stop(m_loop);
        if (m_context != nullptr) {
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
        }
        if (m_loop != nullptr)
            pa_threaded_mainloop_free(m_loop);
    }

    bool Connect();
    CaptureError Open(const WaveFormat& format, std::uint32_t blockBytes, BlockSink& sink) override;
    CaptureError Start() override;
    void Stop() override;
    std::uint64_t DroppedBlocks() const override {
        return m_assembler ? m_assembler->Dropped() : 0;
    }

private:
    static void OnStreamState(pa_stream* stream, void* userdata);
    static void OnRead(pa_stream* stream, std::size_t bytes, void* userdata);
    bool ConnectStream();

    std::string m_source;
    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    WaveFormat m_format;
    std::unique_ptr<BlockAssembler> m_assembler;
};

bool CPulseCaptureSource::Connect() {
    m_loop = pa_threaded_mainloop_new();
    if (m_loop == nullptr)
        return false;
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), kClientName);
    if (m_context == nullptr)
        return false;
    pa_context_set_state_callback(m_context, OnContextState, m_loop);
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    if (pa_threaded_mainloop_start(m_loop) < 0)
        return false;

    pa_threaded_mainloop_lock(m_loop);
    ConnectTimeout timeout{m_loop};
    pa_time_event* timer = pa_context_rttime_new(m_context, pa_rtclock_now() + kServerTimeoutUs,
                                                 OnConnectTimeout, &timeout);
    pa_context_state_t state = pa_context_get_state(m_context);
    while (state != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(state) && !timeout.expired) {
        pa_threaded_mainloop_wait(m_loop);
        state = pa_context_get_state(m_context);
    }
    if (timer != nullptr)
        pa_threaded_mainloop_get_api(m_loop)->time_free(timer);
    pa_threaded_mainloop_unlock(m_loop);
    return state == PA_CONTEXT_READY;
}

CaptureError CPulseCaptureSource::Open(const WaveFormat& format, std::uint32_t blockBytes,
                                       BlockSink& sink) {
    Stop();
    // The server delivers 16-bit little-endian PCM at any rate and channel count.
    if (format.bits != 16 || format.channels == 0 || format.channels > PA_CHANNELS_MAX ||
        format.rate == 0 || blockBytes == 0 || blockBytes % format.blockAlign() != 0)
        return CaptureError::BadFormat;
    m_format = format;
    m_assembler = std::make_unique<BlockAssembler>(blockBytes, sink);
    return CaptureError::None;
}

void CPulseCaptureSource::OnStreamState(pa_stream* /*stream*/, void* userdata) {
    SignalLoop(userdata);
}

void CPulseCaptureSource::OnRead(pa_stream* stream, std::size_t /*bytes*/, void* userdata) {
    auto* self = static_cast<CPulseCaptureSource*>(userdata);
    for (;;) {
        const void* data = nullptr;
        std::size_t size = 0;
        if (pa_stream_peek(stream, &data, &size) < 0 || size == 0)
            return;
        // A hole (data null) is sound the server lost: keep the timing with silence.
        self->m_assembler->Append(static_cast<const std::uint8_t*>(data), size);
        pa_stream_drop(stream);
    }
}

// Under the loop's lock: makes the stream and waits until it records. False when it fails.
bool CPulseCaptureSource::ConnectStream() {
    pa_sample_spec spec{PA_SAMPLE_S16LE, m_format.rate,
                        static_cast<std::uint8_t>(m_format.channels)};
    m_stream = pa_stream_new(m_context, "Recording", &spec, nullptr);
    if (m_stream == nullptr)
        return false;
    pa_stream_set_state_callback(m_stream, OnStreamState, m_loop);
    pa_stream_set_read_callback(m_stream, OnRead, this);
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.fragsize = m_format.bytesPerSecond() * kFragmentMs / 1000;
    attributes.fragsize -= attributes.fragsize % m_format.blockAlign();
    const char* source = m_source.empty() ? nullptr : m_source.c_str();
    if (pa_stream_connect_record(m_stream, source, &attributes, PA_STREAM_ADJUST_LATENCY) < 0)
        return false;
    pa_stream_state_t state = pa_stream_get_state(m_stream);
    while (state != PA_STREAM_READY && PA_STREAM_IS_GOOD(state)) {
        pa_threaded_mainloop_wait(m_loop);
        state = pa_stream_get_state(m_stream);
    }
    return state == PA_STREAM_READY;
}

CaptureError CPulseCaptureSource::Start() {
    if (!m_assembler)
        return CaptureError::NotOpen;
    if (m_stream != nullptr)
        return CaptureError::None;
    m_assembler->Reset();
    pa_threaded_mainloop_lock(m_loop);
    const bool ready = ConnectStream();
    pa_threaded_mainloop_unlock(m_loop);
    if (!ready) {
        Stop();
        return CaptureError::StreamRefused;
    }
    return CaptureError::None;
}

void CPulseCaptureSource::Stop() {
    if (m_stream == nullptr)
        return;
    pa_threaded_mainloop_lock(m_loop);
    // Callbacks run under the loop's lock: none is running now, and none runs after this block.
    pa_stream_set_read_callback(m_stream, nullptr, nullptr);
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
    pa_threaded_mainloop_unlock(m_loop);
}

} // namespace

bool QueryPulseSources(std::vector<PulseSourceInfo>* sources, std::string* defaultSource,
                       std::string* defaultSink) {
    std::vector<PulseSourceInfo> foundSources;
    std::string foundDefault;
    std::string foundSink;
    QueryState state;
    state.sources = &foundSources;
    state.defaultSource = &foundDefault;
    state.defaultSink = &foundSink;
    state.loop = pa_mainloop_new();
    if (state.loop == nullptr)
        return false;
    pa_context* context = pa_context_new(pa_mainloop_get_api(state.loop), kClientName);
    bool ok = false;
    if (context != nullptr &&
        pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        pa_time_event* timer = pa_context_rttime_new(context, pa_rtclock_now() + kServerTimeoutUs,
                                                     OnQueryTimeout, &state);
        ok = RunQueryLoop(state, context,
                          [&] { return pa_context_get_state(context) == PA_CONTEXT_READY; });
        if (ok) {
            state.pending = 2;
            pa_operation* info = pa_context_get_server_info(context, OnServerInfo, &state);
            pa_operation* list = pa_context_get_source_info_list(context, OnSourceInfo, &state);
            if (info == nullptr || list == nullptr)
                ok = false;
            else
                ok = RunQueryLoop(state, context, [&] { return state.pending == 0; });
            if (info != nullptr)
                pa_operation_unref(info);
            if (list != nullptr)
                pa_operation_unref(list);
        }
        if (timer != nullptr)
            pa_mainloop_get_api(state.loop)->time_free(timer);
        pa_context_disconnect(context);
    }
    if (context != nullptr)
        pa_context_unref(context);
    pa_mainloop_free(state.loop);
    if (!ok)
        return false;
    if (sources != nullptr)
        *sources = std::move(foundSources);
    if (defaultSource != nullptr)
        *defaultSource = std::move(foundDefault);
    if (defaultSink != nullptr)
        *defaultSink = std::move(foundSink);
    return true;
}

int ChooseRecordingSource(const std::vector<PulseSourceInfo>& sources,
                          const std::string& defaultSource, const std::string& defaultSink) {
    const auto find = [&](const std::function<bool(const PulseSourceInfo&)>& wanted) {
        const auto found = std::find_if(sources.begin(), sources.end(), wanted);
        return found == sources.end() ? -1 : static_cast<int>(found - sources.begin());
    };
    const int sinkMonitor = find([&](const PulseSourceInfo& source) {
        return source.isMonitor && !defaultSink.empty() && source.monitorOf == defaultSink;
    });
    if (sinkMonitor >= 0)
        return sinkMonitor;
    const int defaultIndex =
        find([&](const PulseSourceInfo& source) { return source.name == defaultSource; });
    if (defaultIndex >= 0 && sources[static_cast<std::size_t>(defaultIndex)].isMonitor)
        return defaultIndex;
    const int firstMonitor = find([](const PulseSourceInfo& source) { return source.isMonitor; });
    if (firstMonitor >= 0)
        return firstMonitor;
    if (defaultIndex >= 0)
        return defaultIndex;
    return sources.empty() ? -1 : 0;
}

bool CPulseCaptureSystem::Enumerate(
    const std::function<bool(const CaptureDeviceEntry&)>& callback) {
    std::vector<PulseSourceInfo> sources;
    std::string defaultSource;
    std::string defaultSink;
    if (!QueryPulseSources(&sources, &defaultSource, &defaultSink))
        return true; // no sound server: no capture devices at all
    const int chosen = ChooseRecordingSource(sources, defaultSource, defaultSink);
    if (chosen > 0)
        std::rotate(sources.begin(), sources.begin() + chosen, sources.begin() + chosen + 1);
    if (!callback({"", "Primary Sound Capture Driver"}))
        return true;
    for (const auto& source : sources)
        if (!callback({source.name, source.description}))
            break;
    return true;
}

std::unique_ptr<CaptureSource> CPulseCaptureSystem::CreateSource(const std::string& id) {
    auto created = std::make_unique<CPulseCaptureSource>(id);
    if (!created->Connect())
        return nullptr;
    return created;
}

} // namespace kinovex
