#include "core/movie/CSwfHeaderReader.h"

#include "SwfWriter.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace kinovex {
namespace {

using swf::Compression;

std::string AsString(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

// Runs ReadHeader on `bytes` written to a file.
struct ReadResult {
    bool ok;
    SwfHeaderInfo info;
};
ReadResult ReadBytes(const std::vector<uint8_t>& bytes) {
    test::TempDir dir("header");
    test::WriteFile(dir / "movie.swf", AsString(bytes));
    CSwfHeaderReader reader;
    SwfHeaderInfo info{};
    const bool ok = reader.ReadHeader((dir / "movie.swf").c_str(), info);
    return {ok, info};
}

// A stored movie whose body is exactly `body` (header fields as given).
std::vector<uint8_t> StoredMovie(const std::vector<uint8_t>& body, uint32_t declaredLength) {
    swf::BitWriter file;
    file.u8('F');
    file.u8('W');
    file.u8('S');
    file.u8(9);
    file.u32(declaredLength);
    file.bytes(body);
    return file.data();
}

std::vector<uint8_t> HeaderBody(const swf::Rect& rect, int nbits, uint16_t rate, uint16_t count) {
    swf::BitWriter body;
    body.ub(static_cast<uint32_t>(nbits), 5);
    body.sb(rect.xMin, nbits);
    body.sb(rect.xMax, nbits);
    body.sb(rect.yMin, nbits);
    body.sb(rect.yMax, nbits);
    body.u16(rate);
    body.u16(count);
    return body.data();
}

// A movie with enough in it that its compressed form is longer than the 512 bytes read.
swf::SwfWriter BusyMovie(double width, double height, double fps) {
    swf::SwfWriter movie(width, height, fps);
    movie.setBackground(swf::Rgb(0x336699));
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(0, 500);
    for (int i = 0; i < 60; ++i) {
        swf::ShapeBuilder shape;
        shape.fill0(shape.addFill(swf::FillStyle::solid(swf::Rgb(random() & 0xFFFFFF))));
        shape.polygon({{coordinate(random), coordinate(random)},
                       {coordinate(random), coordinate(random)},
                       {coordinate(random), coordinate(random)}});
        movie.place(static_cast<uint16_t>(i + 1), movie.defineShape(shape));
        movie.showFrame();
    }
    return movie;
}

void ExpectHeader(const SwfHeaderInfo& info, const char* signature, uint32_t length, int width,
                  int height, float rate, uint16_t count) {
    EXPECT_EQ(std::string(info.signature, 3), signature);
    EXPECT_EQ(info.fileLength, length);
    EXPECT_EQ(info.xMin, 0);
    EXPECT_EQ(info.yMin, 0);
    EXPECT_EQ(info.xMax / 20, width);
    EXPECT_EQ(info.yMax / 20, height);
    EXPECT_FLOAT_EQ(info.frameRate, rate);
    EXPECT_EQ(info.frameCount, count);
}

TEST(SwfHeaderReader, ReadsStoredZlibAndLzmaMoviesAlike) {
    const swf::SwfWriter movie = BusyMovie(550, 400, 12);
    const std::vector<uint8_t> stored = movie.finish(Compression::None);
    ASSERT_GT(stored.size(), 512U);

    auto result = ReadBytes(stored);
    ASSERT_TRUE(result.ok);
    ExpectHeader(result.info, "FWS", static_cast<uint32_t>(stored.size()), 550, 400, 12.0F, 60);
    EXPECT_EQ(result.info.version, 10);

    // Compressed bodies longer than what is read: the partial stream must still unpack.
    for (auto [compression, signature, version] :
         {std::tuple{Compression::Zlib, "CWS", 10}, std::tuple{Compression::Lzma, "ZWS", 13}}) {
        const std::vector<uint8_t> packed = movie.finish(compression);
        SCOPED_TRACE(signature);
        ASSERT_GT(packed.size(), 512U);
        result = ReadBytes(packed);
        ASSERT_TRUE(result.ok);
        ExpectHeader(result.info, signature, static_cast<uint32_t>(stored.size()), 550, 400, 12.0F,
                     60);
        EXPECT_EQ(result.info.version, version);
    }
}

TEST(SwfHeaderReader, FrameRateIsEightDotEightFixedPoint) {
    struct Case {
        uint16_t field;
        float rate;
    };
    for (const Case c : {Case{0x0C00, 12.0F}, Case{0x1E00, 30.0F}, Case{0x1DF6, 29.9609375F},
                         Case{0x0080, 0.5F}, Case{0xFFFF, 255.99609375F}}) {
        SCOPED_TRACE(c.field);
        const auto bytes =
            StoredMovie(HeaderBody(swf::Rect::pixels(0, 0, 550, 400), 15, c.field, 65535), 1000);
        CSwfHeaderReader reader;
        ASSERT_TRUE(reader.ParseHeader(bytes.data(), static_cast<int>(bytes.size())));
        EXPECT_FLOAT_EQ(reader.Info().frameRate, c.rate);
        EXPECT_EQ(reader.Info().frameCount, 65535); // unsigned
        EXPECT_EQ(reader.Info().xMax, 11000);
        EXPECT_EQ(reader.Info().yMax, 8000);
    }
    // The writer's rounding: 29.97 fps becomes 0x1DF8.
    swf::SwfWriter ntsc(320, 240, 29.97);
    ntsc.showFrame();
    const auto result = ReadBytes(ntsc.finish());
    EXPECT_FLOAT_EQ(result.info.frameRate, 29.96875F);
}

TEST(SwfHeaderReader, RectangleFieldsAreSignedAtAnyWidth) {
    struct Case {
        swf::Rect rect;
        int nbits;
    };
    const Case cases[] = {
        {{-200, 11000, -1, 8000}, 15},
        {{-1073741824, 1073741823, -5, 0}, 31}, // the widest fields, both extremes
        {{0, 0, 0, 0}, 0},                      // no bits at all
        {{-1, -1, -1, -1}, 1},                  // a single set bit is -1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nbits);
        const auto bytes = StoredMovie(HeaderBody(c.rect, c.nbits, 0x1800, 7), 200);
        CSwfHeaderReader reader;
        ASSERT_TRUE(reader.ParseHeader(bytes.data(), static_cast<int>(bytes.size())));
        EXPECT_EQ(reader.Info().xMin, c.rect.xMin);
        EXPECT_EQ(reader.Info().xMax, c.rect.xMax);
        EXPECT_EQ(reader.Info().yMin, c.rect.yMin);
        EXPECT_EQ(reader.Info().yMax, c.rect.yMax);
        // Rate and count sit after the byte-aligned rectangle, whatever its width.
        EXPECT_FLOAT_EQ(reader.Info().frameRate, 24.0F);
        EXPECT_EQ(reader.Info().frameCount, 7);
    }
}

TEST(SwfHeaderReader, FilesOfTwentyOneBytesOrLessAndUnreadablePathsGiveFalse) {
    const auto body = HeaderBody(swf::Rect::pixels(0, 0, 100, 50), 12, 0x0C00, 3);
    std::vector<uint8_t> bytes = StoredMovie(body, 22); // 19 bytes, padded below
    bytes.resize(22, 0);
    auto result = ReadBytes(bytes);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.info.xMax, 2000);
    EXPECT_EQ(result.info.frameCount, 3);

    bytes.resize(21);
    EXPECT_FALSE(ReadBytes(bytes).ok);
    EXPECT_FALSE(ReadBytes({}).ok);

    CSwfHeaderReader reader;
    SwfHeaderInfo info{};
    EXPECT_FALSE(reader.ReadHeader(nullptr, info));
    EXPECT_FALSE(reader.ReadHeader("", info));
    EXPECT_FALSE(reader.ReadHeader("/nonexistent/folder/movie.swf", info));
    test::TempDir dir("header folder");
    EXPECT_FALSE(reader.ReadHeader(dir.str().c_str(), info)); // a folder, not a file
    EXPECT_FALSE(reader.ParseHeader(bytes.data(), 7));
    EXPECT_FALSE(reader.ParseHeader(nullptr, 100));
}

TEST(SwfHeaderReader, DamagedCompressedBodiesGiveTrueWithZeros) {
    swf::SwfWriter movie(640, 480, 25);
    movie.showFrame();
    for (auto [compression, damageAt] :
         {std::pair{Compression::Zlib, 8}, std::pair{Compression::Lzma, 17}}) {
        std::vector<uint8_t> bytes = movie.finish(compression);
        SCOPED_TRACE(bytes[0]);
        // Overwrite the stream from its start (zlib's header, LZMA's first bytes).
        for (size_t i = static_cast<size_t>(damageAt); i < bytes.size(); ++i)
            bytes[i] = 0xFF;
        CSwfHeaderReader reader;
        EXPECT_FALSE(reader.ParseHeader(bytes.data(), static_cast<int>(bytes.size())));

        const auto result = ReadBytes(bytes);
        ASSERT_TRUE(result.ok);
        EXPECT_EQ(result.info.signature[0], static_cast<char>(bytes[0]));
        EXPECT_EQ(result.info.fileLength, movie.finish().size());
        EXPECT_EQ(result.info.xMin, 0);
        EXPECT_EQ(result.info.xMax, 0);
        EXPECT_EQ(result.info.yMax, 0);
        EXPECT_EQ(result.info.frameRate, 0.0F);
        EXPECT_EQ(result.info.frameCount, 0);
    }
    // LZMA properties that cannot be decoded (lc + lp + pb combination out of range).
    std::vector<uint8_t> bytes = movie.finish(Compression::Lzma);
    bytes[12] = 0xFF;
    CSwfHeaderReader reader;
    EXPECT_FALSE(reader.ParseHeader(bytes.data(), static_cast<int>(bytes.size())));
    EXPECT_EQ(reader.Info().xMax, 0);
}

TEST(SwfHeaderReader, LzmaDictionarySizeFromTheFileIsNotAllocated) {
    swf::SwfWriter movie(320, 200, 15);
    movie.showFrame();
    std::vector<uint8_t> bytes = movie.finish(Compression::Lzma);
    // A 4 GiB dictionary in the properties: the header still decodes, from a small one.
    bytes[13] = bytes[14] = bytes[15] = bytes[16] = 0xFF;
    const auto result = ReadBytes(bytes);
    ASSERT_TRUE(result.ok);
    ExpectHeader(result.info, "ZWS", static_cast<uint32_t>(movie.finish().size()), 320, 200, 15.0F,
                 1);
}

TEST(SwfHeaderReader, TruncatedCompressedMovieGivesWhatWasUnpacked) {
    // 22 bytes of a zlib movie: the stream breaks off, but what it held is a header.
    swf::SwfWriter movie(550, 400, 12);
    movie.showFrame();
    std::vector<uint8_t> bytes = movie.finish(Compression::Zlib);
    bytes.resize(22);
    const auto result = ReadBytes(bytes);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(std::string(result.info.signature, 3), "CWS");
    // 14 bytes of deflate data at best cover part of the header; whatever came out is the
    // start of the real one, never bytes of the compressed stream.
    EXPECT_TRUE(result.info.xMax == 0 || result.info.xMax == 11000);
}

TEST(SwfHeaderReader, StoredBodyStopsAtTheDeclaredLength) {
    const auto body = HeaderBody(swf::Rect::pixels(0, 0, 550, 400), 15, 0x0C00, 10);
    ASSERT_EQ(body.size(), 13U); // 65 bits of rectangle in 9 bytes, then 4

    // The declared length cuts the body after 4 bytes: the rest reads as zeros.
    auto bytes = StoredMovie(body, 12);
    bytes.resize(40, 0xAB); // bytes past the end that must not be taken
    CSwfHeaderReader reader;
    ASSERT_TRUE(reader.ParseHeader(bytes.data(), static_cast<int>(bytes.size())));
    std::vector<uint8_t> kept(13, 0);
    std::copy_n(body.begin(), 4, kept.begin());
    const auto expected = StoredMovie(kept, 12);
    CSwfHeaderReader reference;
    ASSERT_TRUE(reference.ParseHeader(expected.data(), static_cast<int>(expected.size())));
    EXPECT_EQ(reader.Info().xMax, reference.Info().xMax);
    EXPECT_EQ(reader.Info().yMax, 0);
    EXPECT_EQ(reader.Info().frameRate, 0.0F);
    EXPECT_EQ(reader.Info().frameCount, 0);

    // A declared length below the 8 header bytes copies nothing (never a negative count).
    for (uint32_t declared : {0U, 7U, 8U}) {
        bytes = StoredMovie(body, declared);
        ASSERT_TRUE(reader.ParseHeader(bytes.data(), static_cast<int>(bytes.size())));
        EXPECT_EQ(reader.Info().fileLength, declared);
        EXPECT_EQ(reader.Info().xMax, 0);
        EXPECT_EQ(reader.Info().frameCount, 0);
    }

    // A declared length far beyond the file: the bytes that exist are used.
    bytes = StoredMovie(body, 0xFFFFFFFFU);
    ASSERT_TRUE(reader.ParseHeader(bytes.data(), static_cast<int>(bytes.size())));
    EXPECT_EQ(reader.Info().xMax, 11000);
    EXPECT_EQ(reader.Info().frameCount, 10);
}

TEST(SwfHeaderReader, ReaderCanBeUsedForASecondFile) {
    swf::SwfWriter big(800, 600, 30);
    big.showFrame();
    swf::SwfWriter small(100, 100, 8);
    small.showFrame();
    std::vector<uint8_t> damaged = small.finish(Compression::Zlib);
    damaged.resize(30);
    std::fill(damaged.begin() + 8, damaged.end(), 0);

    CSwfHeaderReader reader;
    const auto first = big.finish();
    ASSERT_TRUE(reader.ParseHeader(first.data(), static_cast<int>(first.size())));
    EXPECT_EQ(reader.Info().xMax, 16000);
    EXPECT_FALSE(reader.ParseHeader(damaged.data(), static_cast<int>(damaged.size())));
    EXPECT_EQ(reader.Info().xMax, 0); // nothing left over from the first movie
    EXPECT_EQ(reader.Info().frameRate, 0.0F);
}

} // namespace
} // namespace kinovex
