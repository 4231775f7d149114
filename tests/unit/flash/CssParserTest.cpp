// The reader behind TextField.StyleSheet's parse: each row gives the CSS, the version, and what
// it reads, written compactly as name{declaration=value;...} per style, or "refused".

#include "engine/avm1/CssParser.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kinovex::flash::test {
namespace {

struct Css {
    const char* name;
    const char* text;
    int version;
    const char* styles;
};

std::ostream& operator<<(std::ostream& out, const Css& c) {
    return out << c.name;
}

std::string compact(const std::optional<std::vector<avm1::CssStyle>>& styles) {
    if (!styles) {
        return "refused";
    }
    std::string out;
    for (const avm1::CssStyle& style : *styles) {
        out += style.selector + "{";
        for (const auto& [name, value] : style.declarations) {
            out += name + "=" + value + ";";
        }
        out += "}";
    }
    return out;
}

std::string cssName(const testing::TestParamInfo<Css>& row) {
    return row.param.name;
}

class CssParser : public testing::TestWithParam<Css> {};

TEST_P(CssParser, ReadsStylesAsThePlayerDoes) {
    const Css& c = GetParam();
    EXPECT_EQ(compact(avm1::parseCss(c.text, c.version)), c.styles);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CssParser,
    testing::Values(Css{"SelectorsTakeTheRulesDeclarations", "a, b { x: 1; y: 2 }", 7,
                        "a{x=1;y=2 ;}b{x=1;y=2 ;}"},
                    Css{"ALaterRuleReplacesTheStyle", "a { x: 1 } a { y: 2; }", 7, "a{y=2;}"},
                    Css{"DashesGiveCapitals", "a { font-size: 1; b--c: 2; d-: 3; }", 7,
                        "a{fontSize=1;b-c=2;d-=3;}"},
                    Css{"SelectorsNeedCommas", "a b { x: 1; }", 7, "refused"},
                    Css{"AnEmptyDeclarationIsRefused", "a { x: 1;; }", 7, "refused"},
                    Css{"AMissingValueEndIsRefused", "a { x: 1", 7, "refused"},
                    Css{"AMissingBraceAtTheEndIsTaken", "a { x: 1; ", 7, "a{x=1;}"},
                    Css{"BlanksInsideBracesAreRefusedBeforeVersion8", "a { }", 7, "refused"},
                    Css{"BlanksInsideBracesAreTakenFromVersion8", "a { }", 8, "a{}"}),
    cssName);

} // namespace
} // namespace kinovex::flash::test
