#include "engine/avm1/XmlParser.h"

#include <array>

namespace kinovex::flash::avm1 {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool allSpace(std::string_view s) {
    for (const char c : s) {
        if (!isSpace(c)) {
            return false;
        }
    }
    return true;
}

bool startsWith(std::string_view s, std::size_t at, std::string_view prefix) {
    return s.size() >= at + prefix.size() && s.substr(at, prefix.size()) == prefix;
}

struct Entity {
    std::string_view name;
    std::string_view text;
};
constexpr std::array<Entity, 6> kEntities = {{{"&lt;", "<"},
                                              {"&gt;", ">"},
                                              {"&amp;", "&"},
                                              {"&quot;", "\""},
                                              {"&apos;", "'"},
                                              {"&nbsp;", "\xC2\xA0"}}};

// Elements nest at most this deep: a deeper document is taken as malformed there, so that no
// file can make the tree deeper than the program's stack can walk.
constexpr std::size_t kMaxOpenElements = 1024;

class Reader {
public:
    Reader(std::string_view text, bool ignoreWhite, XmlParsed& out)
        : m_text(text), m_ignoreWhite(ignoreWhite), m_out(out) {
        m_open.push_back(&out.root);
    }

    void run() {
        while (m_pos < m_text.size() && m_out.status == XmlStatus::Ok) {
            const std::size_t lt = m_text.find('<', m_pos);
            const std::size_t textEnd = lt == std::string_view::npos ? m_text.size() : lt;
            if (textEnd > m_pos) {
                addText(m_text.substr(m_pos, textEnd - m_pos), true);
            }
            m_pos = textEnd;
            if (m_pos < m_text.size()) {
                markup();
            }
        }
        if (m_out.status == XmlStatus::Ok && m_open.size() > 1) {
            m_out.status = XmlStatus::ElementUnterminated;
        }
    }

private:
    void fail(XmlStatus status) { m_out.status = status; }

    void addText(std::string_view raw, bool unescape) {
        if (m_ignoreWhite && allSpace(raw)) {
            return;
        }
        XmlParsedNode node;
        node.value = unescape ? xmlUnescape(raw) : std::string(raw);
        m_open.back()->children.push_back(std::move(node));
    }

    // What starts at a '<'.
    void markup() {
        if (startsWith(m_text, m_pos, "<?")) {
            section("?>", XmlStatus::DeclarationUnterminated, &m_out.xmlDecl, &m_out.hasXmlDecl);
        } else if (startsWith(m_text, m_pos, "<!--")) {
            section("-->", XmlStatus::CommentUnterminated, nullptr, nullptr);
        } else if (startsWith(m_text, m_pos, "<![CDATA[")) {
            cdata();
        } else if (startsWith(m_text, m_pos, "<!")) {
            docType();
        } else if (startsWith(m_text, m_pos, "</")) {
            endTag();
        } else {
            startTag();
        }
    }

    void section(std::string_view close, XmlStatus unterminated, std::string* keep, bool* kept) {
        const std::size_t end = m_text.find(close, m_pos + 2);
        if (end == std::string_view::npos) {
            fail(unterminated);
            return;
        }
        const std::size_t after = end + close.size();
        if (keep != nullptr) {
            *keep = std::string(m_text.substr(m_pos, after - m_pos));
            *kept = true;
        }
        m_pos = after;
    }

    void cdata() {
        const std::size_t start = m_pos + 9;
        const std::size_t end = m_text.find("]]>", start);
        if (end == std::string_view::npos) {
            fail(XmlStatus::CdataUnterminated);
            return;
        }
        XmlParsedNode node;
        node.value = std::string(m_text.substr(start, end - start));
        m_open.back()->children.push_back(std::move(node));
        m_pos = end + 3;
    }

    // <!DOCTYPE ...>, with an internal subset in brackets that may hold '>' of its own.
    void docType() {
        std::size_t end = m_text.find('>', m_pos);
        const std::size_t bracket = m_text.find('[', m_pos);
        if (bracket != std::string_view::npos && bracket < end) {
            const std::size_t closing = m_text.find(']', bracket);
            end = closing == std::string_view::npos ? closing : m_text.find('>', closing);
        }
        if (end == std::string_view::npos) {
            fail(XmlStatus::DoctypeUnterminated);
            return;
        }
        m_out.docTypeDecl = std::string(m_text.substr(m_pos, end + 1 - m_pos));
        m_out.hasDocTypeDecl = true;
        m_pos = end + 1;
    }

