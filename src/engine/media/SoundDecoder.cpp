#include "engine/media/SoundDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <array>
#include <limits>

namespace kinovex::flash {

namespace {

// Step sizes and index changes of IMA ADPCM, which movies use with 2- to 5-bit codes.
constexpr std::array<int, 89> kAdpcmSteps = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr int kAdpcmIndex2[] = {-1, 2};
constexpr int kAdpcmIndex3[] = {-1, -1, 2, 4};
constexpr int kAdpcmIndex4[] = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr int kAdpcmIndex5[] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};

constexpr int kAdpcmPacketSamples = 4096;

// Nellymoser is always mono; the two fixed-rate variants ignore the rate field.
int nellymoserRate(const SoundFormat& f) {
    switch (f.codec) {
    case SoundCodec::Nellymoser16k:
        return 16000;
    case SoundCodec::Nellymoser8k:
        return 8000;
    default:
        return static_cast<int>(f.rateTimes2() / 2);
    }
}

// libavcodec's Nellymoser decoder wants whole 64-byte blocks.
constexpr std::size_t kNellymoserBlock = 64;

// How much coded data goes to libavcodec at a time.
constexpr std::size_t kCodecPiece = 16384;

} // namespace

std::vector<std::int16_t> DecodePcm(std::span<const std::uint8_t> data, bool is16Bit, int channels,
                                    bool bigEndian) {
    std::vector<std::int16_t> out;
    const std::size_t frameBytes = static_cast<std::size_t>(channels) * (is16Bit ? 2 : 1);
    if (frameBytes == 0) {
        return out;
    }
    const std::size_t frames = data.size() / frameBytes;
    out.reserve(frames * static_cast<std::size_t>(channels));
    const std::size_t values = frames * static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i < values; ++i) {
        if (is16Bit) {
            const std::uint8_t lo = bigEndian ? data[2 * i + 1] : data[2 * i];
            const std::uint8_t hi = bigEndian ? data[2 * i] : data[2 * i + 1];
            out.push_back(static_cast<std::int16_t>(static_cast<std::uint16_t>(hi << 8 | lo)));
        } else {
            out.push_back(static_cast<std::int16_t>((data[i] - 128) * 256));
        }
    }
    return out;
}

std::vector<std::int16_t> DecodeAdpcm(std::span<const std::uint8_t> data, int channels) {
    std::vector<std::int16_t> out;
    if (channels < 1 || channels > 2) {
        return out;
    }
    BitReader r(data);
    const unsigned bits = r.ub(2) + 2;
    const int* indexTable = bits == 2   ? kAdpcmIndex2
                            : bits == 3 ? kAdpcmIndex3
                            : bits == 4 ? kAdpcmIndex4
                                        : kAdpcmIndex5;
    const unsigned signMask = 1u << (bits - 1);
    const auto ch = static_cast<std::size_t>(channels);
    std::array<int, 2> predictor{};
    std::array<int, 2> index{};
    // Bits left in the data, counted so that a packet cut short ends cleanly.
    std::size_t bitsLeft = data.size() * 8 - 2;
    const std::size_t headerBits = ch * 22;
    const std::size_t frameBits = ch * bits;
    while (bitsLeft >= headerBits) {
        for (std::size_t c = 0; c < ch; ++c) {
            predictor[c] = r.sb(16);
            index[c] = static_cast<int>(r.ub(6));
            out.push_back(static_cast<std::int16_t>(predictor[c]));
        }
        bitsLeft -= headerBits;
        for (int n = 1; n < kAdpcmPacketSamples && bitsLeft >= frameBits; ++n) {
            for (std::size_t c = 0; c < ch; ++c) {
                const unsigned code = r.ub(bits);
                int step = kAdpcmSteps[static_cast<std::size_t>(index[c])];
                int diff = 0;
                for (unsigned k = signMask >> 1; k != 0; k >>= 1) {
                    if ((code & k) != 0) {
                        diff += step;
                    }
                    step >>= 1;
                }
                diff += step;
                predictor[c] =
                    std::clamp((code & signMask) != 0 ? predictor[c] - diff : predictor[c] + diff,
                               -32768, 32767);
                index[c] = std::clamp(index[c] + indexTable[code & (signMask - 1)], 0, 88);
                out.push_back(static_cast<std::int16_t>(predictor[c]));
            }
            bitsLeft -= frameBits;
        }
    }
    return out;
}

