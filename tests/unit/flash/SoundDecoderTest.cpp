#include "SoundTestUtil.h"

#include "engine/definitions/SoundTags.h"
#include "engine/media/SoundDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include <random>

namespace kinovex::flash {
namespace {

using test::Frequency;
using test::Rms;
using test::Tone;

SoundDefinition Define(SoundCodec codec, std::uint8_t rateCode, bool is16, bool stereo,
                       std::uint32_t samples, std::vector<std::uint8_t> data,
                       std::uint16_t seek = 0) {
    SoundDefinition d;
    d.id = 1;
    d.format = SoundFormat{codec, rateCode, is16, stereo};
    d.sampleCount = samples;
    d.seekSamples = seek;
    d.data = std::move(data);
    return d;
}

TEST(SoundPcm, BothByteOrdersAndEightBitGiveTheSameSamples) {
    const std::vector<std::int16_t> samples{0, 1, -1, 0x1234, -0x1234, 32767, -32768, 256};
    EXPECT_EQ(DecodePcm(swf::Pcm16Bytes(samples, false), true, 1, false), samples);
    EXPECT_EQ(DecodePcm(swf::Pcm16Bytes(samples, true), true, 1, true), samples);
    // Read in the wrong order, the bytes swap: the flag really changes the reading.
    EXPECT_EQ(DecodePcm(swf::Pcm16Bytes({0x1234}, true), true, 1, false),
              std::vector<std::int16_t>{0x3412});

    // 8-bit data is unsigned around 128.
    EXPECT_EQ(DecodePcm(std::vector<std::uint8_t>{128, 255, 0, 129}, false, 1, false),
              (std::vector<std::int16_t>{0, 127 * 256, -128 * 256, 256}));
    // A stereo pair cut in half at the end is dropped, not read past the data.
    EXPECT_EQ(DecodePcm(std::vector<std::uint8_t>{1, 0, 2, 0, 3}, true, 2, false),
              (std::vector<std::int16_t>{1, 2}));
}

TEST(SoundPcm, At44kTheSoundComesOutUnchangedAndMonoFillsBothSides) {
    const std::vector<std::int16_t> stereo{100, -100, 200, -200, 300, -300};
    for (SoundCodec codec : {SoundCodec::PcmNative, SoundCodec::PcmLittle}) {
        const PcmBuffer out = DecodeSound(Define(codec, 3, true, true, 3, swf::Pcm16Bytes(stereo)));
        EXPECT_EQ(out, PcmBuffer(stereo.begin(), stereo.end()));
    }
    const PcmBuffer mono =
        DecodeSound(Define(SoundCodec::PcmLittle, 3, true, false, 3, swf::Pcm16Bytes({5, 6, 7})));
    EXPECT_EQ(mono, (PcmBuffer{5, 5, 6, 6, 7, 7}));
    // The declared sample count cuts off what follows.
    const PcmBuffer cut =
        DecodeSound(Define(SoundCodec::PcmLittle, 3, true, false, 2, swf::Pcm16Bytes({5, 6, 7})));
    EXPECT_EQ(cut, (PcmBuffer{5, 5, 6, 6}));
    // A count of 0 does not silence a sound that has data.
    const PcmBuffer uncounted =
        DecodeSound(Define(SoundCodec::PcmLittle, 3, true, false, 0, swf::Pcm16Bytes({5, 6, 7})));
    EXPECT_EQ(uncounted, (PcmBuffer{5, 5, 6, 6, 7, 7}));
}

TEST(SoundPcm, LowerRatesAreConvertedKeepingLengthAndPitch) {
    struct Case {
        std::uint8_t rateCode;
        double rate;
    };
    for (const Case c : {Case{0, 5512.5}, Case{1, 11025}, Case{2, 22050}}) {
        const auto tone = Tone(500, static_cast<int>(c.rate), 1.0);
        const auto count = static_cast<std::uint32_t>(tone.size());
        const PcmBuffer out = DecodeSound(
            Define(SoundCodec::PcmLittle, c.rateCode, true, false, count, swf::Pcm16Bytes(tone)));
        const auto expected = static_cast<std::size_t>(count * 44100.0 / c.rate);
        EXPECT_NEAR(static_cast<double>(out.size() / 2), static_cast<double>(expected), 2.0)
            << c.rate;
        EXPECT_NEAR(Frequency(out, 4000, 30000), 500.0, 3.0) << c.rate;
        EXPECT_NEAR(Rms(out, 4000, 30000), 12000 / std::sqrt(2.0), 400.0) << c.rate;
    }
}

TEST(SoundAdpcm, MatchesAHandEncodedPacket) {
    // 2-bit codes from 1000 at step index 0 (step 7):
    //   01: +7 +7/2      -> 1010, index 2 (step 9)
    //   01: +9 +9/2      -> 1023, index 4 (step 11)
    //   10: -(11/2)      -> 1018, index 3 (step 10)
    //   11: -(10 + 10/2) -> 1003, index 5
    swf::BitWriter w;
    w.ub(0, 2); // 2-bit codes
    w.sb(1000, 16);
    w.ub(0, 6);
    for (std::uint32_t code : {1u, 1u, 2u, 3u}) {
        w.ub(code, 2);
    }
    EXPECT_EQ(DecodeAdpcm(w.data(), 1), (std::vector<std::int16_t>{1000, 1010, 1023, 1018, 1003}));

    // A 5-bit code clamps at the top of the range instead of wrapping round.
    swf::BitWriter loud;
    loud.ub(3, 2);
    loud.sb(32700, 16);
    loud.ub(88, 6);
    loud.ub(15, 5);
    loud.ub(0, 3); // padding to a whole byte: too short for another sample
    EXPECT_EQ(DecodeAdpcm(loud.data(), 1), (std::vector<std::int16_t>{32700, 32767}));
}

// libavcodec knows this layout too; every bit pattern is valid ADPCM, so random data over
// several packets (the last one cut short) must decode identically.
TEST(SoundAdpcm, AgreesWithLibavcodecOverPacketsOfEveryCodeSize) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_ADPCM_SWF);
    if (codec == nullptr) {
        GTEST_SKIP() << "libavcodec has no adpcm_swf decoder";
    }
    std::mt19937 random(7);
    for (int channels : {1, 2}) {
        for (unsigned bits = 2; bits <= 5; ++bits) {
            std::vector<std::uint8_t> data(static_cast<std::size_t>(
                (22 * channels + 4095 * bits * static_cast<unsigned>(channels)) * 2 / 8 + 777));
            for (auto& b : data) {
                b = static_cast<std::uint8_t>(random());
            }
            data[0] = static_cast<std::uint8_t>((data[0] & 0x3f) | (bits - 2) << 6);
            const std::vector<std::int16_t> ours = DecodeAdpcm(data, channels);

            AVCodecContext* ctx = avcodec_alloc_context3(codec);
            ctx->sample_rate = 22050;
            av_channel_layout_default(&ctx->ch_layout, channels);
            ASSERT_EQ(avcodec_open2(ctx, codec, nullptr), 0);
            AVPacket* packet = av_packet_alloc();
            AVFrame* frame = av_frame_alloc();
            packet->data = data.data();
            packet->size = static_cast<int>(data.size());
            ASSERT_EQ(avcodec_send_packet(ctx, packet), 0);
            std::vector<std::int16_t> theirs;
            while (avcodec_receive_frame(ctx, frame) == 0) {
                const auto* s = reinterpret_cast<const std::int16_t*>(frame->data[0]);
                theirs.insert(theirs.end(), s, s + frame->nb_samples * channels);
            }
            av_frame_free(&frame);
            av_packet_free(&packet);
            avcodec_free_context(&ctx);
            EXPECT_GT(ours.size(), static_cast<std::size_t>(8192 * channels));
            EXPECT_EQ(ours, theirs) << channels << " channels, " << bits << " bits";
        }
    }
}

