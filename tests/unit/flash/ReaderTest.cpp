// Reading movie data that is damaged, truncated or lies about its lengths.

#include "FlashTestUtil.h"
#include "engine/definitions/Movie.h"
#include "engine/swf/BitReader.h"
#include "engine/swf/SwfFile.h"
#include "engine/swf/Tags.h"

#include <gtest/gtest.h>

namespace kinovex::flash::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BitReader, BitFieldsUpTo32BitsAndSignExtension) {
    const Bytes data = {0x80, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff, 0xa0};
    BitReader r(data);
    EXPECT_EQ(r.sb(31), -(1 << 30)); // top bit of a 31-bit field is its sign
    r.align();
    EXPECT_EQ(r.position(), 4u);
    EXPECT_EQ(r.ub(32), 0xffffffffu);
    EXPECT_EQ(r.sb(3), -3); // 101
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.ub(33), 0u); // wider than any field the format has
    EXPECT_TRUE(r.failed());
}

TEST(BitReader, ByteReadsStartOnTheNextWholeByte) {
    const Bytes data = {0xe0, 0x34, 0x12};
    BitReader r(data);
    EXPECT_EQ(r.ub(3), 7u);
    EXPECT_EQ(r.u16(), 0x1234u);
    EXPECT_TRUE(r.ok());
}

TEST(BitReader, AReadPastTheEndFailsForGood) {
    const Bytes data = {0x01, 0x02, 0x03};
    BitReader r(data);
    EXPECT_EQ(r.u32(), 0u);
    EXPECT_TRUE(r.failed());
    EXPECT_EQ(r.u8(), 0u); // later reads fail too, though a byte is there
    EXPECT_EQ(r.remaining(), 0u);
    BitReader s(data);
    s.skip(4);
    EXPECT_TRUE(s.failed());
    BitReader t(data);
    EXPECT_TRUE(t.bytes(4).empty());
    EXPECT_TRUE(t.failed());
}

TEST(BitReader, StringsNeedTheirTerminatorAndEncodedU32StopsAtFiveBytes) {
    const Bytes text = {'a', 'b', 0, 'c'};
    BitReader r(text);
    EXPECT_EQ(r.string(), "ab");
    EXPECT_EQ(r.string(), "");
    EXPECT_TRUE(r.failed());

    const Bytes big = {0xff, 0xff, 0xff, 0xff, 0x0f, 0x55};
    BitReader e(big);
    EXPECT_EQ(e.encodedU32(), 0xffffffffu);
    EXPECT_EQ(e.u8(), 0x55u);
    const Bytes endless = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x01};
    BitReader f(endless);
    f.encodedU32();
    EXPECT_EQ(f.position(), 5u);
}

TEST(BitReader, RecordsMatchWhatTheWriterWrote) {
    swf::BitWriter w;
    swf::Matrix m = swf::Matrix::transform(1.5, -0.25, 0.5, -12.35, 400);
    w.matrix(m);
    swf::ColorTransform cx = swf::ColorTransform::tint(0.5, 2.0, -1.0, 0.25);
    cx.rAdd = -255;
    cx.aAdd = 100;
    w.colorTransform(cx, true);
    w.rect(swf::Rect{-1, 1 << 29, 5, -7});
    const Bytes data = w.data();
    BitReader r(data);
    const Matrix got = r.matrix();
    EXPECT_NEAR(got.a, m.a, 1e-4);
    EXPECT_NEAR(got.b, m.b, 1e-4);
    EXPECT_NEAR(got.c, m.c, 1e-4);
    EXPECT_NEAR(got.d, m.d, 1e-4);
    EXPECT_EQ(got.tx, m.tx);
    EXPECT_EQ(got.ty, m.ty);
    const ColorTransform gcx = r.cxform(true);
    EXPECT_DOUBLE_EQ(gcx.rMult, 0.5);
    EXPECT_DOUBLE_EQ(gcx.gMult, 2.0);
    EXPECT_DOUBLE_EQ(gcx.bMult, -1.0);
    EXPECT_DOUBLE_EQ(gcx.aMult, 0.25);
    EXPECT_DOUBLE_EQ(gcx.rAdd, -255);
    EXPECT_DOUBLE_EQ(gcx.aAdd, 100);
    const Rect rect = r.rect(); // needs 31-bit fields
    EXPECT_EQ(rect, (Rect{-1, 1 << 29, 5, -7}));
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.atEnd());
}

