#include "engine/definitions/SoundTags.h"

#include <algorithm>

namespace kinovex::flash {

std::uint32_t SoundFormat::rateTimes2() const {
    return 11025u << rateCode;
}

SoundFormat ReadSoundFormat(BitReader& r) {
    SoundFormat f;
    f.codec = static_cast<SoundCodec>(r.ub(4));
    f.rateCode = static_cast<std::uint8_t>(r.ub(2));
    f.is16Bit = r.flag();
    f.stereo = r.flag();
    return f;
}

bool ParseDefineSound(std::span<const std::uint8_t> body, SoundDefinition& out) {
    BitReader r(body);
    out.id = r.u16();
    out.format = ReadSoundFormat(r);
    out.sampleCount = r.u32();
    if (out.format.codec == SoundCodec::Mp3) {
        out.seekSamples = r.u16();
    }
    if (!r.ok()) {
        return false;
    }
    const auto rest = r.rest();
    out.data.assign(rest.begin(), rest.end());
    return true;
}

bool ReadSoundInfo(BitReader& r, SoundInfo& out) {
    r.ub(2); // reserved
    out.syncStop = r.flag();
    out.syncNoMultiple = r.flag();
    const bool hasEnvelope = r.flag();
    const bool hasLoops = r.flag();
    out.hasOutPoint = r.flag();
    out.hasInPoint = r.flag();
    if (out.hasInPoint) {
        out.inPoint = r.u32();
    }
    if (out.hasOutPoint) {
        out.outPoint = r.u32();
    }
    if (hasLoops) {
        out.loopCount = r.u16();
    }
    out.envelope.clear();
    if (hasEnvelope) {
        const std::uint8_t points = r.u8();
        for (std::uint8_t i = 0; i < points && r.ok(); ++i) {
            EnvelopePoint p;
            p.position = r.u32();
            // Levels above full make a sound louder than it was made, up to twice as
            // loud and clipping; no authoring tool writes them, so they are held to full.
            p.left = std::min<std::uint16_t>(r.u16(), 32768);
            p.right = std::min<std::uint16_t>(r.u16(), 32768);
            out.envelope.push_back(p);
        }
        // Points should come in order; a movie that lists them otherwise still plays its
        // envelope from earliest to latest instead of jumping back and forth.
        std::stable_sort(
            out.envelope.begin(), out.envelope.end(),
            [](const EnvelopePoint& a, const EnvelopePoint& b) { return a.position < b.position; });
    }
    return r.ok();
}

bool ParseStartSound(std::span<const std::uint8_t> body, StartSoundCommand& out) {
    BitReader r(body);
    out.soundId = r.u16();
    out.className.clear();
    return ReadSoundInfo(r, out.info);
}

bool ParseStartSound2(std::span<const std::uint8_t> body, StartSoundCommand& out) {
    BitReader r(body);
    out.soundId = 0;
    out.className = r.string();
    return ReadSoundInfo(r, out.info);
}

bool ParseSoundStreamHead(std::span<const std::uint8_t> body, SoundStreamHead& out) {
    BitReader r(body);
    r.ub(4); // reserved
    out.playback.codec = SoundCodec::PcmLittle;
    out.playback.rateCode = static_cast<std::uint8_t>(r.ub(2));
    out.playback.is16Bit = r.flag();
    out.playback.stereo = r.flag();
    out.stream = ReadSoundFormat(r);
    out.samplesPerBlock = r.u16();
    out.latencySeek = 0;
    if (out.stream.codec == SoundCodec::Mp3) {
        // Some writers leave the field out when it is zero.
        out.latencySeek = r.remaining() >= 2 ? r.s16() : 0;
    }
    return r.ok();
}

bool ParseMp3StreamBlock(std::span<const std::uint8_t> body, Mp3StreamBlock& out) {
    BitReader r(body);
    out.sampleCount = r.u16();
    out.seekSamples = r.s16();
    out.frames = r.rest();
    return r.ok();
}

} // namespace kinovex::flash