TEST(SoundMp3, DecodesAToneAndDropsItsSeekSamples) {
    const std::vector<std::uint8_t> mp3 = test::Mp3Tone(44100, 1.0);
    if (mp3.empty()) {
        GTEST_SKIP() << "ffmpeg with libmp3lame is not available";
    }
    const PcmBuffer whole = DecodeSound(Define(SoundCodec::Mp3, 3, true, false, 0, mp3, 0));
    ASSERT_GT(whole.size() / 2, 44100u);
    EXPECT_NEAR(Frequency(whole, 5000, 30000), 440.0, 3.0);
    EXPECT_GT(Rms(whole, 5000, 30000), 2000.0); // the generator plays at 1/8 of full scale
    EXPECT_EQ(Rms(whole, 5000, 30000, 0), Rms(whole, 5000, 30000, 1)) << "mono on both sides";

    // The seek samples are the encoder's delay: what follows them is the same sound, moved.
    const PcmBuffer skipped = DecodeSound(Define(SoundCodec::Mp3, 3, true, false, 0, mp3, 1105));
    ASSERT_EQ(skipped.size() + 2 * 1105, whole.size());
    EXPECT_TRUE(std::equal(skipped.begin(), skipped.end(), whole.begin() + 2 * 1105));

    // The declared length cuts off the encoder's padding at the end.
    const PcmBuffer declared =
        DecodeSound(Define(SoundCodec::Mp3, 3, true, false, 44100, mp3, 1105));
    EXPECT_EQ(declared.size(), 2u * 44100u);
}

