#include "tools/encoder/EncoderLocator.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kinovex {
namespace {

namespace fs = std::filesystem;

class EncoderLocator : public ::testing::Test {
protected:
    // An executable file at `folder`/`name`, creating the folder.
    std::string Program(const std::string& folder, const std::string& name = "ffmpeg") {
        fs::create_directories(m_dir / folder);
        const auto path = m_dir / folder / name;
        test::WriteFile(path, "#!/bin/sh\nexit 0\n");
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    }
    std::string Folder(const std::string& folder) const { return (m_dir / folder).string(); }

    test::TempDir m_dir{"encoder locator"};
};

TEST_F(EncoderLocator, TakesTheFirstOnPathThatIsNotTheFrontEndUnderAnyName) {
    const std::string self = Program("program");
    const std::string real = Program("real");
    Program("later");
    // The front-end again, through a link and through a hard link in folders of their own.
    fs::create_directories(m_dir / "linked");
    fs::create_symlink(self, m_dir / "linked" / "ffmpeg");
    fs::create_directories(m_dir / "hard");
    fs::create_hard_link(self, m_dir / "hard" / "ffmpeg");
    // Not executable, and a folder named like the encoder.
    Program("plain");
    fs::permissions(m_dir / "plain" / "ffmpeg", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(m_dir / "dir" / "ffmpeg");

    EncoderSearch search;
    search.selfPath = self;
    search.searchPath = Folder("missing") + ":" + Folder("linked") + ":" + Folder("hard") + ":" +
                        Folder("plain") + ":" + Folder("dir") + ":" + Folder("real") + ":" +
                        Folder("later");
    const auto location = FindRealEncoder(search);
    EXPECT_EQ(location.path, real);
    EXPECT_TRUE(location.error.empty());
}

TEST_F(EncoderLocator, PassesOverItsOwnFolderAndFrontEndsEarlierInTheRun) {
    // The front-end's folder holds another ffmpeg, reached through a second spelling.
    const std::string self = Program("program", "front-end");
    Program("program");
    fs::create_directory_symlink(m_dir / "program", m_dir / "alias");
    const std::string other = Program("other front-end");
    const std::string real = Program("real");

    EncoderSearch search;
    search.selfPath = self;
    search.searchPath = Folder("alias") + "/:" + Folder("program") + ":" +
                        Folder("other front-end") + ":" + Folder("real");
    search.skip = {*IdentityOf(other)};
    EXPECT_EQ(FindRealEncoder(search).path, real);

    search.skip.clear();
    EXPECT_EQ(FindRealEncoder(search).path, other);
}

TEST_F(EncoderLocator, TheOverrideWinsButMustBeARealEncoder) {
    const std::string self = Program("program");
    const std::string onPath = Program("path");
    const std::string chosen = Program("chosen one");

    EncoderSearch search;
    search.selfPath = self;
    search.searchPath = Folder("path");
    search.overridePath = chosen;
    EXPECT_EQ(FindRealEncoder(search).path, chosen);

    for (const std::string& wrong : {self, Folder("chosen one"), Folder("nothing here")}) {
        search.overridePath = wrong;
        const auto location = FindRealEncoder(search);
        EXPECT_TRUE(location.path.empty()) << wrong;
        EXPECT_NE(location.error.find("KINOVEX_FFMPEG"), std::string::npos) << location.error;
    }
}

TEST_F(EncoderLocator, ReportsWhenThereIsNothingElse) {
    EncoderSearch search;
    search.selfPath = Program("program");
    search.searchPath = Folder("program") + ":" + Folder("empty");
    const auto location = FindRealEncoder(search);
    EXPECT_TRUE(location.path.empty());
    EXPECT_FALSE(location.error.empty());
}

TEST(EncoderIdentityList, SurvivesTheEnvironmentAndIgnoresGarbage) {
    const std::vector<FileIdentity> identities = {{1, 2}, {64769, 1234567890123ULL}};
    EXPECT_EQ(ParseIdentityList(FormatIdentityList(identities)), identities);
    EXPECT_EQ(ParseIdentityList("x,3:4,5,6:7z,,8:9"), (std::vector<FileIdentity>{{3, 4}, {8, 9}}));
    EXPECT_TRUE(ParseIdentityList("").empty());
}

} // namespace
} // namespace kinovex