std::uint64_t SamplesAtMixRate(const SoundFormat& format, std::uint64_t count) {
    std::uint64_t rate2 = format.rateTimes2();
    if (format.codec == SoundCodec::Nellymoser16k || format.codec == SoundCodec::Nellymoser8k) {
        rate2 = 2u * static_cast<std::uint64_t>(nellymoserRate(format));
    }
    return count * 2u * kMixRate / rate2;
}

struct SoundDecoder::Impl {
    AVCodecContext* codec = nullptr;
    AVCodecParserContext* parser = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    std::vector<std::uint8_t> pending; // Nellymoser bytes short of a whole block

    SwrContext* swr = nullptr;
    int swrFormat = -1;
    int swrChannels = 0;
    int swrRate2 = 0;
    std::vector<std::int16_t> resampled;

    ~Impl() {
        swr_free(&swr);
        av_parser_close(parser);
        avcodec_free_context(&codec);
        av_packet_free(&packet);
        av_frame_free(&frame);
    }
};

SoundDecoder::SoundDecoder(const SoundFormat& format)
    : m_format(format), m_impl(std::make_unique<Impl>()) {
    switch (format.codec) {
    case SoundCodec::PcmNative:
    case SoundCodec::PcmLittle:
    case SoundCodec::Adpcm:
        return;
    case SoundCodec::Mp3:
    case SoundCodec::Nellymoser16k:
    case SoundCodec::Nellymoser8k:
    case SoundCodec::Nellymoser:
        break;
    default:
        m_ok = false;
        m_error =
            "sound format " + std::to_string(static_cast<int>(format.codec)) + " cannot be played";
        return;
    }
    reset();
}

SoundDecoder::~SoundDecoder() = default;

void SoundDecoder::reset() {
    m_skip = 0;
    Impl& d = *m_impl;
    swr_free(&d.swr);
    d.swrFormat = -1;
    d.pending.clear();
    if (m_format.codec != SoundCodec::Mp3 && m_format.codec != SoundCodec::Nellymoser16k &&
        m_format.codec != SoundCodec::Nellymoser8k && m_format.codec != SoundCodec::Nellymoser) {
        return;
    }
    av_parser_close(d.parser);
    d.parser = nullptr;
    avcodec_free_context(&d.codec);
    const bool mp3 = m_format.codec == SoundCodec::Mp3;
    const AVCodec* codec = avcodec_find_decoder(mp3 ? AV_CODEC_ID_MP3 : AV_CODEC_ID_NELLYMOSER);
    if (codec == nullptr) {
        m_ok = false;
        m_error = mp3 ? "no MP3 decoder" : "no Nellymoser decoder";
        return;
    }
    d.codec = avcodec_alloc_context3(codec);
    if (!mp3) {
        d.codec->sample_rate = nellymoserRate(m_format);
        av_channel_layout_default(&d.codec->ch_layout, 1);
    }
    if (d.codec == nullptr || avcodec_open2(d.codec, codec, nullptr) < 0) {
        m_ok = false;
        m_error = "the sound decoder cannot be opened";
        return;
    }
    if (mp3) {
        d.parser = av_parser_init(AV_CODEC_ID_MP3);
    }
    if (d.packet == nullptr) {
        d.packet = av_packet_alloc();
    }
    if (d.frame == nullptr) {
        d.frame = av_frame_alloc();
    }
    m_ok = d.packet != nullptr && d.frame != nullptr && (!mp3 || d.parser != nullptr);
}

