#include "engine/media/VideoDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <bit>
#include <cstring>

namespace kinovex::flash {

struct VideoDecoder::Impl {
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* received = nullptr;
    AVFrame* latest = nullptr; // the newest picture the decoder gave
    bool latestIsNew = false;  // not yet converted
    SwsContext* scaler = nullptr;

    void closeCodec() {
        avcodec_free_context(&codec);
        av_frame_unref(latest);
        latestIsNew = false;
    }
    ~Impl() {
        avcodec_free_context(&codec);
        av_packet_free(&packet);
        av_frame_free(&received);
        av_frame_free(&latest);
        sws_freeContext(scaler);
    }
};

namespace {

bool codecIdFor(std::uint8_t codec, AVCodecID& id) {
    switch (static_cast<VideoCodec>(codec)) {
    case VideoCodec::SorensonH263:
        id = AV_CODEC_ID_FLV1;
        return true;
    case VideoCodec::ScreenVideo:
        id = AV_CODEC_ID_FLASHSV;
        return true;
    case VideoCodec::Vp6:
        // The Flash flavour: rows top to bottom, as movies store them.
        id = AV_CODEC_ID_VP6F;
        return true;
    case VideoCodec::Vp6Alpha:
        id = AV_CODEC_ID_VP6A;
        return true;
    case VideoCodec::ScreenVideo2:
        id = AV_CODEC_ID_FLASHSV2;
        return true;
    }
    return false;
}

} // namespace

VideoDecoder::VideoDecoder(const VideoStream& stream)
    : m_stream(stream), m_impl(std::make_unique<Impl>()) {}

VideoDecoder::~VideoDecoder() = default;

void VideoDecoder::problem(const std::string& message, Log& log) {
    if (m_stream.problemReported.exchange(true)) {
        return;
    }
    log.report(VideoTagDefineVideoStream, 0,
               "video stream " + std::to_string(m_stream.id) + ": " + message);
}

bool VideoDecoder::open(Log& log) {
    if (m_unusable) {
        return false;
    }
    if (m_impl->codec != nullptr) {
        return true;
    }
    AVCodecID id = AV_CODEC_ID_NONE;
    if (!codecIdFor(m_stream.codec, id)) {
        problem("codec " + std::to_string(m_stream.codec) + " cannot be played", log);
        m_unusable = true;
        return false;
    }
    const AVCodec* codec = avcodec_find_decoder(id);
    Impl& d = *m_impl;
    if (codec != nullptr) {
        d.codec = avcodec_alloc_context3(codec);
    }
    if (d.codec != nullptr) {
        // One thread: a picture comes out for each frame that goes in, and the engine starts
        // no threads of its own.
        d.codec->thread_count = 1;
    }
    if (d.packet == nullptr) {
        d.packet = av_packet_alloc();
    }
    if (d.received == nullptr) {
        d.received = av_frame_alloc();
    }
    if (d.latest == nullptr) {
        d.latest = av_frame_alloc();
    }
    if (d.codec == nullptr || avcodec_open2(d.codec, codec, nullptr) < 0 || d.packet == nullptr ||
        d.received == nullptr || d.latest == nullptr) {
        problem(std::string("there is no decoder for ") + videoCodecName(m_stream.codec), log);
        avcodec_free_context(&d.codec);
        m_unusable = true;
        return false;
    }
    return true;
}

void VideoDecoder::restart() {
    // A fresh decoder, so that a frame reached by going back is decoded exactly as it was
    // when playing forward from the same keyframe.
    m_impl->closeCodec();
    m_last.reset();
    m_havePicture = false;
}

void VideoDecoder::decode(std::uint16_t number, const CodedVideoFrame& frame, Log& log) {
    if (frame.data.empty()) {
        return; // the picture stays as it is
    }
    Impl& d = *m_impl;
    if (av_new_packet(d.packet, static_cast<int>(frame.data.size())) < 0) {
        problem("out of memory", log);
        return;
    }
    std::memcpy(d.packet->data, frame.data.data(), frame.data.size());
    if (frame.keyframe) {
        // Screen video 2 keeps a keyframe's picture for the frames that refer to it.
        d.packet->flags |= AV_PKT_FLAG_KEY;
    }
    ++m_framesDecoded;
    const int sent = avcodec_send_packet(d.codec, d.packet);
    av_packet_unref(d.packet);
    if (sent < 0) {
        problem("frame " + std::to_string(number) + " cannot be decoded", log);
        return;
    }
    while (true) {
        const int got = avcodec_receive_frame(d.codec, d.received);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) {
            break;
        }
        if (got < 0) {
            problem("frame " + std::to_string(number) + " cannot be decoded", log);
            break;
        }
        av_frame_unref(d.latest);
        av_frame_move_ref(d.latest, d.received);
        d.latestIsNew = true;
    }
}