TEST(SoundMp3, LowerRateStereoComesOutAt44k) {
    const std::vector<std::uint8_t> mp3 = test::Mp3Tone(22050, 1.0, 2);
    if (mp3.empty()) {
        GTEST_SKIP() << "ffmpeg with libmp3lame is not available";
    }
    const PcmBuffer out = DecodeSound(Define(SoundCodec::Mp3, 2, true, true, 22050, mp3));
    EXPECT_EQ(out.size(), 2u * 44100u);
    EXPECT_NEAR(Frequency(out, 5000, 30000, 0), 440.0, 3.0);
    EXPECT_NEAR(Frequency(out, 5000, 30000, 1), 440.0, 3.0);
}

TEST(SoundMp3, DamagedDataGivesWhatCanBeDecodedWithoutFailing) {
    std::vector<std::uint8_t> mp3 = test::Mp3Tone(44100, 0.5);
    if (mp3.empty()) {
        GTEST_SKIP() << "ffmpeg with libmp3lame is not available";
    }
    for (std::size_t i = mp3.size() / 3; i < mp3.size() / 2; ++i) {
        mp3[i] = static_cast<std::uint8_t>(i * 31);
    }
    mp3.resize(mp3.size() - 100); // and cut in the middle of a frame
    std::string error;
    const PcmBuffer out = DecodeSound(Define(SoundCodec::Mp3, 3, true, false, 0, mp3), &error);
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_GT(out.size() / 2, 5000u);
}

TEST(SoundNellymoser, EveryRateVariantDecodesToTheTone) {
    struct Case {
        SoundCodec codec;
        int rate;
        std::uint8_t rateCode;
    };
    for (const Case c :
         {Case{SoundCodec::Nellymoser16k, 16000, 0}, Case{SoundCodec::Nellymoser8k, 8000, 0},
          Case{SoundCodec::Nellymoser, 22050, 2}}) {
        const auto flv =
            test::Encode("sine=frequency=440:sample_rate=" + std::to_string(c.rate) + ":duration=1",
                         "-ac 1 -c:a nellymoser -f flv", "flv");
        if (flv.empty()) {
            GTEST_SKIP() << "ffmpeg with a Nellymoser encoder is not available";
        }
        std::vector<std::uint8_t> data;
        for (const auto& packet : test::FlvAudioPackets(flv)) {
            data.insert(data.end(), packet.begin(), packet.end());
        }
        ASSERT_FALSE(data.empty());
        const PcmBuffer out = DecodeSound(
            Define(c.codec, c.rateCode, true, false, static_cast<std::uint32_t>(c.rate), data));
        EXPECT_NEAR(static_cast<double>(out.size() / 2), 44100.0, 300.0) << c.rate;
        EXPECT_NEAR(Frequency(out, 8000, 30000), 440.0, 4.0) << c.rate;
    }
}

TEST(SoundFormats, ThoseThatCannotBeDecodedSaySoAndGiveNothing) {
    for (auto codec : {SoundCodec::Speex, static_cast<SoundCodec>(9)}) {
        std::string error;
        const PcmBuffer out = DecodeSound(
            Define(codec, 3, true, false, 100, std::vector<std::uint8_t>(200, 1)), &error);
        EXPECT_TRUE(out.empty());
        EXPECT_FALSE(error.empty());
    }
}

