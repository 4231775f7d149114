// The pattern parser builds a tree of nodes; the matcher walks it depth first, trying each
// choice in order and backing out of it when what follows fails.

#include "engine/avm2/RegExpPattern.h"

#include <bitset>
#include <cctype>
#include <climits>

namespace kinovex::flash::avm2 {

using Seq = std::vector<RegExpNode>;

struct RegExpNode {
    enum Type { Char, Set, LineStart, LineEnd, WordEdge, NotWordEdge, Group, Backref };
    Type type = Char;
    std::bitset<256> set; // Set: the bytes it takes
    unsigned char ch = 0;
    std::vector<Seq> alternatives; // Group
    int capture = -1;              // Group: its number, -1 when it captures nothing
    int lookahead = 0;             // Group: 1 (?=...), -1 (?!...)
    int ref = 0;                   // Backref
    int min = 1;
    int max = 1;
    bool greedy = true;
};

namespace {

bool isWordByte(unsigned char c) {
    return std::isalnum(c) != 0 || c == '_';
}

std::bitset<256> classSet(char letter) {
    std::bitset<256> set;
    for (int c = 0; c < 256; ++c) {
        const auto b = static_cast<unsigned char>(c);
        switch (std::tolower(letter)) {
        case 'd':
            set[c] = std::isdigit(b) != 0;
            break;
        case 'w':
            set[c] = isWordByte(b);
            break;
        default:
            set[c] = b == ' ' || (b >= 9 && b <= 13) || b == 0xA0;
            break;
        }
    }
    return std::isupper(static_cast<unsigned char>(letter)) != 0 ? ~set : set;
}

class Parser {
public:
    Parser(const std::string& src, RegExpFlags flags, std::vector<std::string>& names)
        : m_src(src), m_flags(flags), m_names(names) {}

    // Groups nest no deeper than this; a pattern nesting deeper matches nothing.
    static constexpr std::size_t kMaxNesting = 250;

    bool tooDeep() const { return m_tooDeep; }

    std::vector<Seq> alternatives() {
        std::vector<Seq> alts(1);
        while (m_at < m_src.size() && m_src[m_at] != ')') {
            if (m_src[m_at] == '|') {
                ++m_at;
                alts.emplace_back();
                continue;
            }
            atomInto(alts.back());
        }
        return alts;
    }

private:
    bool skipSpace() {
        if (m_flags.extended && std::isspace(static_cast<unsigned char>(m_src[m_at])) != 0) {
            ++m_at;
            return true;
        }
        return false;
    }

    void atomInto(Seq& seq) {
        if (skipSpace()) {
            return;
        }
        RegExpNode n;
        if (!atom(n)) {
            return;
        }
        quantifier(n);
        seq.push_back(std::move(n));
    }

    bool atom(RegExpNode& n) {
        const char c = m_src[m_at++];
        switch (c) {
        case '(':
            return group(n);
        case '[':
            n.type = RegExpNode::Set, n.set = bracket();
            return true;
        case '.':
            n.type = RegExpNode::Set;
            n.set.set();
            if (!m_flags.dotAll) {
                n.set['\n'] = n.set['\r'] = false;
            }
            return true;
        case '^':
            n.type = RegExpNode::LineStart;
            return true;
        case '$':
            n.type = RegExpNode::LineEnd;
            return true;
        case '\\':
            escape(n);
            return true;
        default:
            literal(n, static_cast<unsigned char>(c));
            return true;
        }
    }

    void literal(RegExpNode& n, unsigned char c) {
        n.type = RegExpNode::Set;
        n.set[c] = true;
        if (m_flags.ignoreCase) {
            n.set[static_cast<unsigned char>(std::tolower(c))] = true;
            n.set[static_cast<unsigned char>(std::toupper(c))] = true;
        }
    }