// A movie with a red square, used by the damage tests below.
Bytes redSquareMovie(swf::Compression compression = swf::Compression::None) {
    swf::SwfWriter movie(40, 40, 12);
    movie.place(1, defineRect(movie, 0, 0, 40, 40, 0xff0000));
    movie.showFrame();
    return movie.finish(compression);
}

TEST(SwfFile, EveryCompressionLoadsTheSameMovie) {
    for (const auto c : {swf::Compression::None, swf::Compression::Zlib, swf::Compression::Lzma}) {
        Player player;
        const Bytes bytes = redSquareMovie(c);
        ASSERT_TRUE(player.loadFromMemory(bytes).ok) << static_cast<int>(c);
        EXPECT_EQ(rgb(render(player).at(20, 20)), 0xff0000u);
        EXPECT_TRUE(player.diagnostics().empty());
    }
}

TEST(SwfFile, AnLzmaDictionaryLargerThanTheMovieIsNotTakenAtItsWord) {
    // The coder properties name a 4 GB dictionary; the decoder must not ask for it, and the
    // movie still decodes with one as large as the movie.
    Bytes bytes = redSquareMovie(swf::Compression::Lzma);
    ASSERT_GE(bytes.size(), 17u);
    for (std::size_t i = 13; i < 17; ++i) {
        bytes[i] = 0xff;
    }
    Player player;
    ASSERT_TRUE(player.loadFromMemory(bytes).ok);
    EXPECT_EQ(rgb(render(player).at(20, 20)), 0xff0000u);
}

TEST(SwfFile, WhatIsNotAMovieIsRefusedWithAReason) {
    const std::vector<Bytes> notMovies = {
        {},
        {'F', 'W', 'S'},
        {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0},
        {'F', 'W', 'S', 10, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0}, // 4 GB declared
        {'F', 'W', 'S', 10, 9, 0, 0, 0, 0xff},                   // header cut in the rectangle
        {'Z', 'W', 'S', 13, 100, 0, 0, 0, 1, 0},                 // LZMA header missing
    };
    for (const Bytes& b : notMovies) {
        Player player;
        const LoadResult r = player.loadFromMemory(b);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.error.empty());
        EXPECT_FALSE(player.isLoaded());
        EXPECT_EQ(player.advance(1000), 0);
    }
}

TEST(SwfFile, TruncatedMoviesLoadWhatIsThereAtEveryCut) {
    for (const auto c : {swf::Compression::None, swf::Compression::Zlib, swf::Compression::Lzma}) {
        const Bytes whole = redSquareMovie(c);
        for (std::size_t cut = 8; cut < whole.size(); ++cut) {
            Bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
            Player player;
            const LoadResult r = player.loadFromMemory(part);
            if (r.ok) {
                // Either the loss is reported or nothing was lost (a compressed stream can
                // lose its checksum and keep every byte of the movie).
                player.advance(500);
                const bool intact = rgb(render(player, 8, 8).at(4, 4)) == 0xff0000u;
                EXPECT_TRUE(intact || !player.diagnostics().empty()) << "cut at " << cut;
            }
        }
    }
}

TEST(SwfFile, TheDeclaredLengthBoundsTheMovieBothWays) {
    Bytes bytes = redSquareMovie();
    // Claiming more than there is: loads, notes it, allocates nothing for the claim.
    Bytes longer = bytes;
    longer[4] = 0xff;
    longer[5] = 0xff;
    longer[6] = 0xff;
    longer[7] = 0x00;
    Log log;
    SwfFile file;
    ASSERT_TRUE(openSwf(longer, file, log).ok);
    EXPECT_TRUE(file.truncated);
    EXPECT_EQ(file.data.size(), bytes.size());
    EXPECT_EQ(log.count(), 1u);
    // Claiming less: what lies past the claim is not read.
    Bytes shorter = bytes;
    shorter.insert(shorter.end(), 100, 0xee);
    ASSERT_TRUE(openSwf(shorter, file, log).ok);
    EXPECT_EQ(file.data.size(), bytes.size());
}

