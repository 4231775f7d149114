#pragma once
// The CSS that TextField.StyleSheet reads: "a, b { name: value; ... } ...". Each selector of a
// rule gets a style of its own, which replaces any earlier style of that name; a name with '-'
// is written with the letter after the '-' in capitals ("font-size" is fontSize). Values are
// kept as written, blanks before ';' included.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kinovex::flash::avm1 {

struct CssStyle {
    std::string selector;
    std::vector<std::pair<std::string, std::string>> declarations; // in the order written
};

// The styles in the order their selectors first appear; nothing when the text is not CSS the
// player takes. Before version 8 a rule of nothing but blanks ("a { }") is refused.
std::optional<std::vector<CssStyle>> parseCss(std::string_view css, int version);

} // namespace kinovex::flash::avm1