    bool group(RegExpNode& n) {
        n.type = RegExpNode::Group;
        if (m_src.compare(m_at, 2, "?#") == 0) {
            const auto close = m_src.find(')', m_at);
            m_at = close == std::string::npos ? m_src.size() : close + 1;
            return false;
        }
        if (m_src.compare(m_at, 2, "?:") == 0) {
            m_at += 2;
        } else if (m_src.compare(m_at, 2, "?=") == 0 || m_src.compare(m_at, 2, "?!") == 0) {
            n.lookahead = m_src[m_at + 1] == '=' ? 1 : -1;
            m_at += 2;
        } else {
            std::string name;
            if (m_src.compare(m_at, 3, "?P<") == 0) {
                const auto close = m_src.find('>', m_at);
                if (close != std::string::npos) {
                    name = m_src.substr(m_at + 3, close - m_at - 3);
                    m_at = close + 1;
                }
            }
            m_names.push_back(name);
            n.capture = static_cast<int>(m_names.size());
        }
        if (m_nesting >= kMaxNesting) {
            m_tooDeep = true;
            m_at = m_src.size();
            return false;
        }
        ++m_nesting;
        n.alternatives = alternatives();
        --m_nesting;
        if (m_at < m_src.size()) {
            ++m_at; // ')'
        }
        return true;
    }

    unsigned char escapedByte(char c) {
        switch (c) {
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case 'f':
            return '\f';
        case 'v':
            return '\v';
        case '0':
            return 0;
        case 'x':
        case 'u': {
            const std::size_t digits = c == 'x' ? 2 : 4;
            const std::string hex = m_src.substr(m_at, digits);
            if (hex.size() == digits &&
                hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
                m_at += digits;
                return static_cast<unsigned char>(std::stoul(hex, nullptr, 16) & 0xFF);
            }
            return static_cast<unsigned char>(c);
        }
        default:
            return static_cast<unsigned char>(c);
        }
    }

    void escape(RegExpNode& n) {
        if (m_at >= m_src.size()) {
            literal(n, '\\');
            return;
        }
        const char c = m_src[m_at++];
        if (std::string_view("dDwWsS").find(c) != std::string_view::npos) {
            n.type = RegExpNode::Set;
            n.set = classSet(c);
        } else if (c == 'b' || c == 'B') {
            n.type = c == 'b' ? RegExpNode::WordEdge : RegExpNode::NotWordEdge;
        } else if (c >= '1' && c <= '9') {
            n.type = RegExpNode::Backref;
            n.ref = c - '0';
        } else {
            literal(n, escapedByte(c));
        }
    }

    std::bitset<256> bracket() {
        std::bitset<256> set;
        const bool negate = m_at < m_src.size() && m_src[m_at] == '^';
        m_at += negate ? 1 : 0;
        bool first = true;
        while (m_at < m_src.size() && (m_src[m_at] != ']' || first)) {
            first = false;
            int lo = classMember(set);
            if (lo >= 0 && m_at + 1 < m_src.size() && m_src[m_at] == '-' &&
                m_src[m_at + 1] != ']') {
                ++m_at;
                const int hi = classMember(set);
                for (int c = lo; c <= hi; ++c) {
                    set[static_cast<std::size_t>(c)] = true;
                }
            } else if (lo >= 0) {
                set[static_cast<std::size_t>(lo)] = true;
            }
        }
        ++m_at; // ']'
        if (m_flags.ignoreCase) {
            for (int c = 0; c < 256; ++c) {
                if (set[static_cast<std::size_t>(c)]) {
                    set[static_cast<std::size_t>(std::tolower(c))] = true;
                    set[static_cast<std::size_t>(std::toupper(c))] = true;
                }
            }
        }
        return negate ? ~set : set;
    }

    // One member of a bracket: its byte, or -1 for a class escape added to `set`.
    int classMember(std::bitset<256>& set) {
        const char c = m_src[m_at++];
        if (c != '\\' || m_at >= m_src.size()) {
            return static_cast<unsigned char>(c);
        }
        const char e = m_src[m_at++];
        if (std::string_view("dDwWsS").find(e) != std::string_view::npos) {
            set |= classSet(e);
            return -1;
        }
        return e == 'b' ? '\b' : escapedByte(e);
    }

    bool number(int& out) {
        const std::size_t start = m_at;
        long v = 0;
        while (m_at < m_src.size() && std::isdigit(static_cast<unsigned char>(m_src[m_at])) != 0) {
            v = std::min<long>(v * 10 + (m_src[m_at++] - '0'), INT_MAX);
        }
        out = static_cast<int>(v);
        return m_at > start;
    }

    void quantifier(RegExpNode& n) {
        if (m_at >= m_src.size()) {
            return;
        }
        const char c = m_src[m_at];
        if (c == '*' || c == '+' || c == '?') {
            n.min = c == '+' ? 1 : 0;
            n.max = c == '?' ? 1 : INT_MAX;
            ++m_at;
        } else if (c == '{' && !braces(n)) {
            return;
        } else if (c != '{') {
            return;
        }
        if (m_at < m_src.size() && m_src[m_at] == '?') {
            n.greedy = false;
            ++m_at;
        }
    }

