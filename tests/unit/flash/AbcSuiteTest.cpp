// Every ActionScript 3 block of the AS3 conformance movies (made by real compilers, a few of them
// broken by hand) reads, and its method bodies verify, except in the movies where the reference
// player reported a VerifyError. Skipped when the suite is not beside the repository.

#include "engine/abc/AbcReader.h"
#include "engine/abc/Verifier.h"
#include "engine/definitions/Movie.h"
#include "engine/swf/BitReader.h"
#include "engine/swf/SwfFile.h"
#include "engine/swf/Tags.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace kinovex::flash {
namespace {

namespace fs = std::filesystem;

fs::path as3Suite() {
    const char* dir = std::getenv("KINOVEX_CONFORMANCE_DIR");
    const fs::path base = dir != nullptr && *dir != '\0'
                              ? fs::path(dir)
                              : fs::path(KINOVEX_SOURCE_DIR) / ".." / "shared" / "conformance";
    return base / "as3-traces";
}

std::vector<std::uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Tally {
    std::size_t movies = 0;
    std::size_t blocks = 0;
    std::size_t bodies = 0;
    std::size_t instructions = 0;
    std::size_t bytes = 0;
    std::size_t refusedBodies = 0;
    std::vector<std::string> refusals; // where the reference player verified everything
};

// The reference player's output mentions the error it threw for code it refused.
bool expectsVerifyErrors(const fs::path& movie) {
    std::ifstream in(movie.parent_path() / "output.txt");
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return text.find("VerifyError") != std::string::npos;
}

// Reads and verifies the blocks of one movie's main timeline.
void checkMovie(const fs::path& path, Tally& tally) {
    SwfFile swf;
    Log log;
    if (!openSwf(readFile(path), swf, log).ok) {
        tally.refusals.push_back(path.string() + ": not a movie");
        return;
    }
    const std::span<const std::uint8_t> body =
        std::span<const std::uint8_t>(swf.data).subspan(swf.firstTagOffset);
    TagReader tags(body, swf.firstTagOffset, log);
    Tag tag;
    while (tags.next(tag)) {
        if (tag.code != TagDoAbc && tag.code != TagDoAbc2) {
            continue;
        }
        BitReader r(tag.body);
        if (tag.code == TagDoAbc2) {
            r.u32();
            r.string();
        }
        const auto code = r.rest();
        abc::AbcFile file;
        ++tally.blocks;
        tally.bytes += code.size();
        if (auto error = abc::readAbc({code.begin(), code.end()}, file)) {
            tally.refusals.push_back(path.string() + ": " + error->text());
            continue;
        }
        const abc::VerifyReport report = abc::verifyFile(file);
        tally.bodies += report.bodies;
        tally.instructions += report.instructions;
        tally.refusedBodies += report.refused.size();
        if (!report.refused.empty() && !expectsVerifyErrors(path)) {
            tally.refusals.push_back(path.string() + ": " + report.refused.front().text());
        }
    }
    ++tally.movies;
}

TEST(AbcSuite, EveryBlockOfTheConformanceMoviesReadsAndVerifies) {
    const fs::path suite = as3Suite();
    if (!fs::is_directory(suite)) {
        GTEST_SKIP() << "no suite at " << suite;
    }
    std::vector<fs::path> movies;
    for (const auto& entry : fs::directory_iterator(suite)) {
        if (fs::is_regular_file(entry.path() / "test.swf")) {
            movies.push_back(entry.path() / "test.swf");
        }
    }
    std::sort(movies.begin(), movies.end());
    Tally tally;
    const auto start = std::chrono::steady_clock::now();
    for (const fs::path& movie : movies) {
        checkMovie(movie, tally);
    }
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    std::cout << tally.movies << " movies, " << tally.blocks << " blocks (" << tally.bytes
              << " bytes), " << tally.bodies << " method bodies, " << tally.instructions
              << " instructions verified, " << tally.refusedBodies
              << " bodies refused in movies expecting it, " << tally.refusals.size()
              << " refused elsewhere, in " << elapsed.count() << " s\n";
    for (const std::string& refusal : tally.refusals) {
        ADD_FAILURE() << refusal;
    }
    EXPECT_GT(tally.blocks, 0u);
}

// The movie keeps every block the suite's movies hold, and says nothing about them unless the
// reference player refused some of their code.
TEST(AbcSuite, MoviesKeepAllTheirBlocks) {
    const fs::path suite = as3Suite();
    if (!fs::is_directory(suite)) {
        GTEST_SKIP() << "no suite at " << suite;
    }
    std::size_t blocks = 0;
    for (const auto& entry : fs::directory_iterator(suite)) {
        const fs::path path = entry.path() / "test.swf";
        if (!fs::is_regular_file(path)) {
            continue;
        }
        Movie movie;
        Log log;
        ASSERT_TRUE(movie.load(readFile(path), log).ok) << path;
        EXPECT_TRUE(movie.isActionScript3()) << path;
        if (expectsVerifyErrors(path)) {
            blocks += movie.abcBlocks().size();
            continue;
        }
        for (const Diagnostic& d : log.entries()) {
            EXPECT_NE(d.tagCode, TagDoAbc) << path << ": " << d.text();
            EXPECT_NE(d.tagCode, TagDoAbc2) << path << ": " << d.text();
        }
        blocks += movie.abcBlocks().size();
    }
    EXPECT_GT(blocks, 0u);
}

} // namespace
} // namespace kinovex::flash
