// The regular expression matcher on its own: each row is a pattern, its flags, a subject and
// what the first match and its groups must be ("-" for a group that took no part).

#include "engine/avm2/RegExpPattern.h"

#include <gtest/gtest.h>

namespace kinovex::flash::avm2 {
namespace {

struct Row {
    const char* pattern;
    const char* flags;
    const char* subject;
    const char* expected; // groups joined by '|', or "null"
};

const Row kRows[] = {
    // Backtracking: greedy and lazy runs give back what the rest needs.
    {"a.*b", "", "xaxxbxxb", "axxbxxb"},
    {"a.*?b", "", "xaxxbxxb", "axxb"},
    {"(a|ab)(c|bcd)(d*)", "", "abcd", "abcd|a|bcd|"},
    {"^(a+)+$", "", "aaab", "null"},
    {"(x)?y", "", "y", "y|-"},
    // Quantifier forms, and a brace that is not one.
    {"\\d{2,3}", "", "a12345", "123"},
    {"x{2}", "", "xxx", "xx"},
    {"a{,2}", "", "a{,2}", "a{,2}"},
    // Classes, ranges, negation and class escapes inside brackets.
    {"[^a-c]+", "", "abcdefa", "def"},
    {"[\\d_]+", "", "ab1_2c", "1_2"},
    {"\\W\\w", "", "ab cd", " c"},
    // Flags: case, lines, dot over newlines, spaces ignored.
    {"ABC", "i", "xabc", "abc"},
    {"[A-C]+", "i", "xaBc", "aBc"},
    {"^bar", "", "foo\nbar", "null"},
    {"^bar", "m", "foo\nbar", "bar"},
    {"a.b", "", "a\nb", "null"},
    {"a.b", "s", "a\nb", "a\nb"},
    {"a b c", "x", "abc", "abc"},
    // Word edges, lookahead and back references.
    {"\\bcat\\b", "", "concat cat", "cat"},
    {"\\w+(?=!)", "", "hi there!", "there"},
    {"a(?!b)", "", "abac", "a"},
    {"(a)(b)?\\2c", "", "ac", "ac|a|-"},
    {"(\\w)\\1", "", "abccd", "cc|c"},
    {"(\\w)\\1", "i", "abcCd", "cC|c"},
    // Groups: non-capturing, named, comments; empty alternatives.
    {"(?:ab)+(c)", "", "ababc", "ababc|c"},
    {"(?P<year>\\d+)-(?#note)(\\d+)", "", "on 2024-05", "2024-05|2024|05"},
    {"a|", "", "b", ""},
    {"(a*)*b", "", "aab", "aab|aa"},
};

std::string run(const Row& row) {
    RegExpFlags flags;
    const std::string f = row.flags;
    flags.ignoreCase = f.find('i') != std::string::npos;
    flags.multiline = f.find('m') != std::string::npos;
    flags.dotAll = f.find('s') != std::string::npos;
    flags.extended = f.find('x') != std::string::npos;
    const RegExpPattern pattern(row.pattern, flags);
    const std::string subject = row.subject;
    const auto m = pattern.exec(subject, 0);
    if (!m) {
        return "null";
    }
    std::string out;
    for (std::size_t i = 0; i < m->groups.size(); ++i) {
        const auto [a, b] = m->groups[i];
        out += (i > 0 ? "|" : "") + (a < 0 ? std::string("-")
                                           : subject.substr(static_cast<std::size_t>(a),
                                                            static_cast<std::size_t>(b - a)));
    }
    return out;
}

TEST(RegExpPattern, MatchesAsActionScriptDoes) {
    for (const Row& row : kRows) {
        EXPECT_EQ(run(row), row.expected)
            << "/" << row.pattern << "/" << row.flags << " on \"" << row.subject << "\"";
    }
}

// Patterns and subjects too big to write out, built from pieces repeated: the matcher must give
// up on them (no match) rather than recurse past the native stack.
struct Huge {
    const char* what;
    const char* open; // repeated `depth` times before `middle`
    const char* middle;
    const char* close; // repeated `depth` times after it
    std::size_t depth;
    const char* unit; // the subject: repeated `length` times
    std::size_t length;
};

const Huge kHuge[] = {
    {"groups nested far deeper than the player allows", "(", "a", ")", 100000, "a", 1},
    {"a group repeated once for each byte of a long subject", "", "(?:a)*b", "", 0, "a", 200000},
    {"alternatives backtracking over a long subject", "", "(?:a|aa)*c", "", 0, "a", 100000},
};

std::string repeated(const char* unit, std::size_t times) {
    std::string s;
    for (std::size_t i = 0; i < times; ++i) {
        s += unit;
    }
    return s;
}

TEST(RegExpPattern, GivesUpOnWhatWouldOverflowTheStack) {
    for (const Huge& row : kHuge) {
        const std::string source =
            repeated(row.open, row.depth) + row.middle + repeated(row.close, row.depth);
        const RegExpPattern pattern(source, {});
        EXPECT_FALSE(pattern.exec(repeated(row.unit, row.length), 0).has_value()) << row.what;
    }
}

TEST(RegExpPattern, SearchStartsWhereAsked) {
    const RegExpPattern pattern("\\d", {});
    const auto m = pattern.exec("1a2", 1);
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->groups[0].first, 2);
}

} // namespace
} // namespace kinovex::flash::avm2