    // {n}, {n,} or {n,m}; anything else leaves the brace a plain character.
    bool braces(RegExpNode& n) {
        const std::size_t start = m_at++;
        int lo = 0;
        int hi = 0;
        if (!number(lo)) {
            m_at = start;
            return false;
        }
        hi = lo;
        if (m_at < m_src.size() && m_src[m_at] == ',') {
            ++m_at;
            hi = number(hi) ? hi : INT_MAX;
        }
        if (m_at >= m_src.size() || m_src[m_at] != '}') {
            m_at = start;
            return false;
        }
        ++m_at;
        n.min = lo;
        n.max = hi;
        return true;
    }

    const std::string& m_src;
    RegExpFlags m_flags;
    std::vector<std::string>& m_names;
    std::size_t m_at = 0;
    std::size_t m_nesting = 0;
    bool m_tooDeep = false;
};

// A continuation: what must match after the node being tried, given where it ended.
class Next {
public:
    template <class F>
    Next(const F& f) // NOLINT(google-explicit-constructor)
        : m_obj(&f),
          m_call([](const void* o, std::size_t p) { return (*static_cast<const F*>(o))(p); }) {}
    bool operator()(std::size_t p) const { return m_call(m_obj, p); }

private:
    const void* m_obj;
    bool (*m_call)(const void*, std::size_t);
};

class Matcher {
public:
    // `steps` counts the work of every start position of one search.
    Matcher(const std::string& s, RegExpFlags flags, std::size_t groups, std::size_t& steps)
        : m_s(s), m_flags(flags), m_caps(groups + 1, {-1, -1}), m_steps(steps) {}

    // The search gave up: too much backtracking, or nesting too deep for the native stack.
    bool exhausted() const { return m_steps > kStepLimit; }

    std::vector<std::pair<long, long>>& captures() { return m_caps; }

    bool seq(const Seq& q, std::size_t k, std::size_t pos, Next next) {
        if (++m_steps > kStepLimit) {
            return false;
        }
        if (m_depth >= kDepthLimit) {
            m_steps = kStepLimit + 1;
            return false;
        }
        const DepthLevel level(m_depth);
        if (k == q.size()) {
            return next(pos);
        }
        const auto rest = [&](std::size_t p) { return seq(q, k + 1, p, next); };
        const RegExpNode& n = q[k];
        if (n.type == RegExpNode::Set) {
            return run(n, pos, rest);
        }
        return repeat(n, 0, pos, rest);
    }

    bool group(const RegExpNode& n, std::size_t pos, Next next) {
        if (n.lookahead != 0) {
            const auto saved = m_caps;
            const bool found = alternatives(n, pos, [](std::size_t) { return true; });
            if (found == (n.lookahead > 0) && next(pos)) {
                return true;
            }
            m_caps = saved;
            return false;
        }
        return alternatives(n, pos, next);
    }

private:
    static constexpr std::size_t kStepLimit = 5000000;
    // Each level of a match's nesting (a group repeated once more, the next node of a sequence)
    // is a few native calls deep.
    static constexpr std::size_t kDepthLimit = 3000;

    struct DepthLevel {
        explicit DepthLevel(std::size_t& d) : depth(d) { ++depth; }
        ~DepthLevel() { --depth; }
        DepthLevel(const DepthLevel&) = delete;
        DepthLevel& operator=(const DepthLevel&) = delete;
        std::size_t& depth;
    };

    bool alternatives(const RegExpNode& n, std::size_t pos, Next next) {
        for (const Seq& alt : n.alternatives) {
            const auto close = [&](std::size_t end) {
                if (n.capture < 0) {
                    return next(end);
                }
                auto& cap = m_caps[static_cast<std::size_t>(n.capture)];
                const auto old = cap;
                cap = {static_cast<long>(pos), static_cast<long>(end)};
                if (next(end)) {
                    return true;
                }
                cap = old;
                return false;
            };
            if (seq(alt, 0, pos, close)) {
                return true;
            }
        }
        return false;
    }

