#include "engine/display/Mixer.h"

#include <algorithm>

namespace kinovex::flash {

struct SoundMixer::Voice {
    std::uint16_t id = 0;
    std::shared_ptr<const PcmBuffer> pcm;
    std::vector<EnvelopePoint> envelope;
    std::size_t begin = 0; // pair index of the in point
    std::size_t end = 0;   // pair index of the out point
    std::size_t pos = 0;   // next pair to play
    std::uint32_t loopsLeft = 1;
    std::uint64_t played = 0; // pairs since it started, for the envelope
    std::size_t segment = 0;  // envelope point at or before `played`
    bool done = false;
    bool wentRound = false; // played through once and started again
};

struct SoundMixer::Stream {
    SoundStreamHead head;
    std::unique_ptr<SoundDecoder> decoder;
    PcmBuffer buffer;       // decoded sound not played yet, from `read` on
    std::size_t read = 0;   // in int16 values
    std::uint64_t debt = 0; // pairs played as silence because the sound came late
    bool running = false;   // blocks are arriving and joining on
    bool blockThisFrame = false;

    std::size_t available() const { return (buffer.size() - read) / 2; }
    void clear() {
        buffer.clear();
        read = 0;
        debt = 0;
        running = false;
    }
};

SoundMixer::SoundMixer(std::uint16_t frameRate256)
    : m_rate256(frameRate256 == 0 ? 12u * 256u : frameRate256) {}

SoundMixer::~SoundMixer() = default;

void SoundMixer::defineSound(SoundDefinition sound) {
    const std::uint16_t id = sound.id;
    if (m_sounds.count(id) != 0) {
        return;
    }
    Sound s;
    s.codedSize = sound.data.size();
    s.definition = std::move(sound);
    m_sounds.emplace(id, std::move(s));
}

void SoundMixer::defineSoundsOf(const SoundMixer& other) {
    for (const auto& [id, sound] : other.m_sounds) {
        m_sounds.try_emplace(id, sound);
    }
}

const SoundDefinition* SoundMixer::definition(std::uint16_t id) const {
    auto it = m_sounds.find(id);
    return it == m_sounds.end() ? nullptr : &it->second.definition;
}

std::size_t SoundMixer::codedSize(std::uint16_t id) const {
    auto it = m_sounds.find(id);
    return it == m_sounds.end() ? 0 : it->second.codedSize;
}

bool SoundMixer::startSound(std::uint16_t id, const SoundInfo& info) {
    if (m_suspended) {
        return true;
    }
    if (info.syncStop) {
        stopSound(id);
        return true;
    }
    if (info.syncNoMultiple && isPlaying(id)) {
        return true;
    }
    auto it = m_sounds.find(id);
    if (it == m_sounds.end()) {
        m_lastError = "sound " + std::to_string(id) + " is not defined";
        return false;
    }
    Sound& sound = it->second;
    if (sound.failed) {
        return false;
    }
    if (!sound.pcm) {
        std::string error;
        auto pcm = std::make_shared<PcmBuffer>(DecodeSound(sound.definition, &error));
        if (!error.empty()) {
            sound.failed = true;
            m_lastError = "sound " + std::to_string(id) + ": " + error;
            return false;
        }
        sound.pcm = std::move(pcm);
        // The coded data is no longer needed.
        sound.definition.data.clear();
        sound.definition.data.shrink_to_fit();
    }
    if (m_voices.size() >= kMaxVoices) {
        m_lastError = "too many sounds at once; sound " + std::to_string(id) + " was not started";
        return false;
    }
    auto voice = std::make_unique<Voice>();
    voice->id = id;
    voice->pcm = sound.pcm;
    const std::size_t length = sound.pcm->size() / 2;
    voice->begin = info.hasInPoint ? std::min<std::size_t>(info.inPoint, length) : 0;
    voice->end = info.hasOutPoint ? std::min<std::size_t>(info.outPoint, length) : length;
    if (voice->end <= voice->begin) {
        return true; // nothing to play between the points
    }
    voice->pos = voice->begin;
    voice->loopsLeft = std::max<std::uint32_t>(info.loopCount, 1);
    voice->envelope = info.envelope;
    m_voices.push_back(std::move(voice));
    return true;
}

void SoundMixer::stopSound(std::uint16_t id) {
    std::erase_if(m_voices, [id](const std::unique_ptr<Voice>& v) { return v->id == id; });
}

bool SoundMixer::isPlaying(std::uint16_t id) const {
    return std::any_of(m_voices.begin(), m_voices.end(),
                       [id](const std::unique_ptr<Voice>& v) { return v->id == id; });
}

void SoundMixer::streamHead(StreamKey key, const SoundStreamHead& head) {
    auto& stream = m_streams[key];
    if (!stream) {
        stream = std::make_unique<Stream>();
    } else if (stream->head.stream == head.stream && stream->decoder) {
        // The same head again (a timeline looping past it): the stream plays on.
        stream->head = head;
        return;
    }
    stream->head = head;
    stream->clear();
    stream->decoder = std::make_unique<SoundDecoder>(head.stream);
    if (!stream->decoder->ok()) {
        m_lastError = "stream sound: " + stream->decoder->error();
    }
}

void SoundMixer::streamBlock(StreamKey key, std::span<const std::uint8_t> body) {
    if (m_suspended) {
        return;
    }
    auto it = m_streams.find(key);
    if (it == m_streams.end() || !it->second->decoder || !it->second->decoder->ok()) {
        return; // a block without a head cannot be decoded
    }
    Stream& s = *it->second;
    std::span<const std::uint8_t> data = body;
    std::int32_t seek = 0;
    if (s.head.stream.codec == SoundCodec::Mp3) {
        Mp3StreamBlock block;
        if (!ParseMp3StreamBlock(body, block)) {
            return;
        }
        data = block.frames;
        seek = block.seekSamples;
    }
    if (data.empty()) {
        return; // a block of silence: the same as no block
    }
    s.blockThisFrame = true;
    if (!s.running) {
        s.decoder->reset();
        // Where this frame's sound starts inside the block's first MP3 frame.
        s.decoder->skip(static_cast<std::uint32_t>(std::max(seek, 0)));
        s.running = true;
        s.debt = 0;
    }
    if (s.read > 0 && s.read * 2 >= s.buffer.size()) {
        s.buffer.erase(s.buffer.begin(), s.buffer.begin() + static_cast<std::ptrdiff_t>(s.read));
        s.read = 0;
    }
    const std::size_t before = s.buffer.size();
    s.decoder->decode(data, s.buffer, kMaxStreamAhead + 1);
    // Sound that arrives after its time was already played as silence: drop that much so the
    // rest stays at its place against the frames.
    const std::size_t fresh = (s.buffer.size() - before) / 2;
    const std::size_t late = static_cast<std::size_t>(std::min<std::uint64_t>(s.debt, fresh));
    if (late > 0 && s.available() == fresh) {
        s.read += late * 2;
        s.debt -= late;
    }
    if (s.available() > kMaxStreamAhead) {
        s.read += (s.available() - kMaxStreamAhead) * 2;
    }
}

bool SoundMixer::isSounding(bool countRepeats) const {
    for (const auto& voice : m_voices) {
        if (!voice->done && (countRepeats || !voice->wentRound)) {
            return true;
        }
    }
    for (const auto& [key, stream] : m_streams) {
        if (stream->available() > 0) {
            return true;
        }
    }
    return false;
}

void SoundMixer::stopStream(StreamKey key) {
    auto it = m_streams.find(key);
    if (it != m_streams.end()) {
        it->second->clear();
    }
}

void SoundMixer::removeStream(StreamKey key) {
    m_streams.erase(key);
}

void SoundMixer::stopAll() {
    m_voices.clear();
    for (auto& [key, stream] : m_streams) {
        stream->clear();
    }
}

void SoundMixer::setVolume(int percent) {
    m_volume = std::clamp(percent, 0, 100);
}

std::size_t SoundMixer::samplesForFrame(std::uint64_t n) const {
    // n * 44100 * 256 fits easily in 64 bits for any frame count a movie can reach.
    const std::uint64_t perFrame = static_cast<std::uint64_t>(kMixRate) * 256u;
    return static_cast<std::size_t>((n + 1) * perFrame / m_rate256 - n * perFrame / m_rate256);
}

void SoundMixer::mixFrame(PcmBuffer& out) {
    const std::size_t pairs = samplesForFrame(m_frame);
    const std::size_t start = out.size();
    out.resize(start + pairs * 2);
    mix(std::span<std::int16_t>(out.data() + start, pairs * 2));
    for (auto& [key, stream] : m_streams) {
        // A stream whose frame brought no block and that has nothing left has stopped; when
        // blocks come again they start a new piece of sound.
        if (!stream->blockThisFrame && stream->available() == 0) {
            stream->running = false;
            stream->debt = 0;
        }
        stream->blockThisFrame = false;
    }
    ++m_frame;
}

void SoundMixer::mix(std::span<std::int16_t> out) {
    const std::size_t pairs = out.size() / 2;
    m_acc.assign(pairs * 2, 0);
    for (auto& voice : m_voices) {
        mixVoice(*voice, m_acc.data(), pairs);
    }
    std::erase_if(m_voices, [](const std::unique_ptr<Voice>& v) { return v->done; });
    for (auto& [key, stream] : m_streams) {
        mixStream(*stream, m_acc.data(), pairs);
    }
    for (std::size_t i = 0; i < pairs * 2; ++i) {
        std::int32_t v = m_acc[i];
        if (m_volume != 100) {
            v = v * m_volume / 100;
        }
        out[i] = static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
    }
    if (out.size() % 2 != 0) {
        out.back() = 0;
    }
}

void SoundMixer::mixVoice(Voice& v, std::int32_t* acc, std::size_t pairs) {
    const std::int16_t* pcm = v.pcm->data();
    const auto& env = v.envelope;
    std::size_t i = 0;
    while (i < pairs && !v.done) {
        if (v.pos >= v.end) {
            if (--v.loopsLeft == 0) {
                v.done = true;
                break;
            }
            v.pos = v.begin;
            v.wentRound = true;
        }
        const std::size_t run = std::min(pairs - i, v.end - v.pos);
        if (env.empty()) {
            for (std::size_t k = 0; k < run; ++k) {
                acc[2 * (i + k)] += pcm[2 * (v.pos + k)];
                acc[2 * (i + k) + 1] += pcm[2 * (v.pos + k) + 1];
            }
        } else {
            for (std::size_t k = 0; k < run; ++k) {
                const std::uint64_t t = v.played + k;
                while (v.segment + 1 < env.size() && env[v.segment + 1].position <= t) {
                    ++v.segment;
                }
                // Before the first point its level holds; after the last point, the last.
                const EnvelopePoint& a = env[v.segment];
                std::int64_t left = a.left;
                std::int64_t right = a.right;
                if (t > a.position && v.segment + 1 < env.size()) {
                    const EnvelopePoint& b = env[v.segment + 1];
                    const auto span = static_cast<std::int64_t>(b.position - a.position);
                    const auto into = static_cast<std::int64_t>(t - a.position);
                    left += (static_cast<std::int64_t>(b.left) - a.left) * into / span;
                    right += (static_cast<std::int64_t>(b.right) - a.right) * into / span;
                }
                acc[2 * (i + k)] += static_cast<std::int32_t>(pcm[2 * (v.pos + k)] * left / 32768);
                acc[2 * (i + k) + 1] +=
                    static_cast<std::int32_t>(pcm[2 * (v.pos + k) + 1] * right / 32768);
            }
        }
        v.pos += run;
        v.played += run;
        i += run;
    }
    if (!v.done && v.pos >= v.end && v.loopsLeft == 1) {
        v.done = true;
    }
}

void SoundMixer::mixStream(Stream& s, std::int32_t* acc, std::size_t pairs) {
    const std::size_t take = std::min(pairs, s.available());
    const std::int16_t* src = s.buffer.data() + s.read;
    for (std::size_t k = 0; k < take * 2; ++k) {
        acc[k] += src[k];
    }
    s.read += take * 2;
    if (s.running && take < pairs) {
        // Owed for at most as long as sound is kept ahead: beyond that the stream has
        // stalled rather than come late.
        s.debt = std::min<std::uint64_t>(s.debt + (pairs - take), kMaxStreamAhead);
    }
}

void RunSoundCommand(SoundMixer& mixer, SoundMixer::StreamKey stream, const SoundCommand& cmd) {
    switch (cmd.type) {
    case SoundCommand::Type::Start:
        if (cmd.start.soundId != 0) {
            mixer.startSound(cmd.start.soundId, cmd.start.info);
        }
        break;
    case SoundCommand::Type::StreamHead:
        mixer.streamHead(stream, cmd.head);
        break;
    case SoundCommand::Type::StreamBlock:
        mixer.streamBlock(stream, cmd.block);
        break;
    }
}

} // namespace kinovex::flash
