#pragma once
// Tables of the player's script rules: each row names the rule it checks, builds a short script
// for a movie of the given version and lists what the script traces.

#include "Avm1TestHost.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

namespace kinovex::flash::test {

struct Rule {
    const char* name;
    int version;
    std::function<void(swf::Actions&)> script;
    Lines expected;
};

inline std::ostream& operator<<(std::ostream& out, const Rule& r) {
    return out << r.name;
}

inline std::string ruleName(const testing::TestParamInfo<Rule>& info) {
    return info.param.name;
}

// The one test every table runs on its rows (the tables instantiate it in their own files).
class Avm1Rule : public testing::TestWithParam<Rule> {};

} // namespace kinovex::flash::test