    void endTag() {
        const std::size_t gt = m_text.find('>', m_pos);
        if (gt == std::string_view::npos) {
            fail(XmlStatus::ElementMalformed);
            return;
        }
        std::size_t nameEnd = m_pos + 2;
        while (nameEnd < gt && !isSpace(m_text[nameEnd]) && m_text[nameEnd] != '/') {
            ++nameEnd;
        }
        const std::string_view name = m_text.substr(m_pos + 2, nameEnd - m_pos - 2);
        if (name.empty()) {
            fail(XmlStatus::ElementMalformed);
            return;
        }
        if (m_open.size() == 1 || m_open.back()->name != name) {
            bool opened = false;
            for (std::size_t i = 1; i < m_open.size(); ++i) {
                opened = opened || m_open[i]->name == name;
            }
            fail(opened ? XmlStatus::ElementUnterminated : XmlStatus::EndWithoutStart);
            return;
        }
        m_open.pop_back();
        m_pos = gt + 1;
    }

    bool atEmptyClose(std::size_t at) const { return startsWith(m_text, at, "/>"); }

    void startTag() {
        std::size_t at = m_pos + 1;
        const std::size_t nameStart = at;
        while (at < m_text.size() && !isSpace(m_text[at]) && m_text[at] != '>' &&
               !atEmptyClose(at)) {
            ++at;
        }
        XmlParsedNode node;
        node.element = true;
        node.name = std::string(m_text.substr(nameStart, at - nameStart));
        if (node.name.empty()) {
            fail(XmlStatus::ElementMalformed);
            return;
        }
        while (true) {
            while (at < m_text.size() && isSpace(m_text[at])) {
                ++at;
            }
            if (at >= m_text.size()) {
                fail(XmlStatus::ElementMalformed);
                return;
            }
            if (m_text[at] == '>' || atEmptyClose(at)) {
                break;
            }
            if (!attribute(at, node)) {
                return;
            }
        }
        const bool empty = m_text[at] != '>';
        if (!empty && m_open.size() > kMaxOpenElements) {
            fail(XmlStatus::ElementMalformed);
            return;
        }
        m_pos = at + (empty ? 2 : 1);
        m_open.back()->children.push_back(std::move(node));
        if (!empty) {
            m_open.push_back(&m_open.back()->children.back());
        }
    }

    // name = 'value' or name = "value", from `at`; false when the tag is malformed.
    bool attribute(std::size_t& at, XmlParsedNode& node) {
        const std::size_t nameStart = at;
        while (at < m_text.size() && !isSpace(m_text[at]) && m_text[at] != '=' &&
               m_text[at] != '>' && m_text[at] != '/') {
            ++at;
        }
        const std::string name = xmlUnescape(m_text.substr(nameStart, at - nameStart));
        while (at < m_text.size() && isSpace(m_text[at])) {
            ++at;
        }
        if (name.empty() || at >= m_text.size() || m_text[at] != '=') {
            fail(XmlStatus::ElementMalformed);
            return false;
        }
        ++at;
        while (at < m_text.size() && isSpace(m_text[at])) {
            ++at;
        }
        if (at >= m_text.size() || (m_text[at] != '"' && m_text[at] != '\'')) {
            fail(XmlStatus::ElementMalformed);
            return false;
        }
        const std::size_t close = m_text.find(m_text[at], at + 1);
        if (close == std::string_view::npos) {
            fail(XmlStatus::AttributeUnterminated);
            return false;
        }
        std::string value = xmlUnescape(m_text.substr(at + 1, close - at - 1));
        at = close + 1;
        for (const auto& [existing, v] : node.attributes) {
            if (existing == name) {
                return true; // the first of two with one name stands
            }
        }
        node.attributes.emplace_back(std::string(name), std::move(value));
        return true;
    }

    std::string_view m_text;
    bool m_ignoreWhite;
    XmlParsed& m_out;
    std::size_t m_pos = 0;
    std::vector<XmlParsedNode*> m_open; // the document, then the elements not yet closed
};

} // namespace

XmlParsed parseXml(std::string_view text, bool ignoreWhite) {
    XmlParsed out;
    out.root.element = true;
    Reader(text, ignoreWhite, out).run();
    return out;
}

std::string xmlUnescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool replaced = false;
        if (text[i] == '&') {
            for (const Entity& e : kEntities) {
                if (startsWith(text, i, e.name)) {
                    out += e.text;
                    i += e.name.size() - 1;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) {
            out += text[i];
        }
    }
    return out;
}

std::string xmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace kinovex::flash::avm1