// A few bytes can claim hours of sound; decoding stops at the caller's limit whatever the
// codec (event sounds are limited to ten minutes this way).
TEST(SoundFormats, DecodingStopsAtTheLimit) {
    std::vector<std::uint8_t> adpcm(1 << 16, 0x5a);
    adpcm[0] = 0x00;
    struct Case {
        SoundFormat format;
        std::vector<std::uint8_t> data;
    };
    std::vector<Case> cases{
        {SoundFormat{SoundCodec::Adpcm, 0, true, false}, adpcm},
        {SoundFormat{SoundCodec::PcmLittle, 1, false, true}, std::vector<std::uint8_t>(1 << 16)},
        {SoundFormat{SoundCodec::PcmNative, 3, true, true}, std::vector<std::uint8_t>(1 << 16)}};
    const std::vector<std::uint8_t> mp3 = test::Mp3Tone(44100, 2.0);
    if (!mp3.empty()) {
        cases.push_back({SoundFormat{SoundCodec::Mp3, 3, true, false}, mp3});
    }
    for (const Case& c : cases) {
        SoundDecoder decoder(c.format);
        PcmBuffer out{1, 1}; // what is there already stays
        decoder.decode(c.data, out, 1000);
        EXPECT_EQ(out.size(), 2u + 2u * 1000u) << static_cast<int>(c.format.codec);
        EXPECT_EQ(out[0], 1);
    }
}

TEST(SoundTags, TheWritersFieldsReadBack) {
    swf::SoundInfoSpec spec;
    spec.noMultiple = true;
    spec.inPoint = 100;
    spec.outPoint = 70000;
    spec.loops = 3;
    spec.envelope = {{44100, 0, 65535}, {0, 32768, 0}}; // out of order on purpose
    std::vector<std::uint8_t> body{0x34, 0x12};
    const auto info = swf::SoundInfoBytes(spec);
    body.insert(body.end(), info.begin(), info.end());

    StartSoundCommand cmd;
    ASSERT_TRUE(ParseStartSound(body, cmd));
    EXPECT_EQ(cmd.soundId, 0x1234);
    EXPECT_FALSE(cmd.info.syncStop);
    EXPECT_TRUE(cmd.info.syncNoMultiple);
    EXPECT_TRUE(cmd.info.hasInPoint);
    EXPECT_EQ(cmd.info.inPoint, 100u);
    EXPECT_EQ(cmd.info.outPoint, 70000u);
    EXPECT_EQ(cmd.info.loopCount, 3);
    ASSERT_EQ(cmd.info.envelope.size(), 2u);
    EXPECT_EQ(cmd.info.envelope[0].position, 0u);
    EXPECT_EQ(cmd.info.envelope[1].left, 0);
    EXPECT_EQ(cmd.info.envelope[1].right, 32768) << "no louder than the sound itself";

    // Cut anywhere inside the record, the tag is reported as malformed.
    for (std::size_t cut = 2; cut < body.size(); ++cut) {
        StartSoundCommand partial;
        EXPECT_FALSE(ParseStartSound(std::span(body).first(cut), partial)) << cut;
    }

    swf::SwfWriter movie(100, 100, 12);
    swf::SoundStreamHead(movie, {swf::SoundCodec::PcmLittle, 2, true, true},
                         {swf::SoundCodec::Mp3, 2, true, false}, 1837, -3, true);
    const auto& tags = movie.tags();
    // Skip the FileAttributes tag and the stream head's own header (short form).
    const std::size_t headAt = tags.size() - 8;
    SoundStreamHead head;
    ASSERT_TRUE(ParseSoundStreamHead(std::span(tags).subspan(headAt + 2), head));
    EXPECT_EQ(head.stream.codec, SoundCodec::Mp3);
    EXPECT_EQ(head.stream.rateCode, 2);
    EXPECT_FALSE(head.stream.stereo);
    EXPECT_TRUE(head.playback.stereo);
    EXPECT_EQ(head.samplesPerBlock, 1837);
    EXPECT_EQ(head.latencySeek, -3);
}

} // namespace
} // namespace kinovex::flash