void SoundDecoder::decode(std::span<const std::uint8_t> data, PcmBuffer& out,
                          std::size_t maxPairs) {
    if (!m_ok || data.empty() || maxPairs == 0) {
        return;
    }
    const std::size_t before = out.size();
    // Samples at the source rate that make up maxPairs, with room for the skip and the
    // resampler's filter; the data beyond them is not decoded at all.
    const std::uint64_t sourceLimit =
        maxPairs == kUnbounded
            ? std::numeric_limits<std::uint64_t>::max() / 2
            : static_cast<std::uint64_t>(maxPairs) * m_format.rateTimes2() / (2u * kMixRate) +
                  m_skip + 64;
    const auto channels = static_cast<std::uint64_t>(m_format.channels());
    switch (m_format.codec) {
    case SoundCodec::PcmNative:
        // Flash plays this format as little-endian on every machine it runs on today.
    case SoundCodec::PcmLittle: {
        const std::uint64_t bytes = sourceLimit * channels * (m_format.is16Bit ? 2u : 1u);
        if (bytes < data.size()) {
            data = data.first(static_cast<std::size_t>(bytes));
        }
        pushS16(DecodePcm(data, m_format.is16Bit, m_format.channels(), false), m_format.channels(),
                out);
        break;
    }
    case SoundCodec::Adpcm: {
        const std::uint64_t codeBits = (data[0] >> 6) + 2u;
        const std::uint64_t packets = sourceLimit / 4096u + 1u;
        const std::uint64_t bits = 2u + packets * (22u * channels + 4095u * codeBits * channels);
        if (bits / 8u + 1u < data.size()) {
            data = data.first(static_cast<std::size_t>(bits / 8u + 1u));
        }
        pushS16(DecodeAdpcm(data, m_format.channels()), m_format.channels(), out);
        break;
    }
    default:
        // In pieces, so that decoding stops soon after the limit.
        for (std::size_t at = 0; at < data.size(); at += kCodecPiece) {
            decodeWithCodec(data.subspan(at, std::min(kCodecPiece, data.size() - at)), out, false);
            if ((out.size() - before) / 2 >= maxPairs) {
                break;
            }
        }
        break;
    }
    if (maxPairs != kUnbounded && (out.size() - before) / 2 > maxPairs) {
        out.resize(before + maxPairs * 2);
    }
}

void SoundDecoder::flush(PcmBuffer& out) {
    if (!m_ok) {
        return;
    }
    if (m_impl->codec != nullptr) {
        decodeWithCodec({}, out, true);
    }
    if (m_impl->swr != nullptr) {
        resample(nullptr, m_impl->swrFormat, m_impl->swrChannels, m_impl->swrRate2, 0, out);
    }
}

void SoundDecoder::pushS16(const std::vector<std::int16_t>& samples, int channels, PcmBuffer& out) {
    const auto ch = static_cast<std::size_t>(channels);
    std::size_t first = std::min<std::size_t>(m_skip, samples.size() / ch);
    m_skip -= static_cast<std::uint32_t>(first);
    const std::size_t count = samples.size() / ch - first;
    if (count == 0) {
        return;
    }
    const auto* start = reinterpret_cast<const std::uint8_t*>(samples.data() + first * ch);
    const std::uint8_t* planes[1] = {start};
    resample(planes, AV_SAMPLE_FMT_S16, channels, static_cast<int>(m_format.rateTimes2()),
             static_cast<int>(count), out);
}

void SoundDecoder::resample(const std::uint8_t* const* planes, int sampleFormat, int channels,
                            int rate2, int count, PcmBuffer& out) {
    Impl& d = *m_impl;
    if (channels < 1 || channels > 2 || rate2 <= 0) {
        return;
    }
    const bool direct = sampleFormat == AV_SAMPLE_FMT_S16 && rate2 == 2 * kMixRate;
    if (direct && d.swr == nullptr) {
        if (planes == nullptr) {
            return;
        }
        const auto* s = reinterpret_cast<const std::int16_t*>(planes[0]);
        for (int i = 0; i < count; ++i) {
            const std::int16_t left = s[i * channels];
            out.push_back(left);
            out.push_back(channels == 2 ? s[i * channels + 1] : left);
        }
        return;
    }
    if (d.swr == nullptr || d.swrFormat != sampleFormat || d.swrChannels != channels ||
        d.swrRate2 != rate2) {
        if (d.swr != nullptr && planes != nullptr) {
            // The source changed its rate or layout midway: finish the old conversion first.
            resample(nullptr, d.swrFormat, d.swrChannels, d.swrRate2, 0, out);
        }
        swr_free(&d.swr);
        if (planes == nullptr) {
            return;
        }
        AVChannelLayout layout;
        av_channel_layout_default(&layout, channels);
        // The resampler works on ratios, so twice both rates expresses 5512.5 Hz exactly.
        if (swr_alloc_set_opts2(&d.swr, &layout, AV_SAMPLE_FMT_S16, 2 * kMixRate, &layout,
                                static_cast<AVSampleFormat>(sampleFormat), rate2, 0, nullptr) < 0 ||
            swr_init(d.swr) < 0) {
            swr_free(&d.swr);
            m_ok = false;
            m_error = "the sound cannot be converted to 44.1 kHz";
            return;
        }
        d.swrFormat = sampleFormat;
        d.swrChannels = channels;
        d.swrRate2 = rate2;
    }
    const int capacity = swr_get_out_samples(d.swr, count);
    if (capacity <= 0) {
        return;
    }
    d.resampled.resize(static_cast<std::size_t>(capacity) * static_cast<std::size_t>(channels));
    std::uint8_t* outPlanes[1] = {reinterpret_cast<std::uint8_t*>(d.resampled.data())};
    const int made =
        swr_convert(d.swr, outPlanes, capacity, const_cast<const std::uint8_t**>(planes), count);
    for (int i = 0; i < made; ++i) {
        const std::int16_t left = d.resampled[static_cast<std::size_t>(i * channels)];
        out.push_back(left);
        out.push_back(channels == 2 ? d.resampled[static_cast<std::size_t>(i * channels + 1)]
                                    : left);
    }
}

