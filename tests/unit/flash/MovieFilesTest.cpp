// Files a movie loads from beside itself: which names stay in the movie's folder, how loaded
// text is decoded, and URL-encoded variables.

#include "TempDir.h"
#include "engine/avm1/FormEncoding.h"
#include "engine/swf/MovieFolder.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace kinovex::flash::test {
namespace {

struct FolderRule {
    const char* url;
    std::optional<std::string> file; // nothing: refused
};

std::ostream& operator<<(std::ostream& out, const FolderRule& r) {
    return out << '"' << r.url << '"';
}

class MovieFolderRule : public testing::TestWithParam<FolderRule> {};

TEST_P(MovieFolderRule, KeepsLoadsInsideTheMoviesFolder) {
    EXPECT_EQ(fileInMovieFolder(GetParam().url), GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, MovieFolderRule,
    testing::Values(
        FolderRule{"vars.txt", "vars.txt"}, FolderRule{"data/a.xml", "data/a.xml"},
        FolderRule{"./data//a.xml", "data/a.xml"}, FolderRule{"vars.txt?x=1#top", "vars.txt"},
        FolderRule{"vars.txt%00.jpg", "vars.txt"}, FolderRule{"my%20file.txt", "my file.txt"},
        FolderRule{"dots..txt", "dots..txt"}, FolderRule{"../secret.txt", std::nullopt},
        FolderRule{"data/../../secret.txt", std::nullopt},
        FolderRule{"data/../a.txt", std::nullopt}, FolderRule{"%2E%2E/secret.txt", std::nullopt},
        FolderRule{"/etc/passwd", std::nullopt}, FolderRule{"%2Fetc/passwd", std::nullopt},
        FolderRule{"data\\a.txt", std::nullopt}, FolderRule{"file:///etc/passwd", std::nullopt},
        FolderRule{"http://example.com/a.txt", std::nullopt}, FolderRule{"C:/a.txt", std::nullopt},
        FolderRule{"", std::nullopt}, FolderRule{"./", std::nullopt}));

TEST(MovieFolder, ReadsFilesInItAndLogsWhatItRefuses) {
    kinovex::test::TempDir dir("movie folder");
    std::filesystem::create_directories(dir / "data");
    kinovex::test::WriteFile(dir / "data" / "a.txt", "a=1");
    Log log;
    const MovieFolder folder(dir.str());
    EXPECT_EQ(folder.read("data/a.txt", log), std::optional<std::string>("a=1"));
    EXPECT_EQ(folder.read("data/missing.txt", log), std::nullopt);
    EXPECT_EQ(folder.read("data", log), std::nullopt); // a folder is no file
    EXPECT_EQ(log.count(), 0u);
    EXPECT_EQ(folder.read("data/../../a.txt", log), std::nullopt);
    ASSERT_EQ(log.count(), 1u);
    EXPECT_NE(log.entries()[0].message.find("data/../../a.txt"), std::string::npos);
    // A movie from memory has no folder: every file is missing.
    EXPECT_EQ(MovieFolder().read("data/a.txt", log), std::nullopt);
}

using Variables = std::vector<std::pair<std::string, std::string>>;

struct FormCase {
    const char* text;
    Variables variables;
};

class FormVariables : public testing::TestWithParam<FormCase> {};

TEST_P(FormVariables, DecodeAsLoadVarsReadsThem) {
    EXPECT_EQ(avm1::decodeFormVariables(GetParam().text), GetParam().variables);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FormVariables,
    testing::Values(FormCase{"a=b&c=d", {{"a", "b"}, {"c", "d"}}},
                    FormCase{"%26=%3d&%3D=%26", {{"&", "="}, {"=", "&"}}},
                    FormCase{"a=&=b&c&d=e", {{"a", ""}, {"c", ""}, {"d", "e"}}},
                    FormCase{"many=equal=signs", {{"many", "equal=signs"}}},
                    FormCase{"sp+ace=a+b%2B", {{"sp ace", "a b+"}}},
                    FormCase{"eof=\nwas&\n", {{"eof", "\nwas"}, {"\n", ""}}}, FormCase{"", {}}));

struct FileText {
    const char* name;
    std::string bytes;
    int version;
    std::string text;
};

std::ostream& operator<<(std::ostream& out, const FileText& f) {
    return out << f.name;
}

class LoadedFileText : public testing::TestWithParam<FileText> {};

TEST_P(LoadedFileText, IsDecodedByItsMarkOrTheMoviesVersion) {
    EXPECT_EQ(avm1::loadedFileText(GetParam().bytes, GetParam().version), GetParam().text);
}

using namespace std::string_literals;

std::string fileTextName(const testing::TestParamInfo<FileText>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, LoadedFileText,
    testing::Values(FileText{"Utf8", "h\xC3\xA9", 7, "h\xC3\xA9"},
                    FileText{"Utf8MarkDropped", "\xEF\xBB\xBFhi", 7, "hi"},
                    FileText{"Utf16BigEndian", "\xFE\xFF\0h\0\xE9"s, 6, "h\xC3\xA9"},
                    FileText{"Utf16LittleEndian", "\xFF\xFEh\0\xE9\0"s, 8, "h\xC3\xA9"},
                    FileText{"Utf16Surrogates", "\xFE\xFF\xD8\x3D\xDE\x00"s, 7, "\xF0\x9F\x98\x80"},
                    FileText{"OldMoviesReadLatin1AndKeepTheMark", "\xEF\xBB\xBFh", 5,
                             "\xC3\xAF\xC2\xBB\xC2\xBFh"},
                    FileText{"EndsAtNul", "ab\0cd"s, 7, "ab"},
                    FileText{"Utf16EndsAtNul",
                             "\xFF\xFE"
                             "a\0\0\0b\0"s,
                             7, "a"}),
    fileTextName);

} // namespace
} // namespace kinovex::flash::test
