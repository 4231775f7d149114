// Where the recordings' temporary files go: the program folder's Temp while it can be written,
// else the user's cache, decided by really writing there.

#include "core/record/TempFolder.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;

// Paths starting with '/' are taken inside the test's folder, which holds a program folder
// ("program"), one whose Temp is a regular file ("fileTemp") and a regular file ("blocker");
// other values are used as they are.
struct TempCase {
    const char* name;
    const char* program;
    std::optional<std::string> cacheHome; // XDG_CACHE_HOME; nullopt: unset
    const char* home;
    const char* expected; // nullptr: no folder can be written
};

const TempCase kCases[] = {
    {"WritableProgramFolderKeepsItsTemp", "/program", "/cache", "/home", "/program/Temp"},
    {"TempThatIsAFileFallsBackToTheCache", "/fileTemp", "/cache", "/home", "/cache/kinovex/Temp"},
    {"ProgramFolderUnderAFileFallsBackToTheCache", "/blocker/program", "/cache", "/home",
     "/cache/kinovex/Temp"},
    {"UnsetCacheHomeMeansHomeDotCache", "/blocker/program", std::nullopt, "/home",
     "/home/.cache/kinovex/Temp"},
    {"EmptyCacheHomeMeansHomeDotCache", "/fileTemp", "", "/home", "/home/.cache/kinovex/Temp"},
    {"RelativeCacheHomeIsIgnored", "/fileTemp", "relative/cache", "/home",
     "/home/.cache/kinovex/Temp"},
    {"NeitherWritableIsAnError", "/blocker/program", "/blocker/cache", "/home", nullptr},
    {"NeitherWritableWithoutCacheHomeIsAnError", "/fileTemp", std::nullopt, "/blocker/home",
     nullptr},
};

class TempFolderChoiceTest : public ::testing::TestWithParam<TempCase> {
protected:
    TempFolderChoiceTest() {
        fs::create_directories(m_root / "program");
        fs::create_directories(m_root / "fileTemp");
        test::WriteFile(m_root / "fileTemp" / "Temp", "not a folder");
        test::WriteFile(m_root / "blocker", "not a folder");
    }

    std::string Resolve(const std::string& path) const {
        return !path.empty() && path[0] == '/' ? m_root.str() + path : path;
    }

    TempDir m_root{"temp folder"};
};

TEST_P(TempFolderChoiceTest, ChoosesTheFirstFolderThatCanBeWritten) {
    const TempCase& row = GetParam();
    std::optional<ScopedEnv> cache;
    if (row.cacheHome)
        cache.emplace("XDG_CACHE_HOME", Resolve(*row.cacheHome));
    else
        cache.emplace("XDG_CACHE_HOME", std::nullopt);
    ScopedEnv home("HOME", Resolve(row.home));

    const TempFolderChoice choice = ChooseTempFolder(Resolve(row.program));

    ASSERT_FALSE(choice.tried.empty());
    EXPECT_EQ(choice.tried.front(), Resolve(row.program) + "/Temp");
    if (row.expected == nullptr) {
        EXPECT_EQ(choice.error, TempFolderError::NotWritable);
        EXPECT_EQ(choice.folder, "");
        EXPECT_EQ(choice.tried.size(), 2u) << "the cache was tried too";
        return;
    }
    EXPECT_EQ(choice.error, TempFolderError::None);
    ASSERT_EQ(choice.folder, Resolve(row.expected));
    EXPECT_EQ(choice.tried.back(), choice.folder);
    ASSERT_TRUE(fs::is_directory(choice.folder));
    EXPECT_TRUE(fs::is_empty(choice.folder)) << "the probe file is removed";
    if (choice.tried.size() == 1)
        return;
    // The cache's folders are private.
    for (const fs::path& folder : {fs::path(choice.folder), fs::path(choice.folder).parent_path()})
        EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all)
            << folder;
}

INSTANTIATE_TEST_SUITE_P(Temp, TempFolderChoiceTest, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(TempFolder, AnExistingTempAndItsFilesAreKept) {
    TempDir root("temp folder");
    fs::create_directories(root / "program" / "Temp");
    test::WriteFile(root / "program" / "Temp" / "crashed.avi", "RIFF");
    const TempFolderChoice choice = ChooseTempFolder((root / "program").string());
    EXPECT_EQ(choice.folder, (root / "program" / "Temp").string());
    EXPECT_EQ(test::ReadFile(root / "program" / "Temp" / "crashed.avi"), "RIFF");
}

} // namespace
} // namespace kinovex
