#include "AviTestSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstring>

namespace kinovex {

AviContents ReadAvi(const std::string& path) {
    AviContents contents;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, ("file:" + path).c_str(), nullptr, nullptr) < 0)
        return contents;
    contents.opened = true;
    avformat_find_stream_info(format, nullptr);
    int video = -1;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            ++contents.videoStreams;
            if (video < 0)
                video = static_cast<int>(i);
        }
    }
    AVCodecContext* decoder = nullptr;
    if (video >= 0) {
        AVStream* stream = format->streams[video];
        contents.codecTag = stream->codecpar->codec_tag;
        contents.width = stream->codecpar->width;
        contents.height = stream->codecpar->height;
        if (stream->avg_frame_rate.den != 0)
            contents.frameRate = av_q2d(stream->avg_frame_rate);
        if (const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id)) {
            decoder = avcodec_alloc_context3(codec);
            avcodec_parameters_to_context(decoder, stream->codecpar);
            if (avcodec_open2(decoder, codec, nullptr) < 0)
                avcodec_free_context(&decoder);
        }
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == video) {
            ++contents.packets;
            if (decoder != nullptr && avcodec_send_packet(decoder, packet) >= 0 &&
                avcodec_receive_frame(decoder, frame) >= 0) {
                if (contents.decodedFrames++ == 0) {
                    contents.firstFrame.resize(static_cast<std::size_t>(frame->width) *
                                               static_cast<std::size_t>(frame->height));
                    for (int y = 0; y < frame->height; ++y)
                        std::memcpy(
                            contents.firstFrame.data() + static_cast<std::size_t>(y) *
                                                             static_cast<std::size_t>(frame->width),
                            frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0],
                            static_cast<std::size_t>(frame->width) * 2);
                    // The top bit of RGB 5-5-5 carries nothing.
                    for (auto& pixel : contents.firstFrame)
                        pixel &= 0x7FFF;
                }
                av_frame_unref(frame);
            }
        }
        av_packet_unref(packet);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return contents;
}

std::vector<std::uint8_t> MakeDib(const std::vector<std::uint16_t>& picture, int width,
                                  int height) {
    const std::size_t stride = (static_cast<std::size_t>(width) * 2 + 3) / 4 * 4;
    std::vector<std::uint8_t> dib(stride * static_cast<std::size_t>(height), 0xEE);
    for (int y = 0; y < height; ++y) {
        // DIB row 0 is the bottom of the picture.
        std::uint8_t* row = dib.data() + stride * static_cast<std::size_t>(height - 1 - y);
        std::memcpy(row,
                    picture.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width),
                    static_cast<std::size_t>(width) * 2);
    }
    return dib;
}

} // namespace kinovex