void SoundDecoder::decodeWithCodec(std::span<const std::uint8_t> data, PcmBuffer& out,
                                   bool flushing) {
    Impl& d = *m_impl;
    auto drain = [&] {
        while (avcodec_receive_frame(d.codec, d.frame) >= 0) {
            const int channels = d.frame->ch_layout.nb_channels;
            int count = d.frame->nb_samples;
            const auto format = static_cast<AVSampleFormat>(d.frame->format);
            const int skip = static_cast<int>(
                std::min<std::uint32_t>(m_skip, static_cast<std::uint32_t>(std::max(count, 0))));
            m_skip -= static_cast<std::uint32_t>(skip);
            count -= skip;
            if (count > 0 && channels >= 1 && channels <= 2) {
                const int bytes = av_get_bytes_per_sample(format);
                const bool planar = av_sample_fmt_is_planar(format) != 0;
                std::array<const std::uint8_t*, 2> planes{};
                for (int c = 0; c < (planar ? channels : 1); ++c) {
                    planes[static_cast<std::size_t>(c)] =
                        d.frame->extended_data[c] + skip * bytes * (planar ? 1 : channels);
                }
                resample(planes.data(), format, channels, 2 * d.frame->sample_rate, count, out);
            }
            av_frame_unref(d.frame);
        }
    };
    auto send = [&](const std::uint8_t* bytes, int size) {
        av_packet_unref(d.packet);
        d.packet->data = const_cast<std::uint8_t*>(bytes);
        d.packet->size = size;
        // A damaged frame is dropped by the decoder; the next one decodes again.
        avcodec_send_packet(d.codec, size > 0 ? d.packet : nullptr);
        drain();
    };

    if (d.parser != nullptr) {
        const std::uint8_t* p = data.data();
        auto left = static_cast<int>(data.size());
        while (left > 0 || flushing) {
            std::uint8_t* frameData = nullptr;
            int frameSize = 0;
            const int used = av_parser_parse2(d.parser, d.codec, &frameData, &frameSize, p, left,
                                              AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (used < 0) {
                break;
            }
            p += used;
            left -= used;
            if (frameSize > 0) {
                send(frameData, frameSize);
            } else if (flushing) {
                break;
            }
        }
    } else {
        d.pending.insert(d.pending.end(), data.begin(), data.end());
        const std::size_t whole = d.pending.size() / kNellymoserBlock * kNellymoserBlock;
        if (whole > 0) {
            send(d.pending.data(), static_cast<int>(whole));
            d.pending.erase(d.pending.begin(),
                            d.pending.begin() + static_cast<std::ptrdiff_t>(whole));
        }
    }
    if (flushing) {
        send(nullptr, 0);
        avcodec_flush_buffers(d.codec);
    }
}

PcmBuffer DecodeSound(const SoundDefinition& sound, std::string* error) {
    PcmBuffer out;
    SoundDecoder decoder(sound.format);
    if (!decoder.ok()) {
        if (error != nullptr) {
            *error = decoder.error();
        }
        return out;
    }
    // A count of 0 is taken as "not given": the data says how long the sound is.
    std::size_t limit = kMaxSoundPairs;
    if (sound.sampleCount != 0) {
        limit = static_cast<std::size_t>(
            std::min<std::uint64_t>(limit, SamplesAtMixRate(sound.format, sound.sampleCount)));
    }
    decoder.skip(sound.seekSamples);
    decoder.decode(sound.data, out, limit);
    decoder.flush(out);
    if (out.size() / 2 > limit) {
        out.resize(limit * 2);
    }
    if (!decoder.ok() && error != nullptr) {
        *error = decoder.error();
    }
    return out;
}

} // namespace kinovex::flash
