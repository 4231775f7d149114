#include "core/movie/CSwfHeaderReader.h"

#include "SwfWriter.h"
#include "TempDir.h"
#include "engine/swf/SwfHeader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <span>
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

// `stored` with its body deflated, each byte in a deflate block of its own when `blockPerByte`.
// `ends`, when given, receives the stream's length after each byte of the body.
std::vector<uint8_t> ZlibMovie(const std::vector<uint8_t>& stored, bool blockPerByte,
                               std::vector<size_t>* ends = nullptr) {
    std::vector<uint8_t> file(stored.begin(), stored.begin() + 8);
    file[0] = 'C';
    z_stream zs{};
    EXPECT_EQ(deflateInit(&zs, Z_BEST_COMPRESSION), Z_OK);
    const size_t step = blockPerByte ? 1 : stored.size();
    for (size_t at = 8; at < stored.size(); at += step) {
        const size_t n = std::min(step, stored.size() - at);
        zs.next_in = const_cast<Bytef*>(stored.data() + at);
        zs.avail_in = static_cast<uInt>(n);
        const int flush = at + n == stored.size() ? Z_FINISH : Z_FULL_FLUSH;
        uint8_t out[256];
        do {
            zs.next_out = out;
            zs.avail_out = sizeof out;
            deflate(&zs, flush);
            file.insert(file.end(), out, out + (sizeof out - zs.avail_out));
        } while (zs.avail_out == 0);
        if (ends != nullptr)
            ends->push_back(file.size());
    }
    deflateEnd(&zs);
    return file;
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

// The engine's header reading and the header reader on the same first bytes: the engine takes
// only a whole header; the reader gives what the body holds, with zeros for the rest.
TEST(SwfHeaderReader, AgreesWithTheEngineOnEveryKindOfHeader) {
    using flash::SwfHeaderError;
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;
        SwfHeaderError engine;
        bool parsed; // ParseHeader's answer
        bool exact;  // the reader's figures are checked (not for a cut LZMA stream)
        swf::Rect rect;
        uint16_t rate256;
        uint16_t count;
    };
    const swf::Rect screen = swf::Rect::pixels(0, 0, 550, 400);
    const swf::Rect widest{-1073741824, 1073741823, -5, 0};
    const auto stored = StoredMovie(HeaderBody(screen, 15, 0x0C00, 10), 1000);
    std::vector<size_t> ends;
    const auto perByte = ZlibMovie(stored, true, &ends);
    swf::SwfWriter movie(550, 400, 12);
    movie.showFrame();
    const auto lzma = movie.finish(Compression::Lzma);
    auto damaged = ZlibMovie(stored, false);
    damaged[8] = 0xFF; // zlib's header
    auto other = stored;
    other[0] = 'G';
    const std::vector<uint8_t> cutZlib(perByte.begin(), perByte.begin() + ends[3]);
    const std::vector<uint8_t> cutLzma(lzma.begin(), lzma.begin() + 23);
    // Four bytes of body come out of cutZlib: nbits, xMin and the top of xMax (11000 ends in
    // zeros).
    const swf::Rect fourBytes{0, 11000, 0, 0};
    const swf::Rect none{};
    const Row rows[] = {
        {"stored", stored, SwfHeaderError::None, true, true, screen, 0x0C00, 10},
        {"zlib, a deflate block per byte", perByte, SwfHeaderError::None, true, true, screen,
         0x0C00, 10},
        {"zlib, 31-bit fields",
         ZlibMovie(StoredMovie(HeaderBody(widest, 31, 0x1800, 7), 200), false),
         SwfHeaderError::None, true, true, widest, 0x1800, 7},
        {"LZMA", lzma, SwfHeaderError::None, true, true, screen, 0x0C00, 1},
        {"zlib cut inside the header", cutZlib, SwfHeaderError::TooShort, true, true, fourBytes, 0,
         0},
        {"LZMA cut inside the header", cutLzma, SwfHeaderError::TooShort, true, false, none, 0, 0},
        {"zlib stream damaged", damaged, SwfHeaderError::Damaged, false, true, none, 0, 0},
        // The reader does not judge the signature.
        {"not a movie signature", other, SwfHeaderError::NotAMovie, true, true, screen, 0x0C00, 10},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const flash::SwfHeader header = flash::readSwfHeader(row.bytes);
        EXPECT_EQ(header.error, row.engine);
        const bool whole = row.engine == SwfHeaderError::None;
        EXPECT_EQ(header.frame.frameSize,
                  whole ? (flash::Rect{row.rect.xMin, row.rect.xMax, row.rect.yMin, row.rect.yMax})
                        : flash::Rect{});
        EXPECT_EQ(header.frame.frameRate256, whole ? row.rate256 : 0);
        EXPECT_EQ(header.frame.frameCount, whole ? row.count : 0);

        CSwfHeaderReader reader;
        EXPECT_EQ(reader.ParseHeader(row.bytes.data(), static_cast<int>(row.bytes.size())),
                  row.parsed);
        EXPECT_EQ(std::string(reader.Info().signature, 3),
                  std::string(row.bytes.begin(), row.bytes.begin() + 3));
        if (!row.exact)
            continue;
        EXPECT_EQ(reader.Info().xMin, row.rect.xMin);
        EXPECT_EQ(reader.Info().xMax, row.rect.xMax);
        EXPECT_EQ(reader.Info().yMin, row.rect.yMin);
        EXPECT_EQ(reader.Info().yMax, row.rect.yMax);
        EXPECT_FLOAT_EQ(reader.Info().frameRate, row.rate256 / 256.0F);
        EXPECT_EQ(reader.Info().frameCount, row.count);
    }
}

// Every prefix that ends inside the header fails as too short, though the bytes after it are
// there in memory: the engine reads no further than it is given, and needs no more than the
// header (all of a stored one, part of a compressed stream).
TEST(SwfHeaderReader, EngineNeedsTheWholeHeaderAndReadsNoFurther) {
    swf::SwfWriter movie(550, 400, 12);
    movie.showFrame();
    for (const Compression compression :
         {Compression::None, Compression::Zlib, Compression::Lzma}) {
        const std::vector<uint8_t> file = movie.finish(compression);
        SCOPED_TRACE(file[0]);
        size_t shortest = 0;
        for (size_t cut = 0; cut <= file.size() && shortest == 0; ++cut) {
            const auto header = flash::readSwfHeader(std::span(file.data(), cut));
            if (header.error == flash::SwfHeaderError::None)
                shortest = cut;
            else
                EXPECT_EQ(header.error, flash::SwfHeaderError::TooShort) << cut;
        }
        ASSERT_GT(shortest, 0U);
        EXPECT_LT(shortest, file.size());
        if (compression == Compression::None) {
            EXPECT_EQ(shortest, 21U); // 8 + 9 bytes of rectangle + rate and count
        }
        for (const size_t length : {shortest, file.size()}) {
            const auto header = flash::readSwfHeader(std::span(file.data(), length));
            EXPECT_EQ(header.frame.frameSize, (flash::Rect{0, 11000, 0, 8000}));
            EXPECT_EQ(header.frame.frameRate256, 0x0C00);
            EXPECT_EQ(header.frame.frameCount, 1);
        }
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
