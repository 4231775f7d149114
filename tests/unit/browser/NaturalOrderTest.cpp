#include "desktop/browser/NaturalOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kinovex {
namespace {

// Each list is in the order the browser shows; any other order of it must sort back to it.
TEST(NaturalOrder, NamesSortAsPeopleReadThem) {
    const std::vector<std::vector<std::string>> lists = {
        {"Movie", "movie 2", "Movie 10", "Movie 10b", "movie 100"},
        {"Intro 2", "Intro 10", "intro 11", "Introduction"},
        {"a", "B", "c", "D"},
        {"2", "10", "a", "Z"},
        {"x1y2", "x1y10", "x2y1", "x10y1"},
        {"v1.9", "v1.10", "v1.10.1", "v2"},
        {"clip 99999999999999999999", "clip 100000000000000000000"},
        {"Ä", "ä", "Ÿ", "ÿz", "ăla", "Ăm"}, // Latin letters outside ASCII fold too
        {"Мульт 2", "мульт 10", "Папка"},
        // Equal but for case or leading zeros: the bytes decide.
        {"ABC", "Abc", "aBc", "abc"},
        {"007", "07", "7", "08"},
        {"a\xC3", "A\xC3\xA4", "b"}, // cut-off UTF-8 still orders
    };
    for (const auto& expected : lists) {
        std::vector<std::string> names = expected;
        std::reverse(names.begin(), names.end());
        do {
            std::vector<std::string> sorted = names;
            std::sort(sorted.begin(), sorted.end(), NaturalLess);
            ASSERT_EQ(sorted, expected) << testing::PrintToString(names);
        } while (std::next_permutation(names.begin(), names.end()));
    }
}

TEST(NaturalOrder, IsAConsistentThreeWayComparison) {
    const std::vector<std::string> names = {"",  "a", "A", "a1", "a01", "a 1", "ab", "Ab",
                                            "é", "É", "1", "01", "z9",  "z10", "ß"};
    for (const std::string& a : names) {
        for (const std::string& b : names) {
            EXPECT_EQ(NaturalCompare(a, b), -NaturalCompare(b, a)) << a << " / " << b;
            EXPECT_EQ(NaturalCompare(a, b) == 0, a == b) << a << " / " << b;
        }
    }
}

} // namespace
} // namespace kinovex
