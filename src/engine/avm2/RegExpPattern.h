#pragma once
// Regular expressions as ActionScript 3 has them: ECMAScript 3 patterns with the flags
// i (ignore case), m (multiline), s (dot matches newlines) and x (spaces in the pattern are
// ignored), named groups (?P<name>...), and a backtracking matcher over the string's bytes.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kinovex::flash::avm2 {

struct RegExpFlags {
    bool ignoreCase = false;
    bool multiline = false;
    bool dotAll = false;
    bool extended = false;
};

// One match: for group 0 (the whole match) and each capturing group, its start and end in the
// subject, or -1 and -1 when the group took no part.
struct RegExpMatch {
    std::vector<std::pair<long, long>> groups;
};

struct RegExpNode;

class RegExpPattern {
public:
    RegExpPattern(const std::string& source, RegExpFlags flags);
    ~RegExpPattern();
    RegExpPattern(const RegExpPattern&) = delete;
    RegExpPattern& operator=(const RegExpPattern&) = delete;

    // The first match starting at or after `from`, if any.
    std::optional<RegExpMatch> exec(const std::string& subject, std::size_t from) const;
    std::size_t groupCount() const { return m_groupNames.size(); }
    // The name of each capturing group (1-based index less one), "" when unnamed.
    const std::vector<std::string>& groupNames() const { return m_groupNames; }

private:
    RegExpFlags m_flags;
    std::vector<std::string> m_groupNames;
    std::unique_ptr<RegExpNode> m_root;
    bool m_matchesNothing = false; // its groups nest too deep
};

} // namespace kinovex::flash::avm2
