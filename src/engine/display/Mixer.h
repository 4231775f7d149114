#pragma once
// The movie's sound: event sounds started by the timeline and stream sound carried in the
// frames, mixed to interleaved stereo 16-bit at 44.1 kHz. The host pulls the sound one frame
// at a time; frame n gets floor((n+1)*44100/fps) - floor(n*44100/fps) samples, with the
// frame rate taken as the exact fraction the movie stores, so the sound never drifts from the
// picture however long the movie runs.

#include "engine/definitions/SoundCommands.h"
#include "engine/definitions/SoundTags.h"
#include "engine/media/SoundDecoder.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace kinovex::flash {

class SoundMixer {
public:
    // At most this many event sounds play at once; more are not started.
    static constexpr std::size_t kMaxVoices = 32;
    // Stream sound decoded ahead of the frames is kept up to this many samples; a stream
    // whose blocks carry more sound than its frames last is cut back to stay in step.
    static constexpr std::size_t kMaxStreamAhead = kMixRate;

    // `frameRate256` is the movie's 8.8 fixed-point rate; 0 plays at 12 frames a second.
    explicit SoundMixer(std::uint16_t frameRate256 = 12 * 256);
    ~SoundMixer();
    SoundMixer(const SoundMixer&) = delete;
    SoundMixer& operator=(const SoundMixer&) = delete;

    // ---- event sounds ----
    // Keeps a DefineSound; it is decoded the first time it starts. A second definition of an
    // id is ignored, as the first character definition wins.
    void defineSound(SoundDefinition sound);
    // Every sound `other` knows, as it knows it (those it decoded already share its samples).
    void defineSoundsOf(const SoundMixer& other);
    // The DefineSound kept for `id`, or null. Its coded data goes once it is decoded; the
    // size it had stays in codedSize.
    const SoundDefinition* definition(std::uint16_t id) const;
    std::size_t codedSize(std::uint16_t id) const;
    // StartSound: starts, or with sync stop stops, sound `id`. False when nothing started
    // because the sound is unknown or cannot be decoded (see lastError()), or the voices
    // are all taken; true also for a stop and for no-multiple finding the sound playing.
    bool startSound(std::uint16_t id, const SoundInfo& info);
    void stopSound(std::uint16_t id);
    bool isPlaying(std::uint16_t id) const;
    std::size_t voiceCount() const { return m_voices.size(); }
    // True while an event sound plays or a stream has sound left to play. Without
    // `countRepeats`, an event sound that played through once and plays again (a background
    // loop) does not count.
    bool isSounding(bool countRepeats = true) const;
    const std::string& lastError() const { return m_lastError; }

    // ---- stream sound ----
    // Each timeline has at most one stream; `key` names it (any value unique per timeline).
    using StreamKey = std::uintptr_t;
    void streamHead(StreamKey key, const SoundStreamHead& head);
    // The SoundStreamBlock of the frame about to be mixed.
    void streamBlock(StreamKey key, std::span<const std::uint8_t> body);
    // The timeline jumped, stopped or went away: its stream goes quiet and starts afresh at
    // its next block.
    void stopStream(StreamKey key);
    void removeStream(StreamKey key);

    // Stops every sound (the movie was stopped or closed).
    void stopAll();

    // While suspended, starts and stream blocks are ignored: a jump in the timeline replays
    // the frames it passes to build the display list, but only the frame it lands on sounds.
    void setSuspended(bool suspended) { m_suspended = suspended; }
    bool isSuspended() const { return m_suspended; }

    // 0..100 (percent).
    void setVolume(int percent);
    int volume() const { return m_volume; }

    // ---- output ----
    // Samples (left/right pairs) of frame `n`, counted from the first frame mixed.
    std::size_t samplesForFrame(std::uint64_t n) const;
    std::uint64_t frameIndex() const { return m_frame; }
    // Appends the sound of the current frame (samplesForFrame(frameIndex()) pairs) to `out`
    // and moves on to the next frame.
    void mixFrame(PcmBuffer& out);
    // Mixes `out.size() / 2` pairs without counting frames.
    void mix(std::span<std::int16_t> out);
    // Counts frames from 0 again (for example when the host restarts the movie).
    void restartFrameCount() { m_frame = 0; }

private:
    struct Voice;
    struct Stream;
    struct Sound {
        SoundDefinition definition;
        std::shared_ptr<const PcmBuffer> pcm; // decoded on first use
        bool failed = false;
        std::size_t codedSize = 0;
    };

    void mixVoice(Voice& voice, std::int32_t* acc, std::size_t pairs);
    void mixStream(Stream& stream, std::int32_t* acc, std::size_t pairs);

    std::uint32_t m_rate256;
    std::uint64_t m_frame = 0;
    int m_volume = 100;
    bool m_suspended = false;
    std::string m_lastError;
    std::unordered_map<std::uint16_t, Sound> m_sounds;
    std::vector<std::unique_ptr<Voice>> m_voices;
    std::map<StreamKey, std::unique_ptr<Stream>> m_streams;
    std::vector<std::int32_t> m_acc;
};

// Runs a sound command of timeline `stream` (the key of that timeline's stream sound).
// StartSound2 names its sound by class, which needs the movie's exported symbols; until the
// caller resolves it into start.soundId it starts nothing.
void RunSoundCommand(SoundMixer& mixer, SoundMixer::StreamKey stream, const SoundCommand& cmd);

} // namespace kinovex::flash
