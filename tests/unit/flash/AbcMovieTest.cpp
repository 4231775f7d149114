// A movie's ActionScript 3 tags: the blocks are kept in order with their frames, a damaged block
// is refused with one log line and the rest of the movie stays, and SymbolClass binds
// characters to class names.

#include "AbcBuilder.h"
#include "SwfWriter.h"
#include "engine/definitions/Movie.h"

#include <gtest/gtest.h>

namespace kinovex::flash {
namespace {

constexpr std::uint16_t kTagFileAttributes = 69;
constexpr std::uint16_t kTagDoAbc = 72;
constexpr std::uint16_t kTagSymbolClass = 76;
constexpr std::uint16_t kTagDoAbc2 = 82;

// A block whose one script returns at once; `code` replaces its code.
std::vector<std::uint8_t> abcBlock(std::vector<std::uint8_t> code = {0x47}) {
    test::AbcBuilder abc;
    const auto method = abc.addMethod({});
    abc.addScript(method);
    abc.addBody({.method = method, .code = std::move(code)});
    return abc.bytes();
}

std::vector<std::uint8_t> doAbc2(std::uint32_t flags, const std::string& name,
                                 const std::vector<std::uint8_t>& abc) {
    test::AbcBytes body;
    body.u16(static_cast<std::uint16_t>(flags & 0xFFFF))
        .u16(static_cast<std::uint16_t>(flags >> 16));
    body.raw(std::vector<std::uint8_t>(name.begin(), name.end())).u8(0).raw(abc);
    return body.data();
}

std::vector<std::uint8_t>
symbolClass(const std::vector<std::pair<std::uint16_t, std::string>>& pairs) {
    test::AbcBytes body;
    body.u16(static_cast<std::uint16_t>(pairs.size()));
    for (const auto& [id, name] : pairs) {
        body.u16(id).raw(std::vector<std::uint8_t>(name.begin(), name.end())).u8(0);
    }
    return body.data();
}

Movie loadMovie(const swf::SwfWriter& writer, Log& log) {
    Movie movie;
    const auto opened = movie.load(writer.finish(), log);
    EXPECT_TRUE(opened.ok) << opened.error;
    return movie;
}

TEST(AbcMovie, KeepsBlocksInOrderWithTheirFrames) {
    swf::SwfWriter writer(100, 100, 24, {.version = 10, .fileAttributes = false});
    writer.rawTag(kTagFileAttributes, {0x08, 0, 0, 0});
    writer.rawTag(kTagDoAbc2, doAbc2(1, "first", abcBlock()));
    writer.showFrame();
    writer.rawTag(kTagDoAbc, {0x10, 0x00});           // cut short: left out
    writer.rawTag(kTagDoAbc, abcBlock({0x29, 0x47})); // pops from an empty stack
    writer.rawTag(kTagSymbolClass, symbolClass({{0, "Main"}, {5, "Box"}}));
    writer.showFrame();
    Log log;
    const Movie movie = loadMovie(writer, log);

    EXPECT_TRUE(movie.isActionScript3());
    ASSERT_EQ(movie.abcBlocks().size(), 2u);
    EXPECT_EQ(movie.abcBlocks()[0].frame, 0u);
    EXPECT_EQ(movie.abcBlocks()[0].name, "first");
    EXPECT_EQ(movie.abcBlocks()[0].flags, AbcBlockLazyInitialize);
    EXPECT_EQ(movie.abcBlocks()[1].frame, 1u);
    EXPECT_EQ(movie.abcBlocks()[1].name, "");
    ASSERT_NE(movie.abcBlocks()[1].file, nullptr);
    EXPECT_EQ(movie.abcBlocks()[1].file->bodies.size(), 1u);
    EXPECT_TRUE(movie.abcBlocks()[0].refusedBodies.empty());
    ASSERT_EQ(movie.abcBlocks()[1].refusedBodies.size(), 1u);
    EXPECT_EQ(movie.abcBlocks()[1].refusedBodies[0].offset, 0u);
    ASSERT_EQ(movie.symbolClasses().size(), 2u);
    EXPECT_EQ(movie.symbolClasses()[1].characterId, 5);
    EXPECT_EQ(movie.symbolClasses()[1].className, "Box");

    // One line for the block left out, one for the body refused.
    ASSERT_EQ(log.count(), 2u);
    EXPECT_EQ(log.entries()[0].tagCode, kTagDoAbc);
    EXPECT_NE(log.entries()[0].message.find("ActionScript 3 block refused: at byte"),
              std::string::npos)
        << log.entries()[0].text();
    EXPECT_NE(log.entries()[1].message.find("the verifier refused 1 of 1 method bodies, the "
                                            "first: method 0 (body 0) at code offset 0: pop"),
              std::string::npos)
        << log.entries()[1].text();
    EXPECT_EQ(movie.timeline().frameCount, 2u);
}

TEST(AbcMovie, RefusesDamagedTagsWithOneLineEach) {
    struct Case {
        const char* name;
        std::uint16_t code;
        std::vector<std::uint8_t> body;
        const char* message;
    };
    std::vector<std::uint8_t> cut = abcBlock();
    cut.resize(cut.size() - 3);
    const Case cases[] = {
        {"DoABC with a method that cannot run", kTagDoAbc, abcBlock({0x02}),
         "the verifier refused 1 of 1 method bodies"},
        {"DoABC2 without its name's end",
         kTagDoAbc2,
         {1, 0, 0, 0, 'a', 'b'},
         "ActionScript 3 block refused: its header is cut short"},
        {"DoABC2 with bytecode cut short", kTagDoAbc2, doAbc2(0, "named", cut),
         "ActionScript 3 block \"named\" refused: at byte"},
        {"DoABC with no bytecode", kTagDoAbc, {}, "ActionScript 3 block refused: at byte 0"},
        {"SymbolClass cut short", kTagSymbolClass, {2, 0, 1, 0, 'A', 0, 2}, "malformed"},
    };
    for (const Case& c : cases) {
        swf::SwfWriter writer(100, 100, 24);
        writer.rawTag(c.code, c.body);
        writer.showFrame();
        Log log;
        const Movie movie = loadMovie(writer, log);
        ASSERT_EQ(log.count(), 1u) << c.name;
        EXPECT_EQ(log.entries()[0].tagCode, c.code) << c.name;
        EXPECT_NE(log.entries()[0].message.find(c.message), std::string::npos)
            << c.name << ": " << log.entries()[0].text();
    }
}

TEST(AbcMovie, ReadsTheActionScript3BitOfFileAttributes) {
    const std::pair<std::uint8_t, bool> cases[] = {
        {0x08, true}, {0x19, true}, {0x00, false}, {0x11, false}, {0xF7, false}};
    for (const auto& [flags, expected] : cases) {
        swf::SwfWriter writer(100, 100, 24, {.version = 10, .fileAttributes = false});
        writer.rawTag(kTagFileAttributes, {flags, 0, 0, 0});
        writer.showFrame();
        Log log;
        EXPECT_EQ(loadMovie(writer, log).isActionScript3(), expected) << int{flags};
    }
}

} // namespace
} // namespace kinovex::flash
