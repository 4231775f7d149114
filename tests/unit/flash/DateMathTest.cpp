// Date.parse's reading of text and the calendar it lands on: each row is a text and the fields
// (year month date weekday hours minutes seconds) of the time it gives, or "NaN".

#include "engine/avm2/DateMath.h"

#include <cmath>
#include <gtest/gtest.h>

namespace kinovex::flash::avm2 {
namespace {

struct Row {
    const char* text;
    const char* expected;
};

const Row kRows[] = {
    // Zone offsets move the time to UTC.
    {"Wed Apr 12 15:30:17 2006 GMT-0700", "2006 3 12 3 22 30 17"},
    {"Wed Apr 12 15:30:17 2006 GMT+0700", "2006 3 12 3 8 30 17"},
    // Words in any order; weekday names are ignored, the last month name counts.
    {"1999 Mon Sun Sat Apr 30 15:30:17", "1999 3 30 5 15 30 17"},
    {"Sat Jan Oct 30 77", "1977 9 30 0 0 0 0"},
    {"15:30:17    Apr/03/1988   ", "1988 3 3 0 15 30 17"},
    {"Tue Feb 29 2000", "2000 1 29 2 0 0 0"},
    // A year, a month and a day are all needed, once each.
    {"Wed Apr 12 15:30:17 GMT-0700", "NaN"},
    {"Sat Jan 70 77", "NaN"},
    {"Sat Jan 30 random 77", "NaN"},
    {"Sat Jan 30 77 GMT-0700 GMT-0800", "NaN"},
    {"12", "NaN"},
};

std::string fieldsOf(double t) {
    if (std::isnan(t)) {
        return "NaN";
    }
    const auto f = datemath::split(t);
    std::string out;
    for (const double v : {f[0], f[1], f[2], datemath::weekDay(t), f[3], f[4], f[5]}) {
        out += (out.empty() ? "" : " ") + std::to_string(static_cast<long long>(v));
    }
    return out;
}

TEST(DateMath, ParsesAsThePlayerDoes) {
    for (const Row& row : kRows) {
        EXPECT_EQ(fieldsOf(datemath::parse(row.text)), row.expected) << row.text;
    }
}

TEST(DateMath, FieldsOutOfRangeCarryOver) {
    // Month 13 is the next February, whose 31st runs into March; day 0 is the eve of the 1st.
    EXPECT_EQ(fieldsOf(datemath::join({1999, 13, 31, 0, 0, 0, 0})), "2000 2 2 4 0 0 0");
    EXPECT_EQ(fieldsOf(datemath::join({2021, 0, 0, 25, 0, 0, 0})), "2021 0 1 5 1 0 0");
    EXPECT_EQ(fieldsOf(-1), "1969 11 31 3 23 59 59");
}

} // namespace
} // namespace kinovex::flash::avm2
