// The machine's strings are UTF-8 but indexed by UTF-16 code units: each row is a list of
// units that must survive the trip to UTF-8 and back (halves of a character split apart
// included), and how a trace line shows them.

#include "engine/avm2/Utf16Text.h"

#include <gtest/gtest.h>

namespace kinovex::flash::avm2 {
namespace {

struct Row {
    const char* what;
    std::u16string units;
    const char* printed;
};

const Row kRows[] = {
    {"ASCII", u"abc", "abc"},
    {"a character of the first plane", u"\u3044", "\xE3\x81\x84"},
    {"a pair of surrogates is one character", u"\xD83D\xDE0A", "\xF0\x9F\x98\x8A"},
    {"a high surrogate alone", u"a\xD83D", "a\xEF\xBF\xBD"},
    {"a low surrogate alone", std::u16string(1, u'\xDE0A'), "\xEF\xBF\xBD"},
    {"a low surrogate before a high one", u"\xDE0A\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},
};

TEST(Utf16Text, UnitsSurviveTheTripThroughUtf8) {
    for (const Row& row : kRows) {
        const std::string text = fromUtf16(row.units);
        EXPECT_EQ(toUtf16(text), row.units) << row.what;
        EXPECT_EQ(printable(text), row.printed) << row.what;
    }
}

// Strings are joined byte by byte: the halves of a character, each kept alone, must index
// and print as the character once side by side.
TEST(Utf16Text, HalvesJoinedAgainMakeTheCharacter) {
    const std::u16string pair = u"\xD83D\xDE0A";
    const std::string joined = fromUtf16(pair.substr(0, 1)) + fromUtf16(pair.substr(1, 1));
    EXPECT_EQ(toUtf16(joined), pair);
    EXPECT_EQ(printable(joined), "\xF0\x9F\x98\x8A");
}

} // namespace
} // namespace kinovex::flash::avm2