    // A byte set repeated: take as many as allowed, then give them back one at a time (or the
    // other way round when lazy).
    bool run(const RegExpNode& n, std::size_t pos, Next next) {
        std::size_t most = 0;
        while (most < static_cast<std::size_t>(n.max) && pos + most < m_s.size() &&
               n.set[static_cast<unsigned char>(m_s[pos + most])]) {
            ++most;
        }
        const auto least = static_cast<std::size_t>(n.min);
        if (most < least) {
            return false;
        }
        if (n.greedy) {
            for (std::size_t k = most + 1; k-- > least;) {
                if (next(pos + k)) {
                    return true;
                }
            }
            return false;
        }
        for (std::size_t k = least; k <= most; ++k) {
            if (next(pos + k)) {
                return true;
            }
        }
        return false;
    }

    bool repeat(const RegExpNode& n, int count, std::size_t pos, Next next) {
        const auto more = [&](std::size_t p) {
            return (p != pos || count < n.min) && repeat(n, count + 1, p, next);
        };
        if (count < n.min) {
            return once(n, pos, more);
        }
        if (!n.greedy && next(pos)) {
            return true;
        }
        if (count < n.max && once(n, pos, more)) {
            return true;
        }
        return n.greedy && next(pos);
    }

    bool once(const RegExpNode& n, std::size_t pos, Next next) {
        switch (n.type) {
        case RegExpNode::Group:
            return group(n, pos, next);
        case RegExpNode::LineStart:
            return lineStart(pos) && next(pos);
        case RegExpNode::LineEnd:
            return lineEnd(pos) && next(pos);
        case RegExpNode::WordEdge:
            return wordEdge(pos) && next(pos);
        case RegExpNode::NotWordEdge:
            return !wordEdge(pos) && next(pos);
        case RegExpNode::Backref:
            return backref(n.ref, pos, next);
        default:
            return pos < m_s.size() && n.set[static_cast<unsigned char>(m_s[pos])] && next(pos + 1);
        }
    }

    static bool isNewline(char c) { return c == '\n' || c == '\r'; }
    bool lineStart(std::size_t pos) const {
        return pos == 0 || (m_flags.multiline && isNewline(m_s[pos - 1]));
    }
    bool lineEnd(std::size_t pos) const {
        return pos == m_s.size() || (m_flags.multiline && isNewline(m_s[pos]));
    }
    bool wordEdge(std::size_t pos) const {
        const bool before = pos > 0 && isWordByte(static_cast<unsigned char>(m_s[pos - 1]));
        const bool after = pos < m_s.size() && isWordByte(static_cast<unsigned char>(m_s[pos]));
        return before != after;
    }

    bool backref(int ref, std::size_t pos, Next next) {
        if (static_cast<std::size_t>(ref) >= m_caps.size() ||
            m_caps[static_cast<std::size_t>(ref)].first < 0) {
            return next(pos);
        }
        const auto [a, b] = m_caps[static_cast<std::size_t>(ref)];
        const auto len = static_cast<std::size_t>(b - a);
        if (pos + len > m_s.size()) {
            return false;
        }
        for (std::size_t i = 0; i < len; ++i) {
            const auto x = static_cast<unsigned char>(m_s[static_cast<std::size_t>(a) + i]);
            const auto y = static_cast<unsigned char>(m_s[pos + i]);
            if (x != y && (!m_flags.ignoreCase || std::tolower(x) != std::tolower(y))) {
                return false;
            }
        }
        return next(pos + len);
    }

    const std::string& m_s;
    RegExpFlags m_flags;
    std::vector<std::pair<long, long>> m_caps;
    std::size_t& m_steps;
    std::size_t m_depth = 0;
};

} // namespace

RegExpPattern::RegExpPattern(const std::string& source, RegExpFlags flags)
    : m_flags(flags), m_root(std::make_unique<RegExpNode>()) {
    Parser parser(source, flags, m_groupNames);
    m_root->type = RegExpNode::Group;
    m_root->capture = 0;
    m_root->alternatives = parser.alternatives();
    m_matchesNothing = parser.tooDeep();
}

RegExpPattern::~RegExpPattern() = default;

std::optional<RegExpMatch> RegExpPattern::exec(const std::string& subject, std::size_t from) const {
    std::size_t steps = 0;
    for (std::size_t start = m_matchesNothing ? subject.size() + 1 : from; start <= subject.size();
         ++start) {
        Matcher m(subject, m_flags, m_groupNames.size(), steps);
        if (m.group(*m_root, start, [](std::size_t) { return true; })) {
            return RegExpMatch{m.captures()};
        }
        if (m.exhausted()) {
            break;
        }
    }
    return std::nullopt;
}

} // namespace kinovex::flash::avm2