TEST(SwfFile, DamagedCompressedBodyKeepsWhatInflated) {
    Bytes bytes = redSquareMovie(swf::Compression::Zlib);
    for (std::size_t i = bytes.size() - 8; i < bytes.size(); ++i) {
        bytes[i] ^= 0x5a;
    }
    Player player;
    const LoadResult r = player.loadFromMemory(bytes);
    if (r.ok) {
        render(player, 8, 8);
        EXPECT_FALSE(player.diagnostics().empty());
    }
}

TEST(Tags, ATagLongerThanTheDataIsReportedWithItsCodeAndOffset) {
    Bytes data;
    swf::AppendTag(data, 9, {1, 2, 3});
    const std::size_t badAt = data.size();
    data.push_back(0xbf); // long header, code 2, length 0xffffffff
    data.push_back(0x00);
    data.insert(data.end(), {0xff, 0xff, 0xff, 0xff});
    Log log;
    TagReader tags(data, 100, log);
    Tag tag;
    ASSERT_TRUE(tags.next(tag));
    EXPECT_EQ(tag.code, 9);
    EXPECT_EQ(tag.offset, 100u);
    EXPECT_FALSE(tags.next(tag));
    EXPECT_FALSE(tags.next(tag));
    ASSERT_EQ(log.entries().size(), 1u);
    EXPECT_EQ(log.entries()[0].tagCode, 2);
    EXPECT_EQ(log.entries()[0].offset, 100 + badAt);
}

TEST(Tags, MalformedAndUnknownTagsAreSkippedAndTheRestStillPlays) {
    swf::SwfWriter movie(40, 40, 12);
    movie.rawTag(2, {1, 0, 0});    // DefineShape cut in its bounds
    movie.rawTag(3, {0xab, 0xcd}); // no such tag
    const std::uint16_t badShape = movie.takeId();
    // A fill style of a type that does not exist.
    movie.rawTag(2, {static_cast<std::uint8_t>(badShape), 0, 0x00, 1, 0x77, 0, 0, 0});
    movie.place(1, defineRect(movie, 0, 0, 40, 40, 0x00ff00));
    movie.showFrame();
    Player player;
    std::vector<Diagnostic> seen;
    player.setLogSink([&](const Diagnostic& d) { seen.push_back(d); });
    ASSERT_TRUE(load(player, movie).ok);
    EXPECT_EQ(rgb(render(player).at(20, 20)), 0x00ff00u);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].tagCode, 2);
    EXPECT_EQ(seen[1].tagCode, 2);
    EXPECT_LT(seen[0].offset, seen[1].offset);
    EXPECT_NE(seen[1].text().find("tag 2 at offset"), std::string::npos);
}

TEST(Sprites, SelfContainingAndExplodingSpritesAreBounded) {
    swf::SwfWriter movie(40, 40, 12);
    // A sprite that places itself.
    const std::uint16_t self = movie.nextId();
    swf::Sprite loop;
    loop.place(1, self);
    loop.showFrame();
    ASSERT_EQ(movie.defineSprite(loop), self);
    // Forty levels, each placing the level below twice: 2^40 instances if nothing stopped it.
    std::uint16_t below = defineRect(movie, 0, 0, 4, 4, 0x0000ff);
    for (int level = 0; level < 40; ++level) {
        swf::Sprite s;
        s.place(1, below);
        s.place(2, below, swf::Matrix::translate(1, 0));
        s.showFrame();
        s.showFrame();
        below = movie.defineSprite(s);
    }
    movie.place(1, self);
    movie.place(2, below);
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    player.advance(1000);
    render(player, 40, 40);
    SUCCEED();
}

} // namespace
} // namespace kinovex::flash::test