void VideoDecoder::convert(Log& log) {
    Impl& d = *m_impl;
    d.latestIsNew = false;
    const AVFrame* f = d.latest;
    const int w = f->width;
    const int h = f->height;
    if (w <= 0 || h <= 0 || static_cast<long long>(w) * h > kMaxPixels) {
        problem("a picture of " + std::to_string(w) + " x " + std::to_string(h) +
                    " pixels is not shown",
                log);
        return;
    }
    // Cairo's ARGB32 is a native-endian 32-bit word: B, G, R, A in memory on little-endian
    // machines.
    constexpr AVPixelFormat target =
        std::endian::native == std::endian::little ? AV_PIX_FMT_BGRA : AV_PIX_FMT_ARGB;
    const auto source = static_cast<AVPixelFormat>(f->format);
    d.scaler = sws_getCachedContext(d.scaler, w, h, source, w, h, target,
                                    SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                    nullptr, nullptr);
    if (d.scaler == nullptr) {
        problem("its pictures cannot be converted", log);
        return;
    }
    m_picture.width = w;
    m_picture.height = h;
    m_picture.pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    std::uint8_t* planes[4] = {reinterpret_cast<std::uint8_t*>(m_picture.pixels.data()), nullptr,
                               nullptr, nullptr};
    int strides[4] = {w * 4, 0, 0, 0};
    sws_scale(d.scaler, f->data, f->linesize, 0, h, planes, strides);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(source);
    if (desc != nullptr && (desc->flags & AV_PIX_FMT_FLAG_ALPHA) != 0) {
        // VP6 with alpha: the colours are stored straight, cairo wants them premultiplied.
        for (std::uint32_t& p : m_picture.pixels) {
            const std::uint32_t a = p >> 24;
            if (a == 255) {
                continue;
            }
            auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            p = a << 24 | mul((p >> 16) & 255) << 16 | mul((p >> 8) & 255) << 8 | mul(p & 255);
        }
    } else {
        for (std::uint32_t& p : m_picture.pixels) {
            p |= 0xff000000u;
        }
    }
    m_havePicture = true;
}

const VideoPicture* VideoDecoder::pictureAt(std::uint16_t frame, Log& log) {
    const auto& frames = m_stream.frames;
    auto target = frames.upper_bound(frame);
    if (target == frames.begin()) {
        return nullptr; // before the stream's first frame
    }
    --target;
    const std::uint16_t wanted = target->first;
    if (m_last && *m_last == wanted) {
        return m_havePicture ? &m_picture : nullptr;
    }
    const bool forward = m_last && *m_last < wanted;
    if (!forward && m_last) {
        restart();
    }
    if (!open(log)) {
        return nullptr;
    }
    auto start = forward ? frames.upper_bound(*m_last) : frames.begin();
    // The last keyframe on the way: what comes before it is not needed.
    for (auto it = target;; --it) {
        if (it->second.keyframe) {
            start = it;
            break;
        }
        if (it == start) {
            break;
        }
    }
    for (auto it = start;; ++it) {
        decode(it->first, it->second, log);
        if (it == target) {
            break;
        }
    }
    m_last = wanted;
    if (m_impl->latestIsNew) {
        convert(log);
    }
    return m_havePicture ? &m_picture : nullptr;
}

} // namespace kinovex::flash
