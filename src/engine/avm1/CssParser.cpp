#include "engine/avm1/CssParser.h"

#include <algorithm>

namespace kinovex::flash::avm1 {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

class CssReader {
public:
    CssReader(std::string_view css, int version) : m_css(css), m_version(version) {}

    std::optional<std::vector<CssStyle>> read() {
        std::size_t p = skip(0, kBlanks);
        while (p < m_css.size()) {
            std::optional<std::size_t> next;
            if (m_current.empty()) {
                next = selectors(p);
            } else if (m_css[p] == '}') {
                m_current.clear();
                next = skip(p + 1, kBlanks);
            } else {
                next = declaration(p);
            }
            if (!next) {
                return std::nullopt;
            }
            p = *next;
        }
        return std::move(m_styles);
    }

private:
    char at(std::size_t p) const { return p < m_css.size() ? m_css[p] : '\0'; }

    std::size_t skip(std::size_t p, std::string_view chars) const {
        const std::size_t q = m_css.find_first_not_of(chars, p);
        return q == std::string_view::npos ? m_css.size() : q;
    }

    std::size_t until(std::size_t p, std::string_view chars) const {
        const std::size_t q = m_css.find_first_of(chars, p);
        return q == std::string_view::npos ? m_css.size() : q;
    }

    // A new, empty style for `name`, in place of any earlier one.
    void startStyle(std::string name) {
        for (std::size_t i = 0; i < m_styles.size(); ++i) {
            if (m_styles[i].selector == name) {
                m_styles[i].declarations.clear();
                m_current.push_back(i);
                return;
            }
        }
        m_styles.push_back({std::move(name), {}});
        m_current.push_back(m_styles.size() - 1);
    }

    // "a, b {": selectors apart by commas (blanks alone do not part them).
    std::optional<std::size_t> selectors(std::size_t p) {
        p = skip(p, ",\t\r\n ");
        if (at(p) == '{') {
            return std::nullopt;
        }
        while (p < m_css.size() && m_css[p] != '{') {
            const std::size_t end = until(p, " \t\r\n,{");
            startStyle(std::string(m_css.substr(p, end - p)));
            p = skip(end, " \t\r\n,");
            const std::size_t comma = m_css.find(',', end);
            if (at(p) != '{' && (comma == std::string_view::npos || comma > p)) {
                return std::nullopt;
            }
        }
        if (at(p) != '{') {
            return std::nullopt;
        }
        const std::size_t open = p;
        p = skip(p + 1, kBlanks);
        if (m_version < 8 && p > open + 1 && (at(p) == '\0' || at(p) == '}')) {
            return std::nullopt;
        }
        return p;
    }

    static std::string styleName(std::string name) {
        std::size_t p = 0;
        while ((p = name.find('-', p)) != std::string::npos && p + 1 < name.size()) {
            name.erase(p, 1);
            if (name[p] >= 'a' && name[p] <= 'z') {
                name[p] = static_cast<char>(name[p] - 'a' + 'A');
            }
            ++p;
        }
        return name;
    }

    // "name: value;" or "name: value" before '}'.
    std::optional<std::size_t> declaration(std::size_t p) {
        std::size_t end = until(p, ":;");
        if (at(end) != ':') {
            return std::nullopt;
        }
        const std::string name = styleName(std::string(m_css.substr(p, end - p)));
        p = skip(end + 1, kBlanks);
        end = until(p, ";}");
        if (p >= m_css.size() || end >= m_css.size()) {
            return std::nullopt;
        }
        const std::string value(m_css.substr(p, end - p));
        for (const std::size_t i : m_current) {
            auto& list = m_styles[i].declarations;
            auto same = std::find_if(list.begin(), list.end(),
                                     [&](const auto& d) { return d.first == name; });
            if (same != list.end()) {
                same->second = value;
            } else {
                list.emplace_back(name, value);
            }
        }
        return m_css[end] == '}' ? end : skip(end + 1, kBlanks);
    }

    std::string_view m_css;
    int m_version;
    std::vector<CssStyle> m_styles;
    std::vector<std::size_t> m_current; // the styles of the rule being read
};

} // namespace

std::optional<std::vector<CssStyle>> parseCss(std::string_view css, int version) {
    return CssReader(css, version).read();
}

} // namespace kinovex::flash::avm1
